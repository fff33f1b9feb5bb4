// The graph command without OpenGL (the offscreen platform): the window says so instead
// of crashing, keeps its one-window life, and still fills the array the graph is drawn from.
#include "frmgraph.h"
#include "rig.h"

#include <QLabel>
#include <QTest>

class TestGraphWithoutOpenGl : public QObject {
    Q_OBJECT
private slots:
    void saysOpenGlIsMissingAndStillRefills()
    {
        Rig rig;
        auto &w = *rig.window;
        FlexGrid &map = w.tables.map();
        w.mnuGraph_Click();
        const QList<frmGraph *> windows = w.findChildren<frmGraph *>();
        frmGraph *g = windows.value(0);
        QVERIFY(w.GraphShown && g->isVisible() && !g->surface() && g->messageLabel()->isVisible());
        const QLabel *message = g->messageLabel();
        QString seen;
        QDebug(&seen) << message->text() << message->objectName() << message->alignment() << message->wordWrap()
                      << message->geometry() << g->titleLabel()->text();
        QCOMPARE(seen, "\"The 3D graph cannot be drawn: OpenGL is not available on this display.\" \"noOpenGl\" "
                       "QFlags<Qt::AlignmentFlag>(AlignCenter) true QRect(0,24 669x417) \"Turbo Position\" ");

        // Element (17 - c, 17 - r) holds map cell (r, c); the headings are not read and index 0 stays 0.
        map.setTextMatrix(0, 9, QStringLiteral("3000"));
        map.setTextMatrix(3, 0, QStringLiteral("3000"));
        map.setTextMatrix(1, 1, QStringLiteral("70"));
        map.setTextMatrix(3, 9, QStringLiteral("7.5"));
        map.setTextMatrix(16, 16, QStringLiteral("-1E300")); // beyond a single: held at the largest
        w.mnuGraph_Click();
        QCOMPARE(w.findChildren<frmGraph *>(), windows);
        QStringList cells; // "i,j=value/single" of every element not 0
        for (int i = 0; i < SurfaceSize; ++i)
            for (int j = 0; j < SurfaceSize; ++j)
                if (g->surfaceValues()[i][j] != 0 || g->surfaceArray()[i][j] != 0)
                    cells << QStringLiteral("%1,%2=%3/%4")
                                 .arg(i)
                                 .arg(j)
                                 .arg(g->surfaceValues()[i][j])
                                 .arg(double(g->surfaceArray()[i][j]), 0, 'g', 9);
        QCOMPARE(cells, (QStringList{"1,1=-1e+300/-3.40282347e+38", "8,14=7.5/7.5", "16,16=70/70"}));
    }
};

QTEST_MAIN(TestGraphWithoutOpenGl)
#include "test_graphwithoutopengl.moc"
