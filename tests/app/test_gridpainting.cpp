// The grid view: what it paints, read back from the screen, and where keys, clicks and scrolling take it.
#include "flexgridview.h"

#include <QApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

namespace {
// The frame's colour, then the top-left cells as the screen shows them, a row a line: the background (B heading,
// W white, H selection, Y yellow), '*' and the number of black pixels within 3 of the edges (the dotted frame of
// the focused current cell), the colour of the text (K black, W white) and the corners of its ink; '!' where a
// grid line is missing.
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
            QRect ink;
            QChar pure = '?';
            int frame = 0;
            for (int x = 0; x < w; ++x)
                for (int y = 0; y < h; ++y)
                    if (x < 3 || y < 3 || x >= w - 3 || y >= h - 3) {
                        frame += at(x, y) == black;
                    } else if (at(x, y) != at(4, 2)) {
                        pure = pure == '?' ? names.value(at(x, y), '?') : pure;
                        ink |= QRect(x, y, 1, 1);
                    }
            out += frame ? QStringLiteral("*%1").arg(frame) : QString();
            if (!ink.isNull())
                out += QString::asprintf("%c%d,%d-%d,%d", pure.toLatin1(), ink.left(), ink.top(), ink.right(),
                                         ink.bottom());
            if (at(w - 1, 7) != mid || at(20, h - 1) != mid)
                out += '!';
        }
    }
    return out;
}
} // namespace

class TestGridPainting : public QObject {
    Q_OBJECT
private slots:
    // On a grid of three rows and four columns under its headings, 16 pixels high and 64 wide but for the edges
    // of columns 1 and 2 at 968 and 1927 twips (64.5 and 128.5 pixels), the tag's steps: a key ("Shift+End"), a
    // typed character by its code ("#7e"), a click ("@2,1"), shift-click ("+2,1"), press ("<2,1"), release (">")
    // or double click ("!2,2") on a cell, the pointer moved ("~1,1"), "T" texts in four cells,
    // "Y" the current cell yellow, "-" and "F" the focus taken and given, "P" the picture, or "$": the sizes and
    // scroll bars, the current cell put in a heading, scrolled by 60 and 10 pixels, the places of cells and the
    // picture, then two columns and a row resized, with texts that just fit and not, and the view made too small
    // and too large for the cells.
    void keysClicksAndScrollingMoveTheCurrentCellTheSelectionEndAndTheCells_data()
    {
        QTest::addColumn<QString>("outcome"); // current cell, selection end, what was read, then the signals
        QTest::newRow("Up Left Down Right Right") << "2,3 2,3 k k k k k";
        QTest::newRow("Down Down Down End Right") << "3,4 3,4 k k k k k";
        QTest::newRow("End Down Home") << "2,1 2,1 k k k";
        QTest::newRow("Down Shift+Down Shift+End Shift+Left Shift+Up") << "2,1 2,3 k k k k k k k k k";
        QTest::newRow("Shift+Down Shift+Right Right") << "1,2 1,2 k k k k k";
        QTest::newRow("Return Enter Esc Backspace Del Ctrl+A Ctrl+Z Ctrl+@ Ctrl+[")
            << "1,1 1,1 k13 k13 k27 k8 k k k1 k k26 k k64 k k91";
        QTest::newRow("#1f #20 #7e #7f #80 #ff #1f600") << "1,1 1,1 k k32 k126 k k128 k255 k128512";
        QTest::newRow("@2,1 @0,2 @2,0 +1,4") << "2,1 1,4 DU DU DU DU";
        QTest::newRow("<2,2 ~3,4 >3,4 ~1,1") << "2,2 3,4 DU";
        QTest::newRow("<3,3 ~1,1 >1,1") << "3,3 1,1 DU";
        QTest::newRow("<2,2 ~0,3 >0,3 !2,2") << "2,2 2,2 DUC";
        QTest::newRow("T @2,1 Y @1,2 P Shift+Down Shift+Left - P F P")
            << "1,2 2,1K\nB BK48,4-59,11 B\nB WK48,4-59,11 W*50\nBK3,4-15,11 Y WK49,4-60,11K\nB BK48,4-59,11 B\n"
               "B HW48,4-59,11 W\nBK3,4-15,11 H HW49,4-60,11K\nB BK48,4-59,11 B\nB HW48,4-59,11 W*50\n"
               "BK3,4-15,11 H HW49,4-60,11 DU DU k k k k F";
        QTest::newRow("$") << "2,0 3,2QSize(322, 66) 0 116 139 0 16 32 QRect(6,1 63x16) QRect(1,7 65x16) "
                              "QRect(69,23 64x16) QRect(66,17 139x32) QPoint(-1,-1) K\nB B?59,3-59,12 B\n"
                              "B?3,9-61,9 B?3,3-59,12 BW3,9-60,12\nB B?59,3-59,12 HK\nB B?59,3-59,12 B\n"
                              "B?3,9-61,9 B?3,3-59,12 BW3,9-28,12\nB B?59,3-59,12 H 1000 10\u2026K\nB B?59,3-59,12 B\n"
                              "B?3,9-61,9 B?3,3-59,12 BW3,9-28,12\nB B?59,3-59,16 H1 1 0 0 #ffffff#ffffff G G G G G G";
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
        QString log;
        connect(&view, &FlexGridView::KeyDown, [&](int, Qt::KeyboardModifiers) { log += " k"; });
        connect(&view, &FlexGridView::KeyPress, [&](int code) { log += QString::number(code); });
        connect(&view, &FlexGridView::MouseDown, [&] { log += " D"; });
        connect(&view, &FlexGridView::MouseUp, [&] { log += 'U'; });
        connect(&view, &FlexGridView::DblClick, [&] { log += 'C'; });
        connect(&view, &FlexGridView::GotFocus, [&] { log += " F"; });
        connect(&view, &FlexGridView::geometryMoved, [&] { log += " G"; });
        QWidget *vp = view.viewport();
        auto at = [&](QStringView rc) {
            return view.cellRect(rc[0].digitValue(), rc[2].digitValue()).center() - vp->geometry().topLeft();
        };
        const QTest::MouseAction mouse[] = {QTest::MouseClick,   QTest::MouseClick,  QTest::MousePress,
                                            QTest::MouseRelease, QTest::MouseDClick, QTest::MouseMove};
        QString seen;
        QScrollBar *h = view.horizontalScrollBar(), *v = view.verticalScrollBar();
        for (const QString &step : QString::fromLatin1(QTest::currentDataTag()).split(' ')) {
            const char32_t typed = step.mid(1).toUInt(nullptr, 16);
            const QKeyCombination key = QKeySequence(step)[0];
            if (const auto m = QStringLiteral("@+<>!~").indexOf(step[0]); m >= 0 && step.size() > 1) {
                QTest::mouseEvent(mouse[m], vp, Qt::LeftButton, m == 1 ? Qt::ShiftModifier : Qt::NoModifier,
                                  at(step.mid(1)));
            } else if (step[0] == '#') {
                QTest::sendKeyEvent(QTest::Click, &view, Qt::Key_unknown, QString::fromUcs4(&typed, 1), {});
            } else if (step == 'T') {
                for (auto [r, c] : {std::pair(0, 1), {2, 0}, {1, 1}, {2, 2}})
                    grid.setTextMatrix(r, c, QStringLiteral("10"));
            } else if (step == 'Y') {
                grid.setCellBackColor(GridYellow);
            } else if (step == '-' || step == 'F') {
                step == 'F' ? view.setFocus() : view.clearFocus();
            } else if (step == 'P') {
                seen += picture(&view, 3, 3);
            } else if (step == '$') {
                QDebug(&seen) << view.sizeHint() << h->minimum() << h->maximum() << h->pageStep() << v->minimum()
                              << v->maximum() << v->pageStep();
                grid.setCurrent(2, 0); // where the headings' rebuild leaves the map's
                grid.setRowSel(3);
                grid.setColSel(2);
                h->setValue(60);
                v->setValue(10);
                QDebug(&seen) << view.cellRect(0, 1) << view.cellRect(1, 0) << view.cellRect(2, 2) << view.dataArea()
                              << view.cellAt(QPoint(0, 0));
                seen += picture(&view, 3, 3);
                const int room = view.fontMetrics().horizontalAdvance(QStringLiteral("1000")) + 4;
                grid.setColWidth(2, room * 15);
                grid.setColWidth(3, room * 15 - 15);
                grid.setTextMatrix(3, 2, QStringLiteral("1000"));
                grid.setTextMatrix(3, 3, QStringLiteral("1000"));
                seen += picture(&view, 3, 3) + ' ' + view.shownText(3, 2) + ' ' + view.shownText(3, 3);
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
