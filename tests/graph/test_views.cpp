// The map's views: the grid view's painting, keys, clicks and scrolling; the graph window, with and without OpenGL.
#include "calibrationfile.h"
#include "flexgridview.h"
#include "frmgraph.h"
#include "rig.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QtDataVisualization>

namespace {
// A mouse step's action by its mark, in the order of QTest::MouseAction: press, release, click, double click, move.
QTest::MouseAction action(QChar mark) { return QTest::MouseAction(QStringLiteral("<>@!~").indexOf(mark)); }

// The view's frame colour, then its top-left 3 by 3 cells: the background (B heading, W white, H selection, Y yellow),
// the black pixels (text, the current cell's dotted frame), the corners of the text; '!' where a grid line is missing.
QString picture(FlexGridView *v)
{
    QCoreApplication::processEvents(); // the changed cells are found, then painted
    QCoreApplication::processEvents();
    const QImage shot = v->screen()->grabWindow(v->window()->winId()).toImage();
    const QRgb black = 0xff000000, mid = 0xffb8b8b8;
    QHash<QRgb, char> name{{0xffefefef, 'B'}, {0xffffffff, 'W'}, {0xff308cc6, 'H'}, {0xffffff00, 'Y'}, {black, 'K'}};
    QString out = QChar(name.value(shot.pixel(v->mapTo(v->window(), QPoint(0, 0))), '?'));
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const QRect cell = v->cellRect(r, c).translated(v->mapTo(v->window(), QPoint()));
            auto at = [&](int x, int y) { return shot.pixel(cell.left() + x, cell.top() + y); };
            QRect ink; // inside the frame
            int blacks = 0;
            for (int x = 0; x < cell.width(); ++x)
                for (int y = 0; y < cell.height(); ++y) {
                    blacks += at(x, y) == black;
                    if (x >= 3 && y >= 3 && x < cell.width() - 3 && y < cell.height() - 3 && at(x, y) != at(4, 2))
                        ink |= QRect(x, y, 1, 1);
                }
            out += QString::asprintf(" %c%d", name.value(at(4, 2), '?'), blacks);
            if (!ink.isNull())
                out += QString::asprintf("@%d,%d-%d,%d", ink.left(), ink.top(), ink.right(), ink.bottom());
            if (at(cell.width() - 1, 7) != mid || at(20, cell.height() - 1) != mid)
                out += '!';
        }
    }
    return out + ' ';
}

QVector3D drawn(const frmGraph &g, int r, int c) { return g.series()->dataProxy()->itemAt(r - 1, c - 1)->position(); }

// An axis as "position=label" at each breakpoint, the label left out where none is written.
QString plan(const AxisPlan &axis)
{
    QString out;
    for (qsizetype i = 0; i < axis.positions.size(); ++i)
        out += QString::number(axis.positions[i]) + (axis.labels[i].isEmpty() ? " " : '=' + axis.labels[i] + ' ');
    return out;
}
} // namespace

class TestViews : public QObject {
    Q_OBJECT
private slots:
    // Column edges at 968 and 1927 twips (64.5, 128.5 px). Steps: keys, "#7e" typed, mouse on a cell ("@2,1", "+" with
    // Shift), "T" texts and yellow and picture, "-"/"F" focus off/on and picture, "H" current cell to a heading, "S"
    // scrolling.
    void keysClicksAndScrollingMoveTheCurrentCellTheSelectionEndAndTheCells_data()
    {
        QTest::addColumn<QString>("outcome"); // what was read, the current cell and selection end, the signals
        QTest::newRow("End Home Up Left Down Right Right") << "2 3 2 3";
        QTest::newRow("Down Down Down End Right") << "3 4 3 4";
        QTest::newRow("Down Shift+Down Shift+End Shift+Left Shift+Up") << "2 1 2 3";
        QTest::newRow("Return Enter Esc Backspace Del Ctrl+A Ctrl+Z Ctrl+@ Ctrl+[") << "13 13 27 8 1 26 64 91 1 1 1 1";
        QTest::newRow("#1f #20 #7e #7f #80 #ff #1f600") << "32 126 128 255 128512 1 1 1 1";
        QTest::newRow("@2,1 @0,2 @2,0 +1,4") << "2 1 1 4";
        QTest::newRow("<3,3 ~1,1 >1,1 ~2,2") << "3 3 1 1";
        QTest::newRow("<2,2 ~0,3 >0,3") << "2 2 2 2";
        QTest::newRow("@1,1 +2,2 F +1,2 T") << "K B0 B0 B0 B0 W49 H0 B0 H0 H0 K B0 B1@48,4-59,11 B0 B0 Y50@48,4-59,11 "
                                               "H0 B1@3,4-15,11 W0 W1@49,4-60,11 1 1 1 2";
        QTest::newRow("@2,1 T @1,2 F Shift+Down Shift+Left - F")
            << "K B0 B1@48,4-59,11 B0 B0 W1@48,4-59,11 W0 B1@3,4-15,11 Y49 W1@49,4-60,11 K B0 B1@48,4-59,11 B0 B0 "
               "W1@48,4-59,11 W50 B1@3,4-15,11 Y0 W1@49,4-60,11 K B0 B1@48,4-59,11 B0 B0 "
               "H0@48,4-59,11 W0 B1@3,4-15,11 H0 H0@49,4-60,11 F K B0 B1@48,4-59,11 B0 B0 H0@48,4-59,11 W50 "
               "B1@3,4-15,11 H0 H0@49,4-60,11 1 2 2 1";
        QTest::newRow("H +3,2 S")
            << "QSize(322, 66) 0 116 139 0 16 32 G G QRect(6,1 63x16) QRect(1,7 65x16) QRect(69,23 64x16) QRect(66,17 "
               "139x32) QPoint(-1,-1) K B0 B0@59,3-59,12 B0 B0@3,9-61,9 B0@3,3-59,12 B0@3,9-60,12 B0 B0@59,3-59,12 H0 "
               "K B0 B0@59,3-59,12 B0 B0@3,9-61,9 B0@3,3-59,12 B0@3,9-28,12 B0 B0@59,3-59,12 H0 1000 10\u2026K B0 "
               "B0@59,3-59,12 B0 B0@3,9-61,9 B0@3,3-59,12 B0@3,9-28,12 B0 B0@59,3-59,16 H0 G 1 1 G G G 0 0 #ffffff "
               "#ffffff 2 0 3 2";
    }
    void keysClicksAndScrollingMoveTheCurrentCellTheSelectionEndAndTheCells()
    {
        FlexGrid grid(4, 5, 1, 1);
        grid.setColWidth(0, 968);
        grid.setColWidth(1, 959);
        FlexGridView view(grid);
        view.resize(220, 64);
        view.show();
        QApplication::setActiveWindow(&view);
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QString seen;
        connect(&view, &FlexGridView::KeyPress, [&](int code) { seen += QString::number(code) + ' '; });
        connect(&view, &FlexGridView::GotFocus, [&] { seen += "F "; });
        connect(&view, &FlexGridView::geometryMoved, [&] { seen += "G "; });
        auto at = [&](auto s) { return view.cellRect(s[1].digitValue(), s[3].digitValue()).center() - QPoint(1, 1); };
        QScrollBar *h = view.horizontalScrollBar(), *v = view.verticalScrollBar();
        for (const QString &step : QString::fromLatin1(QTest::currentDataTag()).split(' ')) {
            if (const bool shift = step[0] == '+'; shift || QStringLiteral("<>@~").contains(step[0])) {
                const auto modifier = shift ? Qt::ShiftModifier : Qt::NoModifier;
                QTest::mouseEvent(action(shift ? '@' : step[0]), view.viewport(), Qt::LeftButton, modifier, at(step));
            } else if (step[0] == '#') {
                const QString typed = QStringView(QChar::fromUcs4(step.mid(1).toUInt(nullptr, 16))).toString();
                QTest::sendKeyEvent(QTest::Click, &view, Qt::Key_unknown, typed, {});
            } else if (step == 'T') {
                grid.setCellBackColor(GridYellow);
                for (auto [r, c] : {std::pair(0, 1), {2, 0}, {1, 1}, {2, 2}})
                    grid.setTextMatrix(r, c, QStringLiteral("10"));
                seen += picture(&view) + ' '; // only the changed cells are painted again
            } else if (step == '-' || step == 'F') {
                step == 'F' ? view.setFocus() : view.clearFocus();
                seen += picture(&view);
            } else if (step == 'H') { // where the headings' rebuild leaves the map's
                grid.setCurrent(2, 0);
            } else if (step == 'S') {
                QDebug(&seen) << view.sizeHint() << h->minimum() << h->maximum() << h->pageStep() << v->minimum()
                              << v->maximum() << v->pageStep();
                h->setValue(60);
                v->setValue(10);
                QDebug(&seen) << view.cellRect(0, 1) << view.cellRect(1, 0) << view.cellRect(2, 2) << view.dataArea()
                              << view.cellAt(QPoint(0, 0));
                seen += picture(&view);
                const int room = view.fontMetrics().horizontalAdvance(QStringLiteral("1000")) + 4;
                grid.setColWidth(2, room * 15);
                grid.setColWidth(3, room * 15 - 15);
                grid.setTextMatrix(3, 2, QStringLiteral("1000"));
                grid.setTextMatrix(3, 3, QStringLiteral("1000"));
                seen += picture(&view) + ' ' + view.shownText(3, 2) + ' ' + view.shownText(3, 3);
                grid.setRowHeight(2, 300);
                seen += picture(&view);
                view.resize(20, 20);
                QDebug(&seen) << h->pageStep() << v->pageStep();
                view.resize(600, 200); // nothing painted below or right of the cells
                const QImage shot = view.grab().toImage();
                QDebug(&seen).noquote() << h->maximum() << v->maximum()
                                        << shot.pixelColor(view.cellRect(3, 1).bottomRight() + QPoint(0, 1)).name()
                                        << shot.pixelColor(view.cellRect(1, 4).bottomRight() + QPoint(1, 0)).name();
            } else {
                QTest::keyClick(&view, QKeySequence(step)[0].key(), QKeySequence(step)[0].keyboardModifiers());
            }
        }
        QDebug(&seen) << grid.Row() << grid.Col() << grid.RowSel() << grid.ColSel();
        QTEST(seen.simplified(), "outcome");
    }

    // A tag naming an example file opens it; otherwise the tag's 16 texts are the RPM headings.
    void floorAxesCarryTheMapHeadingsNumbersWhereTheyRise_data()
    {
        QTest::addColumn<QString>("rpm");
        QTest::addColumn<QString>("load");
        QTest::addColumn<QString>("readout"); // of map row 16, column 16
        QTest::addColumn<QString>("chart");   // the axes' ranges, where row 16, column 16 is drawn
        QTest::newRow("factory-calibration.dat")
            << "0=0 800 1000 1200=1200 1400 1600 1800=1800 2000 2200 2400=2400 2600 2800 3000=3000 3200 3400 3600=3600 "
            << "0=0 10 16 22=22 28 34 40=40 46 52 58=58 64 70 76=76 82 88 94=94 "
            << "3600 RPM, 94 % load (map row 16, column 16): position 20"
            << "0 3600 0 94 QVector3D(3600, 20, 94) ";
        QTest::newRow("towing-calibration.dat") // the fixed first load heading equals the start of 0
            << "0=0 600 850 1100=1100 1350 1600 1850=1850 2100 2350 2600=2600 2850 3100 3350=3350 3600 3850 4100=4100 "
            << "0=0 1 2 3=14 4 5 6=35 7 8 9=56 10 11 12=77 13 14 15=98 "
            << "4100 RPM, 98 % load (map row 16, column 16): position 16"
            << "0 4100 0 15 QVector3D(4100, 16, 15) ";
        const QString none = "0 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 "; // the load headings left empty
        QTest::newRow("-.5|&H10|&O21|18x|1 9|30%|31|32|33|34|35|36|37|38|39|3.4E38")
            << "-0.5=-0.5 16 17 18=18 19 30 31=31 32 33 34=34 35 36 37=37 38 39 3.4e+38=3.4E+38 " << none
            << "3.4E+38 RPM (map row 16, column 16): position 0"
            << "-0.5 3.4e+38 0 15 QVector3D(3.4e+38, 0, 15) ";
        QTest::newRow("1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|3.5E38") // beyond the singles
            << "0=1 1 2 3=4 4 5 6=7 7 8 9=10 10 11 12=13 13 14 15=3.5E+38 " << none
            << "3.5E+38 RPM (map row 16, column 16): position 0"
            << "0 15 0 15 QVector3D(15, 0, 15) ";
        QTest::newRow("idle|||1|2|3|4|5|6|7|8|9|10|11|12|13")
            << "0=idle 1 2 3=1 4 5 6=4 7 8 9=7 10 11 12=10 13 14 15=13 " << none
            << "13 RPM (map row 16, column 16): position 0"
            << "0 15 0 15 QVector3D(15, 0, 15) ";
    }
    void floorAxesCarryTheMapHeadingsNumbersWhereTheyRise()
    {
        Rig rig;
        auto &w = *rig.window;
        const QStringList texts = QString::fromLatin1(QTest::currentDataTag()).split('|');
        if (QFile file(EXAMPLES_DIR "/" + texts[0]); texts.size() == 1)
            QVERIFY(file.open(QIODevice::ReadOnly) && !CalibrationFile::read(w.tables, file));
        else
            for (int i = 0; i < 16; ++i)
                w.tables.map().setTextMatrix(0, i + 1, texts[i]);
        w.mnuGraph_Click();
        const frmGraph *g = w.findChild<frmGraph *>();
        QTEST(plan(g->rpmAxis()), "rpm");
        QTEST(plan(g->loadAxis()), "load");
        QTEST(g->pointText(QPoint(15, 15)), "readout");
        if (const Q3DSurface *s = g->surface()) {
            QString seen;
            QDebug(&seen) << s->axisX()->min() << s->axisX()->max() << s->axisZ()->min() << s->axisZ()->max()
                          << drawn(*g, 16, 16);
            QTEST(seen, "chart");
        }
    }

    // Steps: a reply as six hex digits (column, row, brake flag) for one tick, "off"/"on" the Index box,
    // "edit" map row 6 column 4 to 77, "graph" the graph command, "reopen" closing the graph and the command.
    void theEngineIsMarkedOnTheSurfaceWithoutRefillingIt_data()
    {
        QTest::addColumn<QString>("cells"); // after each step, the marked cell (column, row)
        QTest::addColumn<QString>("drawn"); // the marker where OpenGL draws it, and each refill of the surface
        QTest::newRow("030500 030501 030500 000F01 0F0F00 100000 001000")
            << "4,6 - 4,6 - 16,16 16,16 16,16 "
            << "1200,43,34 hidden 1200,43,34 hidden 3600,20,94 3600,20,94 3600,20,94 ";
        QTest::newRow("000000 off on 030500 edit graph reopen 030500")
            << "1,1 - - 4,6 4,6 4,6 - 4,6 "
            << "0,30,0 hidden hidden 1200,43,34 1200,43,34 refill 1200,77,34 hidden 1200,77,34 ";
    }
    void theEngineIsMarkedOnTheSurfaceWithoutRefillingIt()
    {
        Rig rig;
        rig.connect(); // the factory calibration, received
        auto &w = *rig.window;
        w.chkIndex->setChecked(true);
        w.tmrIndex.stop(); // every tick is one the test runs
        QString cells, drawnAt;
        QPointer<frmGraph> g;
        auto open = [&] {
            w.mnuGraph_Click();
            g = w.findChildren<frmGraph *>().constLast();
            if (g->surface())
                connect(g->series()->dataProxy(), &QSurfaceDataProxy::arrayReset, [&] { drawnAt += "refill "; });
        };
        open();
        for (const QString &step : QString::fromLatin1(QTest::currentDataTag()).split(' ')) {
            if (step == "off" || step == "on")
                w.chkIndex->setChecked(step == "on");
            else if (step == "edit")
                w.tables.map().setTextMatrix(6, 4, QStringLiteral("77"));
            else if (step == "graph")
                w.mnuGraph_Click();
            else if (step == "reopen") {
                g->close();
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                open();
            } else {
                rig.module.faults.loseReplyToWrite = rig.module.writesReceived() + 1;
                VirtualModule::Payload reply{};
                std::copy_n(QByteArray::fromHex(step.toLatin1()).cbegin(), 3, reply.begin());
                rig.module.queueReply(reply);
                w.tmrIndex_Timer();
            }
            const auto cell = g->engineCell();
            cells += cell ? QStringLiteral("%1,%2 ").arg(cell->x()).arg(cell->y()) : "- ";
            if (const QCustom3DItem *marker = g->engineMarker()) {
                const QVector3D at = marker->position();
                drawnAt +=
                    marker->isVisible() ? QStringLiteral("%1,%2,%3 ").arg(at.x()).arg(at.y()).arg(at.z()) : "hidden ";
            }
        }
        QTEST(cells, "cells");
        if (g->engineMarker())
            QTEST(drawnAt, "drawn");
    }

    void keepsOneWindowRefilledOnlyByTheCommandThatDrawsEachCellWhereAPersonReadsIt()
    {
        Rig rig;
        auto &w = *rig.window;
        for (auto [r, c, text] : {std::tuple(2, 3, "25"), {1, 1, "-5"}, {16, 16, "1E300"}})
            w.tables.map().setTextMatrix(r, c, QString::fromLatin1(text));
        w.mnuGraph_Click();
        frmGraph *g = w.findChild<frmGraph *>();
        QVERIFY(w.GraphShown && g->isVisible() && g->isWindow());
        QString seen;
        if (!g->surface()) { // only where no window can hold OpenGL: under Xvfb, Mesa gives it
            QCOMPARE(QGuiApplication::platformName(), "offscreen");
            QDebug(&seen) << g->messageLabel()->text() << g->messageLabel()->objectName()
                          << g->messageLabel()->alignment() << g->messageLabel()->wordWrap()
                          << g->messageLabel()->geometry();
            QCOMPARE(seen, "\"The 3D graph cannot be drawn: OpenGL is not available on this display.\" \"noOpenGl\" "
                           "QFlags<Qt::AlignmentFlag>(AlignCenter) true QRect(0,24 669x417) ");
            return;
        }
        const Q3DSurface *s = g->surface();
        const Q3DCamera *camera = s->scene()->activeCamera();
        QDebug(&seen) << g->windowTitle() << g->size() << g->titleLabel()->font().bold()
                      << g->titleLabel()->font().pointSizeF() << s->requestedFormat().depthBufferSize()
                      << s->requestedFormat().stencilBufferSize() << s->requestedFormat().samples()
                      << s->activeTheme()->font().pointSize() << camera->target() << camera->xRotation()
                      << camera->yRotation() << camera->zoomLevel() << s->shadowQuality() << s->horizontalAspectRatio();
        for (const QValue3DAxis *axis : {s->axisX(), s->axisY(), s->axisZ()})
            QDebug(&seen) << axis->title() << axis->min() << axis->max() << axis->segmentCount()
                          << axis->subSegmentCount() << axis->labelFormat() << axis->isAutoAdjustRange()
                          << axis->isTitleVisible() << axis->labelAutoRotation() << axis->isTitleFixed();
        for (const auto &[at, colour] : g->series()->baseGradient().stops())
            seen += QString::number(at) + colour.name() + ' ';
        const QWidget *view = g->chartArea()->findChild<QWidget *>(QStringLiteral("surfaceView"));
        const QLabel *swatch = g->legend()->findChild<QLabel *>();
        QDebug(&seen) << g->series()->wireframeColor().name() << g->series()->colorStyle()
                      << g->series()->itemLabelFormat() << g->titleLabel()->alignment() << view->focusPolicy()
                      << view->minimumSize() << swatch->frameShape() << swatch->autoFillBackground()
                      << g->chartArea()->autoFillBackground();
        for (const QWidget *part :
             (QList<QWidget *>{g->chartArea()} + g->chartArea()->findChildren<QWidget *>()).first(6))
            QDebug(&seen).noquote() << part->geometry() << part->palette().color(QPalette::Window).name()
                                    << part->objectName() << part->property("text").toString();
        w.tables.map().setTextMatrix(2, 3, QStringLiteral("60"));
        QDebug(&seen) << drawn(*g, 2, 3).y(); // edits wait for the command
        g->showMinimized();
        w.cmdGraph->click();
        QTRY_VERIFY(g->isActiveWindow());
        QDebug(&seen) << g->isMinimized() << g->isVisible() << drawn(*g, 2, 3).y()
                      << w.findChildren<frmGraph *>().size();
        g->close();
        QDebug(&seen) << w.GraphShown;
        w.mnuGraph_Click(); // before the closed window is gone
        frmGraph *again = w.findChildren<frmGraph *>().value(1);
        QVERIFY(w.GraphShown && again && again->isVisible() && again != g);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QDebug(&seen) << w.findChildren<frmGraph *>().size() << drawn(*again, 2, 3) << drawn(*again, 1, 1)
                      << drawn(*again, 16, 16);
        for (const QPoint at :
             {QPoint(1, 2), QPoint(0, 0), QPoint(15, 15), QPoint(-1, 0), QPoint(16, 0), QPoint(0, -1), QPoint(0, 16)})
            QDebug(&seen) << again->pointText(at);

        // Dragging with either button turns the surface; a click, or the pointer resting, reads the point under it.
        Q3DSurface *surface = again->surface();
        QVERIFY(QTest::qWaitForWindowExposed(surface));
        QTimer *rest = surface->activeInputHandler()->findChild<QTimer *>();
        const QPoint centre(surface->width() / 2, surface->height() / 2);
        for (const QString &step : QStringLiteral("<L0 ~L4 >L4 <L0 ~L3 >L3 ~-0 <R0 ~R1 >R1 ~-40").split(' ')) {
            const auto button = step[1] == 'L' ? Qt::LeftButton : step[1] == 'R' ? Qt::RightButton : Qt::NoButton;
            QTest::mouseEvent(action(step[0]), surface, button, {}, centre + QPoint(step.mid(2).toInt(), 0));
            const QPoint query = surface->scene()->selectionQueryPosition() - centre;
            QDebug(&seen) << query.x() << surface->scene()->activeCamera()->xRotation() << rest->isActive();
            surface->scene()->setSelectionQueryPosition(Q3DScene::invalidSelectionPoint());
        }
        QDebug(&seen) << rest->interval() << rest->isSingleShot();
        QCOMPARE(
            seen,
            "\"Graph\" QSize(733, 453) true 12.6 24 8 4 50 QVector3D(0, -0.7, 0) 25 25 75 0 1 \"RPM\" 0 15 15 1 "
            "\"%.0f\" false true 90 false \"Position\" 0 100 5 1 \"%.0f\" false true 90 false \"Load %\" 0 15 15 1 "
            "\"%.0f\" false true 90 false 0#0000ff 0.1995#0000ff 0.2#00ff00 0.3995#00ff00 0.4#ffff00 0.5995#ffff00 "
            "0.6#ffa500 0.7995#ffa500 0.8#ff0000 0.9995#ff0000 \"#3c3c3c\" 2 \"\" "
            "QFlags<Qt::AlignmentFlag>(AlignCenter) Qt::StrongFocus QSize(200, 150) QFrame::Box true true "
            "QRect(8,8 721x441) #ffffff ecGraph3D1  QRect(0,0 721x20) #ffffff chartTitle Turbo Position "
            "QRect(0,24 669x417) #ffffff surfaceView  QRect(673,24 48x94) #ffffff legend  QRect(4,0 18x14) "
            "#ff0000 legendSwatch80  QRect(28,0 16x14) #ffffff legendText80 80 25 false true 60 1 false 1 "
            "QVector3D(2, 60, 1) QVector3D(0, 0, 0) QVector3D(15, 100, 15) \"Map row 2, column 3: position 60\" "
            "\"Map row 1, column 1: position -5\" \"Map row 16, column 16: position 1E+300\" \"\" \"\" \"\" \"\" -335 "
            "25 "
            "false -335 25.5979 false -335 25.5979 false -335 25.5979 false -335 26.0463 false 3 26.0463 false "
            "-335 26.0463 true -335 26.0463 false -335 26.1958 false -335 26.1958 false -335 26.1958 true 120 true ");
        QTRY_COMPARE(again->series()->itemLabelFormat(), "Map row 10, column 12: position 0");
    }
};

QTEST_MAIN(TestViews)
#include "test_views.moc"
