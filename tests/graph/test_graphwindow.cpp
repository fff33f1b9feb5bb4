// The graph window: one window per opening, refilled only by the command, and
// a chart holding the map where a person reads it, with its titles and bands.
#include "frmgraph.h"
#include "rig.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QtDataVisualization/Q3DCamera>
#include <QtDataVisualization/Q3DScene>
#include <QtDataVisualization/Q3DSurface>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QValue3DAxis>

namespace {
QList<frmGraph *> graphWindows(frmVGT_Tuner &w)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return w.findChildren<frmGraph *>();
}

// Opens the graph, on a map whose every cell holds the text if one is given.
frmGraph *openGraph(Rig &rig, const QString &text = {})
{
    for (int r = 1; r <= 16 && !text.isEmpty(); ++r)
        for (int c = 1; c <= 16; ++c)
            rig.window->tables.map().setTextMatrix(r, c, text);
    rig.window->mnuGraph_Click();
    return graphWindows(*rig.window).value(0);
}

// The drawn point of map cell (r, c).
QVector3D drawn(const frmGraph &g, int r, int c) { return g.series()->dataProxy()->itemAt(r - 1, c - 1)->position(); }
} // namespace

class TestGraphWindow : public QObject {
    Q_OBJECT
private slots:
    void keepsOneWindowRefilledOnlyByTheCommandThatDrawsEachCellWhereAPersonReadsIt()
    {
        Rig rig;
        auto &w = *rig.window;
        w.tables.map().setTextMatrix(2, 3, QStringLiteral("25"));
        w.menuItem(QStringLiteral("&File"), QStringLiteral("Graph"))->trigger();
        const QList<frmGraph *> first = graphWindows(w);
        frmGraph *g = first.value(0);
        QVERIFY(first.size() == 1 && w.GraphShown && g->isVisible() && g->isWindow() && g->surface());
        QCOMPARE(g->windowTitle() + ' ' + g->titleLabel()->text(), QStringLiteral("Graph Turbo Position"));
        const Q3DSurface *s = g->surface();
        QCOMPARE(s->axisX()->title() + '|' + s->axisY()->title() + '|' + s->axisZ()->title(), "RPM|Position|Load %");
        QVERIFY(s->axisX()->isTitleVisible() && s->axisY()->isTitleVisible() && s->axisZ()->isTitleVisible());
        w.tables.map().setTextMatrix(2, 3, QStringLiteral("60"));
        QCoreApplication::processEvents();
        QCOMPARE(drawn(*g, 2, 3).y(), 25.0f); // edits wait for the command
        w.cmdGraph->click();
        QCOMPARE(graphWindows(w), first);
        QCOMPARE(drawn(*g, 2, 3).y(), 60.0f);
        g->close();
        QVERIFY(!w.GraphShown && graphWindows(w).isEmpty());

        g = openGraph(rig, QStringLiteral("40"));
        QVERIFY(w.GraphShown && g && g->isVisible());
        QCOMPARE(drawn(*g, 4, 9).y(), 40.0f); // filled at its start-up
        Q3DSurface *surface = g->surface();
        QVERIFY(QTest::qWaitForWindowExposed(surface));
        const float turned = surface->scene()->activeCamera()->xRotation();
        const QPoint centre(surface->width() / 2, surface->height() / 2);
        QTest::mousePress(surface, Qt::LeftButton, {}, centre);
        QTest::mouseMove(surface, centre + QPoint(80, 0));
        QTest::mouseRelease(surface, Qt::LeftButton, {}, centre + QPoint(80, 0));
        QVERIFY(surface->scene()->activeCamera()->xRotation() != turned);
        QVERIFY(g->series()->itemLabelFormat().isEmpty()); // a drag selects nothing
        // The pointer resting on the surface shows the value of the cell under it.
        QTest::mouseMove(surface, centre);
        QTRY_VERIFY(g->series()->selectedPoint() != QSurface3DSeries::invalidSelectionPosition());
        QVERIFY(g->series()->itemLabelFormat().endsWith(QStringLiteral("): position 40")));

        // Each cell is drawn as RPM, position, load: a negative at 0, one beyond a single at 100; a wild
        // value moves neither the scale nor the other cells. The read-out shows the cell's true value.
        const struct { int row, col; const char *text; QVector3D point; const char *readOut; } cells[] = {
            {11, 6, "20", {1800, 20, 71.333336f}, "1800 RPM, 71 % load (map row 11, column 6): position 20"},
            {1, 1, "-5", {800, 0, 14}, "800 RPM, 14 % load (map row 1, column 1): position -5"},
            {16, 16, "1E300", {3800, 100, 100}, "3800 RPM, 100 % load (map row 16, column 16): position 1E+300"}};
        for (const auto &cell : cells)
            w.tables.map().setTextMatrix(cell.row, cell.col, QString::fromLatin1(cell.text));
        w.cmdGraph->click();
        QCOMPARE(QVector3D(surface->axisY()->min(), surface->axisY()->max(), drawn(*g, 16, 1).y()),
                 QVector3D(0, 100, 40));
        for (const auto &cell : cells) {
            QCOMPARE(drawn(*g, cell.row, cell.col), cell.point);
            g->series()->setSelectedPoint(QPoint(cell.row - 1, cell.col - 1));
            QCOMPARE(g->series()->itemLabelFormat(), QString::fromLatin1(cell.readOut));
        }
    }

    // A flat map in the middle of a band is drawn in the colour its legend entry shows.
    void drawsEachBandInTheColourOfItsLegendEntry_data()
    {
        QTest::addColumn<QString>("position");
        QTest::addColumn<QString>("level");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("0 to 20 blue") << "10" << "0" << QColor(0, 0, 255);
        QTest::newRow("20 to 40 green") << "30" << "20" << QColor(0, 255, 0);
        QTest::newRow("40 to 60 yellow") << "50" << "40" << QColor(255, 255, 0);
        QTest::newRow("60 to 80 orange") << "70" << "60" << QColor(255, 165, 0);
        QTest::newRow("80 up red") << "90" << "80" << QColor(255, 0, 0);
    }
    void drawsEachBandInTheColourOfItsLegendEntry()
    {
        QFETCH(QString, position);
        QFETCH(QString, level);
        QFETCH(QColor, colour);
        Rig rig;
        frmGraph *g = openGraph(rig, position);
        auto *text = g->legend()->findChild<QLabel *>(QStringLiteral("legendText") + level);
        auto *swatch = g->legend()->findChild<QLabel *>(QStringLiteral("legendSwatch") + level);
        QVERIFY(text && swatch && text->isVisible());
        QCOMPARE(text->text(), level);
        QCOMPARE(swatch->palette().color(QPalette::Window), colour);
        QVERIFY(QTest::qWaitForWindowExposed(g));
        const QImage image = g->surface()->renderToImage(0, QSize(320, 200)).convertToFormat(QImage::Format_RGB32);
        QMap<int, int> hues; // saturated pixels by hue, in steps of 10 degrees
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = QColor::fromRgb(image.pixel(x, y));
                if (c.hsvSaturation() > 150 && c.value() > 60)
                    ++hues[(c.hsvHue() + 5) / 10 % 36];
            }
        QVERIFY(!hues.isEmpty());
        QCOMPARE(std::max_element(hues.cbegin(), hues.cend()).key(), (colour.hsvHue() + 5) / 10 % 36);
    }
};

QTEST_MAIN(TestGraphWindow)
#include "test_graphwindow.moc"
