// The graph command on a display without OpenGL (the offscreen platform):
// the window says so instead of crashing, and keeps its one-window life.
#include "frmgraph.h"
#include "rig.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

class TestGraphWithoutOpenGl : public QObject {
    Q_OBJECT
private slots:
    void saysOpenGlIsMissingAndStillRefills()
    {
        Rig rig;
        auto &w = *rig.window;
        w.tables.map().setTextMatrix(1, 1, QStringLiteral("40"));
        w.cmdGraph->click();
        const QList<frmGraph *> windows = w.findChildren<frmGraph *>();
        QCOMPARE(windows.size(), 1);
        frmGraph *g = windows.first();
        QVERIFY(w.GraphShown && g->isVisible() && !g->surface());
        QVERIFY(g->messageLabel() && g->messageLabel()->isVisible());
        QCOMPARE(g->messageLabel()->text(),
                 QStringLiteral("The 3D graph cannot be drawn: OpenGL is not available on this display."));
        QCOMPARE(g->titleLabel()->text(), QStringLiteral("Turbo Position"));
        QCOMPARE(g->surfaceArray()[16][16], 40.0f);
        QVERIFY(rig.dialogs.shown.isEmpty());

        w.tables.map().setTextMatrix(1, 1, QStringLiteral("70"));
        w.mnuGraph_Click();
        QCOMPARE(w.findChildren<frmGraph *>(), windows);
        QCOMPARE(g->surfaceArray()[16][16], 70.0f);
        g->close();
        QVERIFY(!w.GraphShown);
    }
};

QTEST_MAIN(TestGraphWithoutOpenGl)
#include "test_graphwithoutopengl.moc"
