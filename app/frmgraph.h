#pragma once
// The graph window: the position map drawn as a coloured 3D surface over
// engine speed and load. The picture is a snapshot of the map's cell texts and
// headings:
// the window reads the map only in Demo7, which runs when the window starts
// and each time the graph command is used while it is open.
#include "operatingpoint.h"
#include "surfacearray.h"

#include <QColor>
#include <QList>
#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <optional>

class frmVGT_Tuner;
class Q3DSurface;
class QCustom3DItem;
class QLabel;
class QSurface3DSeries;
class QValue3DAxis;

// One colour level of the chart: the colour below the level and the colour
// from the level up, so the five levels make five bands of the position scale.
struct ColourLevel {
    int level;
    QColor lower;
    QColor colour;
    QString text;
};

// Where a floor axis places the map's 16 breakpoints and what it writes there,
// from the map's headings. Headings that are all numbers and rise place each
// breakpoint at its heading's value; otherwise (text, empty, or a heading not
// above the one before, as the fixed "0" before a load start of 0) the
// breakpoints stand evenly spaced, one unit apart from 0, and still carry
// their headings' texts.
struct AxisPlan {
    QList<float> positions; // rising
    QStringList headings;   // each heading as the graph writes it: the number alone, or the text
    QStringList labels;     // what the axis writes at each breakpoint: every third heading from the last
};
AxisPlan PlanAxis(const QStringList &headings);

class frmGraph : public QWidget {
    Q_OBJECT
public:
    // Form_Load: builds the chart and fills it from the owner's map.
    explicit frmGraph(frmVGT_Tuner &owner);
    ~frmGraph() override;

    // Fills the chart from the owner's map as it reads now.
    void Demo7();

    static const QList<ColourLevel> &colourLevels();
    static QString noOpenGlMessage();

    // The chart widget placed in the client area, and what it holds.
    QWidget *chartArea() const { return m_chartArea; }
    Q3DSurface *surface() const { return m_surface; } // null when OpenGL is unavailable
    QSurface3DSeries *series() const { return m_series; }
    QLabel *titleLabel() const { return m_title; }
    QWidget *legend() const { return m_legend; }
    QLabel *messageLabel() const { return m_message; } // shown in place of the chart without OpenGL

    // The arrays of the last fill: the singles the surface is drawn from and
    // the values the read-out shows.
    const SurfaceArray &surfaceArray() const { return m_array; }
    const SurfaceValues &surfaceValues() const { return m_values; }

    // The read-out for a point of the drawn surface, as (load row, RPM column)
    // indices of the data, 0 to 15 each.
    QString pointText(QPoint dataPoint) const;

    // The floor axes of the last fill, from the map's headings.
    const AxisPlan &rpmAxis() const { return m_rpm; }
    const AxisPlan &loadAxis() const { return m_load; }

    // The engine's cell as a tracking tick named it: marked on the surface
    // while the map is in use, unmarked while the brake row is, unchanged for
    // a breakpoint the map does not have. Moves one item, never the surface.
    void markOperatingPoint(const OperatingPoint &point);
    // The marked map cell as (column, row), 1 to 16 each, if any.
    std::optional<QPoint> engineCell() const { return m_engine; }
    QCustom3DItem *engineMarker() const { return m_marker; } // null without OpenGL

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildChart();
    void showSelection(const QPoint &dataPoint);
    void placeMarker();

    frmVGT_Tuner &m_owner;
    QWidget *m_chartArea = nullptr;
    QLabel *m_title = nullptr;
    QWidget *m_legend = nullptr;
    QLabel *m_message = nullptr;
    Q3DSurface *m_surface = nullptr;
    QSurface3DSeries *m_series = nullptr;
    SurfaceArray m_array{};
    SurfaceValues m_values{};
    AxisPlan m_rpm, m_load;
    QCustom3DItem *m_marker = nullptr;
    std::optional<QPoint> m_engine;
};
