// The graph window: one window per opening, refilled only by the command, and
// a chart holding the map where a person reads it, with its titles and bands.
#include "frmgraph.h"
#include "rig.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QWheelEvent>
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
    void keepsOneWindowRefilledOnlyByTheCommandUntilItIsClosed()
    {
        Rig rig;
        auto &w = *rig.window;
        w.tables.map().setTextMatrix(2, 3, QStringLiteral("25"));
        w.menuItem(QStringLiteral("&File"), QStringLiteral("Graph"))->trigger();
        const QList<frmGraph *> first = graphWindows(w);
        QCOMPARE(first.size(), 1);
        QVERIFY(w.GraphShown && first[0]->isVisible() && first[0]->isWindow() && first[0]->surface());
        QCOMPARE(first[0]->windowTitle(), QStringLiteral("Graph"));
        w.tables.map().setTextMatrix(2, 3, QStringLiteral("60"));
        QCoreApplication::processEvents();
        QCOMPARE(drawn(*first[0], 2, 3).y(), 25.0f); // edits wait for the command
        w.cmdGraph->click();
        QCOMPARE(graphWindows(w), first);
        QCOMPARE(drawn(*first[0], 2, 3).y(), 60.0f);
        QCOMPARE(first[0]->surfaceArray()[14][15], 60.0f);

        first[0]->close();
        QVERIFY(!w.GraphShown);
        QVERIFY(graphWindows(w).isEmpty());
        frmGraph *second = openGraph(rig, QStringLiteral("30"));
        QVERIFY(w.GraphShown && second && second->isVisible());
        QCOMPARE(drawn(*second, 4, 9).y(), 30.0f); // filled at its start-up
    }

    void drawsEachCellWhereAPersonReadsIt_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("col");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector3D>("point"); // RPM, position, load
        QTest::addColumn<QString>("readOut");
        auto row = [](const char *name, int r, int c, const char *text, QVector3D point, const char *readOut) {
            QTest::newRow(name) << r << c << QString::fromLatin1(text) << point << QString::fromLatin1(readOut);
        };
        row("origin", 1, 1, "10", {800, 10, 14}, "800 RPM, 14 % load (map row 1, column 1): position 10");
        row("far corner", 16, 16, "90", {3800, 90, 100}, "3800 RPM, 100 % load (map row 16, column 16): position 90");
        row("speed rises along a row", 1, 6, "20", {1800, 20, 14},
            "1800 RPM, 14 % load (map row 1, column 6): position 20");
        row("load rises down a column", 11, 1, "20", {800, 20, 71.333336f},
            "800 RPM, 71 % load (map row 11, column 1): position 20");
        row("negative drawn at 0", 2, 2, "-5", {1000, 0, 19.733334f},
            "1000 RPM, 20 % load (map row 2, column 2): position -5");
        row("beyond a single drawn at 100", 2, 2, "1E300", {1000, 100, 19.733334f},
            "1000 RPM, 20 % load (map row 2, column 2): position 1E+300");
    }
    void drawsEachCellWhereAPersonReadsIt()
    {
        QFETCH(int, row);
        QFETCH(int, col);
        QFETCH(QString, text);
        QFETCH(QVector3D, point);
        QFETCH(QString, readOut);
        Rig rig;
        rig.window->tables.map().setTextMatrix(row, col, text);
        frmGraph *g = openGraph(rig);
        QCOMPARE(drawn(*g, row, col), point);
        // A wild value moves neither the scale nor the empty cells, drawn flat at 0.
        QCOMPARE(QPointF(g->surface()->axisY()->min(), g->surface()->axisY()->max()), QPointF(0, 100));
        QCOMPARE(drawn(*g, row == 1 ? 16 : 1, 1).y(), 0.0f);
        g->series()->setSelectedPoint(QPoint(row - 1, col - 1));
        QCOMPARE(g->series()->itemLabelFormat(), readOut);
    }

    void chartCarriesItsTitlesAndKeepsItsMargins()
    {
        Rig rig;
        frmGraph *g = openGraph(rig);
        QCOMPARE(g->titleLabel()->text(), QStringLiteral("Turbo Position"));
        QVERIFY(g->titleLabel()->font().bold());
        QStringList titles;
        for (QValue3DAxis *axis : {g->surface()->axisX(), g->surface()->axisY(), g->surface()->axisZ()})
            titles << axis->title() + (axis->isTitleVisible() ? "" : " (hidden)");
        QCOMPARE(titles, (QStringList{"RPM", "Position", "Load %"}));
        // Client area 10995 by 6795 twips, chart at 120, 120, 10815 by 6615.
        QCOMPARE(g->size(), QSize(733, 453));
        QCOMPARE(g->chartArea()->geometry(), QRect(8, 8, 721, 441));
        g->resize(1000, 700);
        QCOMPARE(g->chartArea()->geometry(), QRect(8, 8, 988, 688));
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

    void turnsWithALeftDragZoomsWithTheWheelAndReadsOutUnderThePointer()
    {
        Rig rig;
        frmGraph *g = openGraph(rig, QStringLiteral("40"));
        Q3DSurface *surface = g->surface();
        QVERIFY(QTest::qWaitForWindowExposed(surface));
        Q3DCamera *camera = surface->scene()->activeCamera();
        const QPoint centre(surface->width() / 2, surface->height() / 2);
        const float turned = camera->xRotation(), zoom = camera->zoomLevel();
        QTest::mousePress(surface, Qt::LeftButton, {}, centre);
        QTest::mouseMove(surface, centre + QPoint(40, 0));
        QTest::mouseMove(surface, centre + QPoint(80, 0));
        QTest::mouseRelease(surface, Qt::LeftButton, {}, centre + QPoint(80, 0));
        QVERIFY(camera->xRotation() != turned);
        QVERIFY(g->series()->itemLabelFormat().isEmpty()); // a drag selects nothing
        QWheelEvent wheel(centre, surface->mapToGlobal(centre), {}, QPoint(0, 120), Qt::NoButton, {}, Qt::NoScrollPhase,
                          false);
        QCoreApplication::sendEvent(surface, &wheel);
        QTRY_VERIFY(camera->zoomLevel() > zoom); // zooming towards the pointer waits for a frame
        // The pointer resting on the surface shows the value of the cell under it.
        QTest::mouseMove(surface, centre);
        QTRY_VERIFY(g->series()->selectedPoint() != QSurface3DSeries::invalidSelectionPosition());
        QVERIFY(g->series()->itemLabelFormat().endsWith(QStringLiteral("): position 40")));
    }
};

QTEST_MAIN(TestGraphWindow)
#include "test_graphwindow.moc"
