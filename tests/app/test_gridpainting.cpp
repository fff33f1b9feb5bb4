// The grid view: what it paints, read back from the screen, and where keys, clicks and scrolling take it.
#include "flexgridview.h"
#include "rig.h"

#include <QApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

namespace {
// The frame's colour, then the top-left cells as the screen shows them, a row a line: the background (B heading,
// W white, H selection, Y yellow), '*' for the dotted frame of the focused current cell ('#' if solid), then the
// colour of the text (K black, W white) and the corners of its ink; '!' where a grid line is missing.
QString picture(FlexGridView *v, int rows, int cols)
{
    QCoreApplication::processEvents(); // the changed cells are found, then painted
    QCoreApplication::processEvents();
    const QImage shot = v->screen()->grabWindow(v->window()->winId()).toImage();
    const QRgb black = 0xff000000, mid = 0xffb8b8b8;
    const QHash<QRgb, QChar> names{
        {0xffefefef, 'B'}, {0xffffffff, 'W'}, {0xff308cc6, 'H'}, {0xffffff00, 'Y'}, {black, 'K'}};
    QString out = names.value(shot.pixel(v->mapTo(v->window(), QPoint(0, 0))), '?');
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const QRect cell = v->cellRect(r, c).translated(v->mapTo(v->window(), QPoint()));
            const int w = cell.width(), h = cell.height();
            auto at = [&](int x, int y) { return shot.pixel(cell.left() + x, cell.top() + y); };
            out += (c ? ' ' : '\n') + names.value(at(4, 2), '?');
            if (at(2, 1) == black && at(w - 2, 4) == black && at(2, h - 2) == black)
                out += at(3, 1) == black ? '#' : '*';
            QRect ink; // inside the dotted frame
            QChar pure = '?';
            for (int x = 3; x < w - 3; ++x)
                for (int y = 3; y < h - 3; ++y)
                    if (at(x, y) != at(4, 2)) {
                        pure = pure == '?' ? names.value(at(x, y), '?') : pure;
                        ink |= QRect(x, y, 1, 1);
                    }
            if (!ink.isNull())
                out += QString::asprintf("%c%d,%d-%d,%d", pure.toLatin1(), ink.left(), ink.top(), ink.right(),
                                         ink.bottom());
            if (at(w - 1, 7) != mid || at(20, h - 1) != mid)
                out += '!';
        }
    }
    return out;
}

void row(const char *name, const char *steps, const char *outcome) { QTest::newRow(name) << steps << outcome; }
} // namespace

class TestGridPainting : public QObject {
    Q_OBJECT
private slots:
    void mapAndBrakeRowPaintHeadingsSelectionCurrentCellAndOperatingPoint()
    {
        Rig rig;
        auto &w = *rig.window;
        FlexGrid &map = w.tables.map(), &brake = w.tables.brake();
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const std::pair<int, int> texts[] = {{0, 1}, {2, 0}, {1, 1}, {3, 3}};
        for (auto [r, c] : texts)
            map.setTextMatrix(r, c, QStringLiteral("10"));
        map.setCurrent(4, 1);
        map.setCellBackColor(GridYellow);
        map.setCurrent(2, 2);
        map.setRowSel(3);
        map.setColSel(4);
        brake.setCurrent(0, 3);
        brake.setCellBackColor(GridYellow);
        w.msflexgrid1->setFocus();
        QCOMPARE(picture(w.msflexgrid1, 5, 6) + picture(w.MSFlexGrid2, 1, 6),
                 QStringLiteral("K\nB BK25,3-36,10 B B B B\nB WK25,3-36,10 W W W W\nBK3,3-15,10 W W* H H W\n"
                                "B W H HW25,3-36,10 H W\nB Y W W W W" /* the brake row: */ "K\nB?3,3-32,10 W W Y W W"));
        // Only what changed is painted again: the selection grows along the current cell's row and column, texts
        // go, and the focus moves to the brake row.
        map.setRowSel(4);
        map.setColSel(5);
        for (auto [r, c] : {texts[0], texts[1], texts[2]})
            map.setTextMatrix(r, c, QString());
        w.MSFlexGrid2->setFocus();
        QCOMPARE(picture(w.msflexgrid1, 5, 6) + picture(w.MSFlexGrid2, 1, 6),
                 QStringLiteral("K\nB B B B B B\nB W W W W W\nB W W H H H\nB W H HW25,3-36,10 H H\nB Y H H H H"
                                "K\nB?3,3-32,10 W W Y* W W"));
        // A text that needs every pixel of its cell but the margins shows whole; one pixel less cuts it.
        const int room = w.msflexgrid1->fontMetrics().horizontalAdvance(QStringLiteral("1000")) + 4;
        map.setColWidth(6, room * 15);
        map.setColWidth(7, room * 15 - 15);
        map.setTextMatrix(1, 6, QStringLiteral("1000"));
        map.setTextMatrix(1, 7, QStringLiteral("1000"));
        QCOMPARE(w.msflexgrid1->shownText(1, 6) + ' ' + w.msflexgrid1->shownText(1, 7),
                 QStringLiteral("1000 10\u2026"));
    }

    // On a grid of three rows and four columns under its headings, 16 pixels high and 64 wide but for the edges
    // of columns 1 and 2 at 968 and 1927 twips (64.5 and 128.5 pixels), steps: a key ("Shift+End"), a typed
    // character by its code ("#7e"), a click ("@2,1") or shift-click ("+2,1") on a cell, a drag ("2,2>3,4"),
    // the pointer moved without a button ("~1,1"), a double click ("!2,2"), or "$": the sizes and scroll bars, the
    // current cell put in a heading, scrolled by 60 and 10 pixels, the places of cells and the picture, then a
    // column and a row made wider, and the view made too small and too large for the cells.
    void keysClicksAndScrollingMoveTheCurrentCellTheSelectionEndAndTheCells_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("outcome"); // current cell, selection end, what was read, then the signals
        row("arrows stop at the headings", "Up Left Down Right Right", "2,3 2,3 k k k k k");
        row("and at the last cell", "Down Down Down End Right", "3,4 3,4 k k k k k");
        row("Home", "End Down Home", "2,1 2,1 k k k");
        row("shift moves the selection end", "Down Shift+Down Shift+End Shift+Left Shift+Up",
            "2,1 2,3 k k k k k k k k k");
        row("an arrow collapses it", "Shift+Down Shift+Right Right", "1,2 1,2 k k k k k");
        row("control codes", "Return Enter Esc Backspace Del Ctrl+A Ctrl+Z Ctrl+@ Ctrl+[",
            "1,1 1,1 k13 k13 k27 k8 k k k1 k k26 k k64 k k91");
        row("characters", "#1f #20 #7e #7f #80 #ff #1f600", "1,1 1,1 k k32 k126 k k128 k255 k128512");
        row("clicks", "@2,1 @0,2 @2,0 +1,4", "2,1 1,4 DU DU DU DU");
        row("drag", "2,2>3,4 ~1,1", "2,2 3,4 DU");
        row("drag to the first cell", "3,3>1,1", "3,3 1,1 DU");
        row("drag onto a heading", "2,2>0,3 !2,2", "2,2 2,2 DUC");
        row("scrolled", "$",
            "2,0 3,2QSize(322, 66) 0 116 139 0 16 32 QRect(1,1 65x16) QRect(6,1 63x16) "
            "QRect(1,7 65x16) QRect(69,23 64x16) QRect(66,17 139x32) QPoint(2,2) QPoint(2,0) "
            "QPoint(0,2) QPoint(-1,-1) K\nB B?59,3-59,12 B\nB?3,9-61,9 B?3,3-59,12 BW3,9-60,12\n"
            "B B?59,3-59,12 H" /* column 2 wider: */ "K\nB B?59,3-59,12 B\n"
            "B?3,9-61,9 B?3,3-59,12 BW3,9-76,12\nB B?59,3-59,12 H" /* row 2 higher: */ "K\n"
            "B B?59,3-59,12 B\nB?3,9-61,9 B?3,3-59,12 BW3,9-76,12\nB B?59,3-59,16 H"
            "1 1 0 0 #ffffff#ffffff G G G G G G");
    }
    void keysClicksAndScrollingMoveTheCurrentCellTheSelectionEndAndTheCells()
    {
        FlexGrid grid(4, 5, 1, 1);
        grid.setColWidth(0, 968);
        grid.setColWidth(1, 959);
        FlexGridView view(grid);
        QString log;
        connect(&view, &FlexGridView::KeyDown, [&](int, Qt::KeyboardModifiers) { log += " k"; });
        connect(&view, &FlexGridView::KeyPress, [&](int code) { log += QString::number(code); });
        connect(&view, &FlexGridView::MouseDown, [&] { log += " D"; });
        connect(&view, &FlexGridView::MouseUp, [&] { log += 'U'; });
        connect(&view, &FlexGridView::DblClick, [&] { log += 'C'; });
        connect(&view, &FlexGridView::GotFocus, [&] { log += " F"; });
        connect(&view, &FlexGridView::geometryMoved, [&] { log += " G"; });
        view.resize(220, 64);
        view.show();
        QApplication::setActiveWindow(&view);
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(log, QStringLiteral(" G F G"));
        log.clear();
        QWidget *vp = view.viewport();
        auto at = [&](QStringView rc) {
            return view.cellRect(rc[0].digitValue(), rc[2].digitValue()).center() - vp->geometry().topLeft();
        };
        QString seen;
        QFETCH(QString, steps);
        for (const QString &step : steps.split(' ')) {
            const char32_t typed = step.mid(1).toUInt(nullptr, 16);
            const QKeyCombination key = QKeySequence(step)[0];
            QScrollBar *h = view.horizontalScrollBar(), *v = view.verticalScrollBar();
            if (step[0] == '#') {
                QTest::sendKeyEvent(QTest::Click, &view, Qt::Key_unknown, QString::fromUcs4(&typed, 1), {});
            } else if (step[0] == '@' || step[0] == '+') {
                const auto modifier = step[0] == '+' ? Qt::ShiftModifier : Qt::NoModifier;
                QTest::mouseClick(vp, Qt::LeftButton, modifier, at(step.mid(1)));
            } else if (step[0] == '~') {
                QTest::mouseMove(vp, at(step.mid(1)));
            } else if (step[0] == '!') {
                QTest::mouseDClick(vp, Qt::LeftButton, {}, at(step.mid(1)));
            } else if (step.contains('>')) {
                QTest::mousePress(vp, Qt::LeftButton, {}, at(step));
                QTest::mouseMove(vp, at(step.mid(4)));
                QTest::mouseRelease(vp, Qt::LeftButton, {}, at(step.mid(4)));
            } else if (step == '$') {
                QDebug(&seen) << view.sizeHint() << h->minimum() << h->maximum() << h->pageStep() << v->minimum()
                              << v->maximum() << v->pageStep();
                grid.setCurrent(2, 0); // where the headings' rebuild leaves the map's
                grid.setRowSel(3);
                grid.setColSel(2);
                h->setValue(60);
                v->setValue(10);
                QDebug(&seen) << view.cellRect(0, 0) << view.cellRect(0, 1) << view.cellRect(1, 0)
                              << view.cellRect(2, 2) << view.dataArea() << view.cellAt(view.cellRect(2, 2).center())
                              << view.cellAt(view.cellRect(0, 2).center()) << view.cellAt(view.cellRect(2, 0).center())
                              << view.cellAt(QPoint(0, 0));
                seen += picture(&view, 3, 3);
                grid.setColWidth(2, 1200);
                seen += picture(&view, 3, 3);
                grid.setRowHeight(2, 300);
                seen += picture(&view, 3, 3);
                view.resize(20, 20);
                QDebug(&seen) << h->pageStep() << v->pageStep();
                view.resize(600, 200); // nothing painted below or right of the cells
                const QImage shot = view.grab().toImage();
                QDebug(&seen) << h->maximum() << v->maximum();
                seen += shot.pixelColor(view.cellRect(3, 1).bottomRight() + QPoint(0, 1)).name() +
                        shot.pixelColor(view.cellRect(1, 4).bottomRight() + QPoint(1, 0)).name();
            } else {
                QTest::keyClick(&view, key.key(), key.keyboardModifiers());
            }
        }
        QTEST(QStringLiteral("%1,%2 %3,%4").arg(grid.Row()).arg(grid.Col()).arg(grid.RowSel()).arg(grid.ColSel()) +
                  seen + log,
              "outcome");
    }
};

QTEST_MAIN(TestGridPainting)
#include "test_gridpainting.moc"
