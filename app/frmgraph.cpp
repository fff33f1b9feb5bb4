#include "frmgraph.h"
#include "cellvalue.h"
#include "flexgrid.h"
#include "frmvgt_tuner.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QTimer>
#include <QVBoxLayout>
#include <QtDataVisualization/Q3DCamera>
#include <QtDataVisualization/Q3DInputHandler>
#include <QtDataVisualization/Q3DScene>
#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/Q3DTheme>
#include <QtDataVisualization/QCustom3DItem>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QSurfaceDataProxy>
#include <QtDataVisualization/QValue3DAxis>
#include <QtDataVisualization/QValue3DAxisFormatter>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// The chart's numbers. 16 breakpoints along each floor axis, one per map row
// and column; the array's row and column 0 hold no map cell and are not drawn.
// The floor axes take the map's headings; the position axis always reads 0 to
// 100, the closed ends of the position scale.
constexpr int Breakpoints = 16;
constexpr double PositionLow = 0;
constexpr double PositionHigh = 100;
// The axes write every third heading, counted back from the last so that both
// ends are written: sixteen numbers side by side would run into each other.
constexpr int LabelEvery = 3;

// Whether a heading holds a number: CellValue reads text without one as 0,
// which the axis would then claim the heading says.
bool holdsNumber(const QString &heading)
{
    QString t = heading.simplified().remove(QLatin1Char(' '));
    if (t.startsWith(QLatin1Char('+')) || t.startsWith(QLatin1Char('-')))
        t.remove(0, 1);
    if (t.startsWith(QLatin1String("&H"), Qt::CaseInsensitive) ||
        t.startsWith(QLatin1String("&O"), Qt::CaseInsensitive))
        return t.size() > 2 && t[2].isLetterOrNumber();
    return !t.isEmpty() && (t[0].isDigit() || (t[0] == QLatin1Char('.') && t.size() > 1 && t[1].isDigit()));
}

// A floor axis that draws a grid line at every breakpoint and writes the plan's
// labels there, instead of the round numbers a value axis picks for itself.
class HeadingFormatter final : public QValue3DAxisFormatter {
public:
    void setPlan(const AxisPlan &plan)
    {
        m_plan = plan;
        markDirty(true);
    }

protected:
    QValue3DAxisFormatter *createNewInstance() const override { return new HeadingFormatter; }
    void populateCopy(QValue3DAxisFormatter &copy) const override
    {
        QValue3DAxisFormatter::populateCopy(copy);
        static_cast<HeadingFormatter &>(copy).m_plan = m_plan;
    }
    void recalculate() override
    {
        gridPositions().clear();
        subGridPositions().clear();
        labelPositions().clear();
        labelStrings().clear();
        const float low = axis()->min(), span = axis()->max() - axis()->min();
        for (qsizetype i = 0; i < m_plan.positions.size() && span > 0; ++i) {
            const float at = (m_plan.positions[i] - low) / span;
            gridPositions() << at;
            labelPositions() << at;
            labelStrings() << m_plan.labels[i];
        }
    }

private:
    AxisPlan m_plan;
};

// Q3DSurface draws into a native OpenGL window embedded in this one. Built
// without an OpenGL context, or on a platform that cannot embed a native
// window (the offscreen platform), it crashes on first show instead of
// failing, so it is built only once a context has been made current here.
bool openGlAvailable()
{
    const QStringList windowless{QStringLiteral("offscreen"), QStringLiteral("minimal")};
    if (windowless.contains(QGuiApplication::platformName()))
        return false;
    QOpenGLContext context;
    if (!context.create())
        return false;
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return false;
    context.doneCurrent();
    return true;
}

// The colours as bands: each level's colour holds from the level up to the
// next level, and the first level's from the bottom of the scale, so a value
// reads as the band it falls in, as on the legend. Hard steps instead of a
// blend: a blend would draw 30 and 50 in colours that are on no band. The
// chart lays the gradient along the position scale itself, so only its stops
// count: 0 at the bottom of the scale, 1 at its top.
QLinearGradient bandGradient()
{
    const auto &levels = frmGraph::colourLevels();
    QLinearGradient gradient;
    const double span = PositionHigh - PositionLow;
    for (qsizetype i = 0; i < levels.size(); ++i) {
        const double from = (levels[i].level - PositionLow) / span;
        const double to = i + 1 < levels.size() ? (levels[i + 1].level - PositionLow) / span : 1.0;
        gradient.setColorAt(std::clamp(from, 0.0, 1.0), levels[i].colour);
        gradient.setColorAt(std::clamp(to - 0.0005, 0.0, 1.0), levels[i].colour);
    }
    return gradient;
}

QValue3DAxis *makeAxis(double low, double high, int segments, int subSegments)
{
    auto *axis = new QValue3DAxis;
    axis->setRange(float(low), float(high)); // which also stops the axis adjusting to the data
    axis->setSegmentCount(segments);
    axis->setSubSegmentCount(subSegments);
    axis->setLabelFormat(QStringLiteral("%.0f"));
    axis->setTitleVisible(true);
    // Left flat, labels keep the orientation the chart picks for its standard
    // view, and from our camera the load labels and some RPM labels show
    // their backs, mirrored. Turned towards the camera they read from any
    // angle; the titles with them.
    axis->setLabelAutoRotation(90);
    axis->setTitleFixed(false);
    return axis;
}

QValue3DAxis *makeFloorAxis()
{
    QValue3DAxis *axis = makeAxis(0, Breakpoints - 1, Breakpoints - 1, 1);
    axis->setFormatter(new HeadingFormatter);
    return axis;
}

void applyPlan(QValue3DAxis *axis, const AxisPlan &plan)
{
    axis->setRange(plan.positions.first(), plan.positions.last());
    static_cast<HeadingFormatter *>(axis->formatter())->setPlan(plan);
}

QStringList headings(const FlexGrid &map, bool rpm)
{
    QStringList texts;
    for (int i = 1; i <= Breakpoints; ++i)
        texts << (rpm ? map.TextMatrix(0, i) : map.TextMatrix(i, 0));
    return texts;
}

// The mouse as users of 3D views expect it: dragging with either the left or
// the right button turns the surface, the wheel zooms, and the value under the
// pointer is shown once the pointer rests (or on a click). Qt's handler turns
// with the right button only and selects only on a click.
class GraphInputHandler final : public Q3DInputHandler {
public:
    explicit GraphInputHandler(QObject *parent) : Q3DInputHandler(parent)
    {
        // Selecting renders an extra pass; on software OpenGL that is felt
        // while the pointer moves, so it waits until the pointer rests.
        m_rest->setSingleShot(true);
        m_rest->setInterval(120);
        QObject::connect(m_rest, &QTimer::timeout, this, [this] { select(m_pointer); });
    }

    void mousePressEvent(QMouseEvent *event, const QPoint &mousePos) override
    {
        m_rest->stop();
        m_pressedAt = mousePos;
        m_dragging = false;
        QMouseEvent asRight(event->type(), event->position(), event->scenePosition(), event->globalPosition(),
                            Qt::RightButton, Qt::RightButton, event->modifiers(), event->pointingDevice());
        Q3DInputHandler::mousePressEvent(event->button() == Qt::LeftButton ? &asRight : event, mousePos);
    }

    void mouseMoveEvent(QMouseEvent *event, const QPoint &mousePos) override
    {
        m_pointer = mousePos;
        if (event->buttons() == Qt::NoButton)
            m_rest->start();
        else if ((mousePos - m_pressedAt).manhattanLength() >= 4)
            m_dragging = true;
        Q3DInputHandler::mouseMoveEvent(event, mousePos);
    }

    void mouseReleaseEvent(QMouseEvent *event, const QPoint &mousePos) override
    {
        Q3DInputHandler::mouseReleaseEvent(event, mousePos);
        if (event->button() == Qt::LeftButton && !m_dragging)
            select(mousePos);
    }

private:
    void select(const QPoint &position)
    {
        if (scene())
            scene()->setSelectionQueryPosition(position);
    }

    QTimer *m_rest = new QTimer(this);
    QPoint m_pointer;
    QPoint m_pressedAt;
    bool m_dragging = false;
};

} // namespace

AxisPlan PlanAxis(const QStringList &headings)
{
    AxisPlan plan;
    bool rising = true;
    for (qsizetype i = 0; i < headings.size(); ++i) {
        const bool number = holdsNumber(headings[i]);
        const double value = CellValue(headings[i]);
        plan.headings << (number ? CellText(value) : headings[i].trimmed());
        // Compared as the singles the chart draws with, so two headings one
        // single apart still make a rising axis.
        const bool fits = number && std::abs(value) <= double(FLT_MAX);
        const float at = fits ? float(value) : 0.0f;
        rising = rising && fits && (plan.positions.isEmpty() || at > plan.positions.last());
        plan.positions << at;
        plan.labels << ((headings.size() - 1 - i) % LabelEvery ? QString() : plan.headings.last());
    }
    if (!rising)
        for (qsizetype i = 0; i < plan.positions.size(); ++i)
            plan.positions[i] = float(i);
    return plan;
}

const QList<ColourLevel> &frmGraph::colourLevels()
{
    static const QColor blue(0, 0, 255), green(0, 255, 0), yellow(255, 255, 0), orange(255, 165, 0), red(255, 0, 0);
    static const QList<ColourLevel> levels{{0, blue, blue, QStringLiteral("0")},
                                           {20, blue, green, QStringLiteral("20")},
                                           {40, green, yellow, QStringLiteral("40")},
                                           {60, yellow, orange, QStringLiteral("60")},
                                           {80, orange, red, QStringLiteral("80")}};
    return levels;
}

QString frmGraph::noOpenGlMessage()
{
    return QStringLiteral("The 3D graph cannot be drawn: OpenGL is not available on this display.");
}

frmGraph::frmGraph(frmVGT_Tuner &owner) : QWidget(&owner, Qt::Window), m_owner(owner)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Graph"));
    buildChart();
    // A client area of 10995 by 6795 twips, at 15 twips a pixel; resizeEvent places the chart.
    resize(733, 453);
    Demo7();
    // Tracking switched off takes the engine off the graph; switched on, the
    // next tick puts it back.
    connect(m_owner.chkIndex, &QCheckBox::toggled, this, [this](bool on) {
        if (!on) {
            m_engine.reset();
            placeMarker();
        }
    });
}

frmGraph::~frmGraph() = default;

void frmGraph::buildChart()
{
    m_chartArea = new QWidget(this);
    m_chartArea->setObjectName(QStringLiteral("ecGraph3D1"));
    // Title, surface and legend on one white sheet, as one chart.
    QPalette sheet = m_chartArea->palette();
    sheet.setColor(QPalette::Window, Qt::white);
    m_chartArea->setPalette(sheet);
    m_chartArea->setAutoFillBackground(true);
    auto *grid = new QGridLayout(m_chartArea);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(4);

    m_title = new QLabel(m_chartArea);
    m_title->setObjectName(QStringLiteral("chartTitle"));
    m_title->setAlignment(Qt::AlignCenter);
    grid->addWidget(m_title, 0, 0, 1, 2);

    if (openGlAvailable()) {
        QSurfaceFormat format = QSurfaceFormat::defaultFormat();
        format.setDepthBufferSize(24);
        format.setStencilBufferSize(8);
        // Four samples keep the edges smooth at a frame rate software
        // OpenGL can turn the surface at.
        format.setSamples(4);
        m_surface = new Q3DSurface(&format);
        if (!m_surface->hasContext()) {
            delete m_surface;
            m_surface = nullptr;
        }
    }
    if (!m_surface) {
        m_message = new QLabel(noOpenGlMessage(), m_chartArea);
        m_message->setObjectName(QStringLiteral("noOpenGl"));
        m_message->setAlignment(Qt::AlignCenter);
        m_message->setWordWrap(true);
        grid->addWidget(m_message, 1, 0);
    } else {
        // The default theme draws on white, as the sheet around the chart is.
        QFont labels = m_surface->activeTheme()->font();
        labels.setPointSize(50);
        m_surface->activeTheme()->setFont(labels);
        m_surface->setShadowQuality(QAbstract3DGraph::ShadowQualityNone);
        // The floor is square: a map cell is a cell, whatever the axis ranges.
        m_surface->setHorizontalAspectRatio(1.0);
        m_surface->setActiveInputHandler(new GraphInputHandler(m_surface));

        // RPM and load rise away from the origin corner, position rises
        // upwards. Grid lines fall on every RPM and load breakpoint, and the
        // position grid lines on the colour levels.
        m_surface->setAxisX(makeFloorAxis());
        m_surface->setAxisZ(makeFloorAxis());
        m_surface->setAxisY(makeAxis(PositionLow, PositionHigh, 5, 1));

        m_series = new QSurface3DSeries;
        m_series->setWireframeColor(QColor(60, 60, 60));
        m_series->setColorStyle(Q3DTheme::ColorStyleRangeGradient);
        m_series->setBaseGradient(bandGradient());
        m_surface->addSeries(m_series);
        connect(m_series, &QSurface3DSeries::selectedPointChanged, this, &frmGraph::showSelection);

        // The engine: a small sphere in a colour none of the levels uses, so
        // it shows on every band. A separate item, so following the engine
        // moves it alone and the surface keeps its snapshot.
        QImage magenta(2, 2, QImage::Format_RGB32);
        magenta.fill(QColor(255, 0, 255));
        m_marker = new QCustom3DItem(QStringLiteral(":/defaultMeshes/sphereSmooth"), {}, QVector3D(0.08f, 0.08f, 0.08f),
                                     {}, magenta);
        m_marker->setShadowCasting(false);
        m_marker->setVisible(false);
        m_surface->addCustomItem(m_marker);

        Q3DCamera *camera = m_surface->scene()->activeCamera();
        // From above the corner of the lowest speed and load, so both floor axes
        // rise away from the viewer, far enough back to see the whole surface
        // and its labels; aimed low in the box, which leaves no empty band over
        // the surface and keeps the front labels inside the view.
        camera->setCameraPosition(25, 25, 75);
        camera->setTarget(QVector3D(0, -0.7f, 0));

        QWidget *container = QWidget::createWindowContainer(m_surface, m_chartArea);
        container->setObjectName(QStringLiteral("surfaceView"));
        container->setFocusPolicy(Qt::StrongFocus);
        container->setMinimumSize(200, 150);
        grid->addWidget(container, 1, 0);
    }

    m_legend = new QWidget(m_chartArea);
    m_legend->setObjectName(QStringLiteral("legend"));
    auto *rows = new QGridLayout(m_legend);
    rows->setContentsMargins(4, 0, 4, 0);
    const auto &levels = colourLevels();
    // Highest level on top, as the colours stand on the surface.
    for (qsizetype i = 0; i < levels.size(); ++i) {
        const ColourLevel &level = levels[levels.size() - 1 - i];
        auto *swatch = new QLabel(m_legend);
        swatch->setObjectName(QStringLiteral("legendSwatch%1").arg(level.text));
        swatch->setFixedSize(18, 14);
        swatch->setFrameShape(QFrame::Box);
        swatch->setAutoFillBackground(true);
        QPalette palette = swatch->palette();
        palette.setColor(QPalette::Window, level.colour);
        swatch->setPalette(palette);
        auto *text = new QLabel(level.text, m_legend);
        text->setObjectName(QStringLiteral("legendText%1").arg(level.text));
        rows->addWidget(swatch, int(i), 0);
        rows->addWidget(text, int(i), 1);
    }
    grid->addWidget(m_legend, 1, 1, Qt::AlignTop);
    grid->setRowStretch(1, 1);
    grid->setColumnStretch(0, 1);
}

void frmGraph::Demo7()
{
    m_title->setText(QStringLiteral("Turbo Position"));
    QFont bold = font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.4);
    m_title->setFont(bold);

    m_values = ReadSurfaceValues(m_owner.tables.map());
    m_array = ToSurfaceArray(m_values);
    m_rpm = PlanAxis(headings(m_owner.tables.map(), true));
    m_load = PlanAxis(headings(m_owner.tables.map(), false));
    if (!m_surface)
        return;
    applyPlan(m_surface->axisX(), m_rpm);
    applyPlan(m_surface->axisZ(), m_load);

    m_surface->axisX()->setTitle(QStringLiteral("RPM"));
    m_surface->axisZ()->setTitle(QStringLiteral("Load %"));
    m_surface->axisY()->setTitle(QStringLiteral("Position"));

    // Data row k is map row k + 1 at its load heading, data column m is map
    // column m + 1 at its RPM heading. A value off the position
    // scale is drawn at its nearest end, so one wild cell neither stretches the
    // scale nor pulls the surface out of the chart; the read-out shows the
    // true value.
    auto *rows = new QSurfaceDataArray;
    for (int k = 0; k < Breakpoints; ++k) {
        auto *row = new QSurfaceDataRow(Breakpoints);
        const int j = SurfaceSize - (k + 1);
        for (int m = 0; m < Breakpoints; ++m) {
            const int i = SurfaceSize - (m + 1);
            const float height = std::clamp(m_array[i][j], float(PositionLow), float(PositionHigh));
            (*row)[m].setPosition(QVector3D(m_rpm.positions[m], height, m_load.positions[k]));
        }
        rows->append(row);
    }
    m_series->setItemLabelFormat(QString());
    m_series->dataProxy()->resetArray(rows);
    placeMarker(); // at the cell's new height
}

void frmGraph::markOperatingPoint(const OperatingPoint &point)
{
    // As the grids do, a breakpoint the map does not have changes nothing.
    auto breakpoint = [](int i) { return i >= 0 && i < Breakpoints; };
    if (!breakpoint(point.col) || (!point.brake && !breakpoint(point.row)))
        return;
    // The brake row is no part of the surface: while the module uses it the
    // engine is on no cell drawn here.
    if (point.brake)
        m_engine.reset();
    else
        m_engine = QPoint(point.col + 1, point.row + 1);
    placeMarker();
}

void frmGraph::placeMarker()
{
    if (!m_marker)
        return;
    if (m_engine) {
        const int c = m_engine->x(), r = m_engine->y();
        const float height =
            std::clamp(m_array[SurfaceSize - c][SurfaceSize - r], float(PositionLow), float(PositionHigh));
        m_marker->setPosition(QVector3D(m_rpm.positions[c - 1], height, m_load.positions[r - 1]));
    }
    m_marker->setVisible(m_engine.has_value());
}

QString frmGraph::pointText(QPoint dataPoint) const
{
    const int k = dataPoint.x();
    const int m = dataPoint.y();
    if (k < 0 || k >= Breakpoints || m < 0 || m >= Breakpoints)
        return {};
    const int r = k + 1;
    const int c = m + 1;
    // Headings the map has not got yet are left out rather than shown empty.
    QStringList where;
    if (!m_rpm.headings[m].isEmpty())
        where << m_rpm.headings[m] + QStringLiteral(" RPM");
    if (!m_load.headings[k].isEmpty())
        where << m_load.headings[k] + QStringLiteral(" % load");
    const QString value = CellText(m_values[SurfaceSize - c][SurfaceSize - r]);
    if (where.isEmpty())
        return QStringLiteral("Map row %1, column %2: position %3").arg(QString::number(r), QString::number(c), value);
    return QStringLiteral("%1 (map row %2, column %3): position %4")
        .arg(where.join(QStringLiteral(", ")), QString::number(r), QString::number(c), value);
}

void frmGraph::showSelection(const QPoint &dataPoint)
{
    // The label is the item label of the selected point; the tags of the
    // format would show the drawn (clamped) height, so the text is built here.
    m_series->setItemLabelFormat(pointText(dataPoint));
}

void frmGraph::closeEvent(QCloseEvent *)
{
    // Form_Unload: the next graph command opens a new window.
    m_owner.GraphShown = false;
}

void frmGraph::resizeEvent(QResizeEvent *)
{
    // The chart sits at 120, 120 twips and is 10815 by 6615: margins of 8 pixels on the left and top and 4 on
    // the right and bottom, which it keeps when the user resizes the window.
    m_chartArea->setGeometry(rect().adjusted(8, 8, -4, -4));
}
