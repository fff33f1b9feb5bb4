#pragma once
// The graph window: the position map drawn as a coloured 3D surface over
// engine speed and load. The picture is a snapshot of the map's cell texts:
// the window reads the map only in Demo7, which runs when the window starts
// and each time the graph command is used while it is open.
#include "surfacearray.h"

#include <QColor>
#include <QList>
#include <QPoint>
#include <QWidget>

class frmVGT_Tuner;
class Q3DSurface;
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

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildChart();
    void showSelection(const QPoint &dataPoint);

    frmVGT_Tuner &m_owner;
    QWidget *m_chartArea = nullptr;
    QLabel *m_title = nullptr;
    QWidget *m_legend = nullptr;
    QLabel *m_message = nullptr;
    Q3DSurface *m_surface = nullptr;
    QSurface3DSeries *m_series = nullptr;
    SurfaceArray m_array{};
    SurfaceValues m_values{};
};
