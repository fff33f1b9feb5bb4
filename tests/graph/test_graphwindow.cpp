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

frmGraph *openGraph(frmVGT_Tuner &w)
{
    w.mnuGraph_Click();
    return graphWindows(w).value(0);
}

void fillMap(frmVGT_Tuner &w, const QString &text)
{
    for (int r = 1; r <= 16; ++r)
        for (int c = 1; c <= 16; ++c)
            w.tables.map().setTextMatrix(r, c, text);
}

// The drawn point of map cell (r, c).
QVector3D drawn(const frmGraph &g, int r, int c) { return g.series()->dataProxy()->itemAt(r - 1, c - 1)->position(); }
} // namespace

class TestGraphWindow : public QObject {
    Q_OBJECT
private slots:
    void keepsOneWindowUntilItIsClosed()
    {
        Rig rig;
        auto &w = *rig.window;
        w.menuItem(QStringLiteral("&File"), QStringLiteral("Graph"))->trigger();
        QVERIFY(w.GraphShown);
        const QList<frmGraph *> first = graphWindows(w);
        QCOMPARE(first.size(), 1);
        QVERIFY(first[0]->isVisible() && first[0]->isWindow() && first[0]->surface());
        QCOMPARE(first[0]->windowTitle(), QStringLiteral("Graph"));
        w.cmdGraph->click();
        w.mnuGraph_Click();
        QCOMPARE(graphWindows(w), first);

        first[0]->close();
        QVERIFY(!w.GraphShown);
        QVERIFY(graphWindows(w).isEmpty());
        fillMap(w, QStringLiteral("30"));
        w.cmdGraph->click();
        QVERIFY(w.GraphShown);
        QCOMPARE(graphWindows(w).size(), 1);
        frmGraph *second = graphWindows(w)[0];
        QVERIFY(second->isVisible());
        QCOMPARE(drawn(*second, 4, 9).y(), 30.0f); // filled at its start-up
    }

    void showsEditsOnlyWhenTheCommandIsUsedAgain()
    {
        Rig rig;
        auto &w = *rig.window;
        w.tables.map().setTextMatrix(2, 3, QStringLiteral("25"));
        frmGraph *g = openGraph(w);
        ClearTables(w.tables);
        w.tables.map().setTextMatrix(2, 3, QStringLiteral("60"));
        QCoreApplication::processEvents();
        QCOMPARE(drawn(*g, 2, 3).y(), 25.0f);
        w.mnuGraph_Click();
        QCOMPARE(drawn(*g, 2, 3).y(), 60.0f);
        QCOMPARE(g->surfaceArray()[14][15], 60.0f);
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
        row("trailing text", 5, 5, "50abc", {1600, 50, 36.933334f},
            "1600 RPM, 37 % load (map row 5, column 5): position 50");
        row("negative drawn at 0", 2, 2, "-5", {1000, 0, 19.733334f},
            "1000 RPM, 20 % load (map row 2, column 2): position -5");
        row("255 drawn at 100", 2, 2, "255", {1000, 100, 19.733334f},
            "1000 RPM, 20 % load (map row 2, column 2): position 255");
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
        frmGraph *g = openGraph(*rig.window);
        QCOMPARE(drawn(*g, row, col), point);
        // A wild value moves neither the scale nor the empty cells, drawn flat at 0.
        QCOMPARE(g->surface()->axisY()->min(), 0.0f);
        QCOMPARE(g->surface()->axisY()->max(), 100.0f);
        QCOMPARE(drawn(*g, row == 1 ? 16 : 1, 1).y(), 0.0f);
        g->series()->setSelectedPoint(QPoint(row - 1, col - 1));
        QCOMPARE(g->series()->itemLabelFormat(), readOut);
    }

    void chartCarriesItsTitlesAndLegend()
    {
        Rig rig;
        frmGraph *g = openGraph(*rig.window);
        QCOMPARE(g->titleLabel()->text(), QStringLiteral("Turbo Position"));
        QVERIFY(g->titleLabel()->font().bold());
        QCOMPARE(g->surface()->axisX()->title(), QStringLiteral("RPM"));
        QCOMPARE(g->surface()->axisZ()->title(), QStringLiteral("Load %"));
        QCOMPARE(g->surface()->axisY()->title(), QStringLiteral("Position"));
        for (QValue3DAxis *axis : {g->surface()->axisX(), g->surface()->axisY(), g->surface()->axisZ()})
            QVERIFY(axis->isTitleVisible());
        const QList<QColor> colours{{0, 0, 255}, {0, 255, 0}, {255, 255, 0}, {255, 165, 0}, {255, 0, 0}};
        const QStringList texts{"0", "20", "40", "60", "80"};
        for (int i = 0; i < 5; ++i) {
            auto *text = g->legend()->findChild<QLabel *>(QStringLiteral("legendText") + texts[i]);
            auto *swatch = g->legend()->findChild<QLabel *>(QStringLiteral("legendSwatch") + texts[i]);
            QVERIFY(text && swatch && text->isVisible());
            QCOMPARE(text->text(), texts[i]);
            QCOMPARE(swatch->palette().color(QPalette::Window), colours[i]);
        }
        // Client area 10995 by 6795 twips, chart at 120, 120, 10815 by 6615.
        QCOMPARE(g->size(), QSize(733, 453));
        QCOMPARE(g->chartArea()->geometry(), QRect(8, 8, 721, 441));
        g->resize(1000, 700);
        QCOMPARE(g->chartArea()->geometry(), QRect(8, 8, 988, 688));
    }

    // The bands as drawn: a flat map in the middle of a band shows its hue.
    void drawsEachBandInItsColour_data()
    {
        QTest::addColumn<QString>("position");
        QTest::addColumn<int>("hue");
        QTest::newRow("0 to 20 blue") << "10" << 240;
        QTest::newRow("20 to 40 green") << "30" << 120;
        QTest::newRow("40 to 60 yellow") << "50" << 60;
        QTest::newRow("60 to 80 orange") << "70" << 39;
        QTest::newRow("80 up red") << "90" << 0;
    }
    void drawsEachBandInItsColour()
    {
        QFETCH(QString, position);
        QFETCH(int, hue);
        Rig rig;
        fillMap(*rig.window, position);
        frmGraph *g = openGraph(*rig.window);
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
        QCOMPARE(std::max_element(hues.cbegin(), hues.cend()).key(), (hue + 5) / 10 % 36);
    }

    void turnsWithALeftDragZoomsWithTheWheelAndReadsOutUnderThePointer()
    {
        Rig rig;
        fillMap(*rig.window, QStringLiteral("40"));
        frmGraph *g = openGraph(*rig.window);
        Q3DSurface *surface = g->surface();
        QVERIFY(QTest::qWaitForWindowExposed(surface));
        Q3DCamera *camera = surface->scene()->activeCamera();
        const QPoint centre(surface->width() / 2, surface->height() / 2);

        const float turned = camera->xRotation();
        QTest::mousePress(surface, Qt::LeftButton, {}, centre);
        QTest::mouseMove(surface, centre + QPoint(40, 0));
        QTest::mouseMove(surface, centre + QPoint(80, 0));
        QTest::mouseRelease(surface, Qt::LeftButton, {}, centre + QPoint(80, 0));
        QVERIFY(camera->xRotation() != turned);
        QVERIFY(g->series()->itemLabelFormat().isEmpty()); // a drag selects nothing

        const float zoom = camera->zoomLevel();
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
