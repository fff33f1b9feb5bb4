// The graph window: one window per opening, refilled only by the command, a chart holding the map where a
// person reads it, in the bands of its legend, turned and read with the mouse.
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
        frmGraph *g = w.findChild<frmGraph *>();
        QVERIFY(w.GraphShown && g->isVisible() && g->isWindow());
        const Q3DSurface *s = g->surface();
        QString seen;
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
        for (const QWidget *part : QList<QWidget *>{g->chartArea()} + g->chartArea()->findChildren<QWidget *>())
            seen +=
                QStringLiteral("%1,%2 %3x%4 ").arg(part->x()).arg(part->y()).arg(part->width()).arg(part->height()) +
                part->palette().color(QPalette::Window).name() + ' ' + props(part, "objectName text");
        QCOMPARE(seen,
                 "\"Graph\" QSize(733, 453) true 12.6 24 8 4 50 QVector3D(0, -0.7, 0) RPM 800 3800 5 3 %.0f false "
                 "true Position 0 100 5 1 %.0f false true Load % 14 100 3 5 %.0f false true 0 1 25 25 75 #3c3c3c 2  "
                 "0#0000ff 0.1995#0000ff 0.2#00ff00 0.3995#00ff00 0.4#ffff00 0.5995#ffff00 0.6#ffa500 0.7995#ffa500 "
                 "0.8#ff0000 0.9995#ff0000 132 11 200 150 1 true true 8,8 721x441 #ffffff ecGraph3D1  0,0 721x20 "
                 "#ffffff chartTitle Turbo Position 0,24 669x417 #ffffff surfaceView  673,24 48x94 #ffffff legend  "
                 "4,0 18x14 #ff0000 legendSwatch80  28,0 16x14 #ffffff legendText80 80 4,20 18x14 #ffa500 "
                 "legendSwatch60  28,20 16x14 #ffffff legendText60 60 4,40 18x14 #ffff00 legendSwatch40  28,40 16x14 "
                 "#ffffff legendText40 40 4,60 18x14 #00ff00 legendSwatch20  28,60 16x14 #ffffff legendText20 20 4,80 "
                 "18x14 #0000ff legendSwatch0  28,80 16x14 #ffffff legendText0 0 ");

        w.tables.map().setTextMatrix(2, 3, QStringLiteral("60"));
        QCoreApplication::processEvents();
        QCOMPARE(drawn(*g, 2, 3).y(), 25.0f); // edits wait for the command
        g->showMinimized();
        w.cmdGraph->click();
        QVERIFY(!g->isMinimized() && g->isVisible());
        QTRY_VERIFY(g->isActiveWindow());
        QCOMPARE(w.findChildren<frmGraph *>(), QList<frmGraph *>{g});
        QCOMPARE(drawn(*g, 2, 3).y(), 60.0f);
        g->resize(800, 500);
        QCOMPARE(g->chartArea()->geometry(), QRect(8, 8, 788, 488));
        g->close();
        QVERIFY(!w.GraphShown);
        w.mnuGraph_Click(); // before the closed window is gone
        frmGraph *again = w.findChildren<frmGraph *>().value(1);
        QVERIFY(w.GraphShown && again && again->isVisible() && again != g);
        QCOMPARE(drawn(*again, 2, 3).y(), 60.0f); // filled at its start-up
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(w.findChildren<frmGraph *>(), QList<frmGraph *>{again});

        // Each cell is drawn as RPM, position, load: a negative at 0, one beyond a single at 100; a wild
        // value moves neither the scale nor the other cells. The read-out shows the cell's true value.
        const struct {
            int row, col;
            const char *text;
            QVector3D point;
            const char *readOut;
        } cells[] = {
            {11, 6, "20", {1800, 20, 71.333336f}, "1800 RPM, 71 % load (map row 11, column 6): position 20"},
            {1, 1, "-5", {800, 0, 14}, "800 RPM, 14 % load (map row 1, column 1): position -5"},
            {16, 16, "1E300", {3800, 100, 100}, "3800 RPM, 100 % load (map row 16, column 16): position 1E+300"}};
        for (const auto &cell : cells)
            w.tables.map().setTextMatrix(cell.row, cell.col, QString::fromLatin1(cell.text));
        w.cmdGraph->click();
        QCOMPARE(drawn(*again, 16, 1), QVector3D(800, 0, 100));
        for (const auto &cell : cells) {
            QCOMPARE(drawn(*again, cell.row, cell.col), cell.point);
            again->series()->setSelectedPoint(QPoint(cell.row - 1, cell.col - 1));
            QCOMPARE(again->series()->itemLabelFormat(), QString::fromLatin1(cell.readOut));
        }
        for (const QPoint outside : {QPoint(-1, 0), QPoint(16, 0), QPoint(0, -1), QPoint(0, 16)})
            QCOMPARE(again->pointText(outside), QString());

        // Dragging with the left or the right button turns the surface and selects nothing; a click, or the
        // pointer resting on the surface, reads the cell under it.
        Q3DSurface *surface = again->surface();
        QVERIFY(QTest::qWaitForWindowExposed(surface));
        again->series()->setSelectedPoint(QSurface3DSeries::invalidSelectionPosition());
        QAbstract3DInputHandler *handler = surface->activeInputHandler();
        QTimer *rest = handler->findChild<QTimer *>();
        const QPoint centre(surface->width() / 2, surface->height() / 2);
        seen.clear();
        auto mouse = [&](QEvent::Type type, Qt::MouseButton button, int dx) {
            const QPoint at = centre + QPoint(dx, 0);
            QMouseEvent e(type, at, at, button, type == QEvent::MouseButtonRelease ? Qt::NoButton : button, {});
            type == QEvent::MouseButtonPress     ? handler->mousePressEvent(&e, at)
            : type == QEvent::MouseButtonRelease ? handler->mouseReleaseEvent(&e, at)
                                                 : handler->mouseMoveEvent(&e, at);
            const QPoint query = surface->scene()->selectionQueryPosition() - centre;
            QDebug(&seen) << query.x() << surface->scene()->activeCamera()->xRotation() << rest->isActive();
            surface->scene()->setSelectionQueryPosition(Q3DScene::invalidSelectionPoint());
        };
        for (int dx : {4, 3}) { // less than 4 pixels is a click
            mouse(QEvent::MouseButtonPress, Qt::LeftButton, 0);
            mouse(QEvent::MouseMove, Qt::LeftButton, dx);
            mouse(QEvent::MouseButtonRelease, Qt::LeftButton, dx);
        }
        mouse(QEvent::MouseMove, Qt::NoButton, 0);
        mouse(QEvent::MouseButtonPress, Qt::RightButton, 0);
        mouse(QEvent::MouseMove, Qt::RightButton, 1);
        mouse(QEvent::MouseButtonRelease, Qt::RightButton, 1);
        mouse(QEvent::MouseMove, Qt::NoButton, 0);
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
