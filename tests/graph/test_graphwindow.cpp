// The graph window: one window per opening, refilled only by the command, a chart holding the map where a
// person reads it, in the bands of its legend, turned and read with the mouse; without OpenGL, a message.
#include "frmgraph.h"
#include "rig.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QtDataVisualization>

namespace {
// The values of an object's properties, each followed by a space; enumerations by number.
QString props(const QObject *o, const char *names)
{
    QString out;
    for (const QByteArray &name : QByteArray(names).split(' ')) {
        const QVariant v = o->property(name);
        out += (v.metaType().flags() & QMetaType::IsEnumeration ? QString::number(v.toInt()) : v.toString()) + ' ';
    }
    return out;
}

QVector3D drawn(const frmGraph &g, int r, int c) { return g.series()->dataProxy()->itemAt(r - 1, c - 1)->position(); }
} // namespace

class TestGraphWindow : public QObject {
    Q_OBJECT
private slots:
    void keepsOneWindowRefilledOnlyByTheCommandThatDrawsEachCellWhereAPersonReadsIt()
    {
        Rig rig;
        auto &w = *rig.window;
        const std::tuple<int, int, const char *> texts[] = {
            {2, 3, "25"}, {1, 1, "-5"}, {16, 16, "1E300"}, {0, 9, "3000"}, {3, 0, "3000"}};
        for (auto [r, c, text] : texts)
            w.tables.map().setTextMatrix(r, c, QString::fromLatin1(text));
        w.menuItem(QStringLiteral("&File"), QStringLiteral("Graph"))->trigger();
        frmGraph *g = w.findChild<frmGraph *>();
        QVERIFY(w.GraphShown && g->isVisible() && g->isWindow());
        QString seen; // element (17 - c, 17 - r) holds map cell (r, c), not the headings; a single held at the largest
        for (int i = 0; i < SurfaceSize; ++i)
            for (int j = 0; j < SurfaceSize; ++j)
                if (g->surfaceValues()[i][j] != 0)
                    QDebug(&seen) << i << j << g->surfaceValues()[i][j] << g->surfaceArray()[i][j];
        QCOMPARE(std::exchange(seen, {}), "1 1 1e+300 3.40282e+38 14 15 25 25 16 16 -5 -5 ");
        if (!g->surface()) {
            const QLabel *message = g->messageLabel();
            QDebug(&seen) << message->text() << message->objectName() << message->alignment() << message->wordWrap()
                          << message->isVisible() << message->geometry() << g->titleLabel()->text();
            QCOMPARE(seen, "\"The 3D graph cannot be drawn: OpenGL is not available on this display.\" \"noOpenGl\" "
                           "QFlags<Qt::AlignmentFlag>(AlignCenter) true true QRect(0,24 669x417) \"Turbo Position\" ");
            return;
        }
        const Q3DSurface *s = g->surface();
        QDebug(&seen) << g->windowTitle() << g->size() << g->titleLabel()->font().bold()
                      << g->titleLabel()->font().pointSizeF() << s->requestedFormat().depthBufferSize()
                      << s->requestedFormat().stencilBufferSize() << s->requestedFormat().samples()
                      << s->activeTheme()->font().pointSize() << s->scene()->activeCamera()->target();
        for (const QObject *axis : {s->axisX(), s->axisY(), s->axisZ()})
            seen += props(axis, "title min max segmentCount subSegmentCount labelFormat autoAdjustRange titleVisible");
        seen += props(s, "shadowQuality horizontalAspectRatio") +
                props(s->scene()->activeCamera(), "xRotation yRotation zoomLevel") +
                props(g->series(), "wireframeColor colorStyle itemLabelFormat");
        for (const auto &[at, colour] : g->series()->baseGradient().stops())
            seen += QString::number(at) + colour.name() + ' ';
        QWidget *view = g->chartArea()->findChild<QWidget *>(QStringLiteral("surfaceView"));
        seen += props(g->titleLabel(), "alignment") + props(view, "focusPolicy minimumWidth minimumHeight") +
                props(g->legend()->findChild<QLabel *>(), "frameShape autoFillBackground") +
                props(g->chartArea(), "autoFillBackground");
        for (const QWidget *part :
             (QList<QWidget *>{g->chartArea()} + g->chartArea()->findChildren<QWidget *>()).first(6))
            seen +=
                QStringLiteral("%1,%2 %3x%4 ").arg(part->x()).arg(part->y()).arg(part->width()).arg(part->height()) +
                part->palette().color(QPalette::Window).name() + ' ' + props(part, "objectName text");
        QCOMPARE(std::exchange(seen, {}),
                 "\"Graph\" QSize(733, 453) true 12.6 24 8 4 50 QVector3D(0, -0.7, 0) RPM 800 3800 5 3 %.0f false "
                 "true Position 0 100 5 1 %.0f false true Load % 14 100 3 5 %.0f false true 0 1 25 25 75 #3c3c3c 2  "
                 "0#0000ff 0.1995#0000ff 0.2#00ff00 0.3995#00ff00 0.4#ffff00 0.5995#ffff00 0.6#ffa500 0.7995#ffa500 "
                 "0.8#ff0000 0.9995#ff0000 132 11 200 150 1 true true 8,8 721x441 #ffffff ecGraph3D1  0,0 721x20 "
                 "#ffffff chartTitle Turbo Position 0,24 669x417 #ffffff surfaceView  673,24 48x94 #ffffff legend  "
                 "4,0 18x14 #ff0000 legendSwatch80  28,0 16x14 #ffffff legendText80 80 ");

        w.tables.map().setTextMatrix(2, 3, QStringLiteral("60"));
        QCoreApplication::processEvents();
        QDebug(&seen) << drawn(*g, 2, 3).y(); // edits wait for the command
        g->showMinimized();
        w.cmdGraph->click();
        QTRY_VERIFY(g->isActiveWindow());
        g->resize(800, 500);
        QDebug(&seen) << g->isMinimized() << g->isVisible() << drawn(*g, 2, 3).y() << g->chartArea()->geometry();
        QCOMPARE(w.findChildren<frmGraph *>(), QList<frmGraph *>{g});
        g->close();
        QVERIFY(!w.GraphShown);
        w.tables.map().setTextMatrix(2, 3, QStringLiteral("25"));
        w.mnuGraph_Click(); // before the closed window is gone
        frmGraph *again = w.findChildren<frmGraph *>().value(1);
        QVERIFY(w.GraphShown && again && again->isVisible() && again != g);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(w.findChildren<frmGraph *>(), QList<frmGraph *>{again});
        // Drawn as RPM, position, load, a wild value at the nearest end of the scale, filled at its start-up;
        // the read-out of a data point (load row, RPM column) shows the cell's true value.
        QDebug(&seen) << drawn(*again, 2, 3) << drawn(*again, 1, 1) << drawn(*again, 16, 16);
        for (const QPoint at :
             {QPoint(1, 2), QPoint(0, 0), QPoint(15, 15), QPoint(-1, 0), QPoint(16, 0), QPoint(0, -1), QPoint(0, 16)})
            QDebug(&seen) << again->pointText(at);
        QCOMPARE(std::exchange(seen, {}),
                 "25 false true 60 QRect(8,8 788x488) QVector3D(1200, 25, 19.7333) QVector3D(800, 0, 14) "
                 "QVector3D(3800, 100, 100) \"1200 RPM, 20 % load (map row 2, column 3): position 25\" \"800 RPM, 14 % "
                 "load (map row 1, column 1): position -5\" \"3800 RPM, 100 % load (map row 16, column 16): position "
                 "1E+300\" \"\" \"\" \"\" \"\" ");

        // Dragging with the left or the right button turns the surface and selects nothing; a click, or the
        // pointer resting on the surface, reads the cell under it.
        Q3DSurface *surface = again->surface();
        QVERIFY(QTest::qWaitForWindowExposed(surface));
        QTimer *rest = surface->activeInputHandler()->findChild<QTimer *>();
        const QPoint centre(surface->width() / 2, surface->height() / 2);
        for (const QString &step : QStringLiteral("pL0 mL4 rL4 pL0 mL3 rL3 m-0 pR0 mR1 rR1 m-0").split(' ')) {
            const auto button = step[1] == 'L' ? Qt::LeftButton : step[1] == 'R' ? Qt::RightButton : Qt::NoButton;
            const auto action = step[0] == 'p'   ? QTest::MousePress
                                : step[0] == 'r' ? QTest::MouseRelease
                                                 : QTest::MouseMove;
            QTest::mouseEvent(action, surface, button, {}, centre + QPoint(step[2].digitValue(), 0));
            const QPoint query = surface->scene()->selectionQueryPosition() - centre;
            QDebug(&seen) << query.x() << surface->scene()->activeCamera()->xRotation() << rest->isActive();
            surface->scene()->setSelectionQueryPosition(Q3DScene::invalidSelectionPoint());
        }
        QDebug(&seen) << rest->interval() << rest->isSingleShot();
        QCOMPARE(
            seen,
            "-335 25 false -335 25.5979 false -335 25.5979 false -335 25.5979 false -335 26.0463 false 3 26.0463 false "
            "-335 26.0463 true -335 26.0463 false -335 26.1958 false -335 26.1958 false -335 26.1958 true 120 true ");
        QTRY_VERIFY(again->series()->selectedPoint() != QSurface3DSeries::invalidSelectionPosition());
        QCOMPARE(again->series()->itemLabelFormat(), "2600 RPM, 71 % load (map row 11, column 10): position 0");
    }
};

QTEST_MAIN(TestGraphWindow)
#include "test_graphwindow.moc"
