// The map tools and undo's cell changes on tables without a window: rounding and limits as the module takes a
// cell, interpolation along uneven headings, smoothing, and undo and redo that leave the current cells alone.
#include "maptools.h"
#include "tablesnapshot.h"

#include <QSignalSpy>
#include <QTest>

using namespace MapTools;

namespace {
template <typename T> T data(const char *column) { return *static_cast<T *>(QTest::qData(column, qMetaTypeId<T>())); }

template <typename... Values> void row(const char *name, const Values &...values)
{
    (QTest::newRow(name) << ... << values);
}

// The range's texts, "|" between cells and "/" between rows, after writing those of `texts` when given.
QString block(FlexGrid &grid, CellRange r, const QString &texts = {})
{
    QStringList rows;
    for (int i = std::min(r.row1, r.row2); i <= std::max(r.row1, r.row2); ++i) {
        QStringList cells;
        for (int j = std::min(r.col1, r.col2); j <= std::max(r.col1, r.col2); ++j) {
            if (!texts.isNull())
                grid.setTextMatrix(i, j, texts.split(u'/').value(rows.size()).split(u'|').value(cells.size()));
            cells << grid.TextMatrix(i, j);
        }
        rows << cells.join(u'|');
    }
    return rows.join(u'/');
}

// The towing example's RPM axis (0, 600, 850, 1100 ... 4100) and load 0, 10%, 16%, 22% ...
void setUp(CalibrationTables &t)
{
    SetUpGrids(t);
    block(t.params(), {RpmStart, 1, LoadIncrement, 1}, "600/250/10/6");
    UpdateAxisHeadings(t);
}
} // namespace

class TestMapTools : public QObject {
    Q_OBJECT
private slots:
    // The tool (+ - % = and a number, horizontal, vertical, bilinear, smooth; on the brake row; with map column 3's
    // heading reading the text given), the range, its block before | after, and whether it ran.
    void blockToolsRoundAsTheModuleAndFollowTheHeadingValues_data()
    {
        for (const char *column : {"tool", "range", "block", "after"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<bool>("ran");
        row("12.3 + 0.2 is 12.5: to 12; the label stays", "+0.2 brake", "0,3,0,0", "Brake|||12.3", "Brake|||12", true);
        row("254 + 0.5 stays 254, 255 + 0.5 held at 255", "+0.5", "1,1,1,2", "254|255", "254|255", true);
        row("129.2 by 125% is 161.5 as its text reads: to 162", "%125", "1,1,1,1", "129.2", "162", true);
        row("5 - 10 held at 0", "-10", "1,1,1,2", "5|15", "0|5", true);
        row("35 by 110% is 38.5: to 38, 200 by 150% held at 255", "%110", "1,1,1,2", "35|250", "38|255", true);
        row("text, a number with text, an empty cell stay", "+1", "1,1,1,3", "abc|50abc|", "abc|50abc|", true);
        row("set overwrites every cell, rounded", "=12.5 brake", "0,0,0,2", "Brake|abc|", "Brake|12|12", true);
        row("set leaves the headings", "=5", "0,0,1,1", "|0/0|9", "|0/0|5", true);
        row("set to not a number changes nothing", "=nan", "1,1,1,1", "9", "9", true);
        row("along RPM 0, 600, 850, 1100", "h", "1,1,1,4", "0|||110", "0|60|85|110", true);
        row("a heading not a number: by position", "h abc", "1,1,1,4", "0|||110", "0|37|73|110", true);
        row("headings 0, 600, 600, 1100: by position", "h 600", "1,1,1,4", "0|||110", "0|37|73|110", true);
        row("along load 0, 10%, 16%, 22%", "v", "1,1,4,1", "0///220", "0/100/160/220", true);
        row("from all four edges", "b", "1,1,3,4", "0|50|85|110/10|||120/20|80|105|130",
            "0|50|85|110/10|66|95|120/20|80|105|130", true);
        row("each row apart, held at 255", "h", "1,1,2,4", "0|||360/1|||1", "0|196|255|360/1|1|1|1", true);
        row("two columns: nothing between", "h", "1,1,2,2", "1|2/3|4", "1|2/3|4", false);
        row("two rows: no bilinear", "b", "1,1,2,3", "1|2|3/4|5|6", "1|2|3/4|5|6", false);
        row("a peak, halves to even; text neither moves nor counts", "s", "2,2,4,4", "abc|0|0/0|93|0/0|0|0",
            "abc|23|0/23|46|16/0|16|0", true);
        row("a heading is no neighbour", "s", "1,3,2,3", "10/20", "15/15", true);
        row("the brake row, held at 255", "s brake", "0,1,0,4", "10|40|300|400", "25|98|255|255", true);
        row("one cell: nothing to smooth", "s brake", "0,2,0,2", "7.5", "7.5", false);
    }
    void blockToolsRoundAsTheModuleAndFollowTheHeadingValues()
    {
        const auto words = data<QString>("tool").split(u' ');
        const QString tool = words[0];
        CalibrationTables t;
        setUp(t);
        if (words.size() > 1 && words[1] != "brake")
            t.map().setTextMatrix(0, 3, words[1]);
        FlexGrid &grid = words.contains("brake") ? t.brake() : t.map();
        const auto n = data<QString>("range").split(u',');
        const CellRange r{n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt()};
        block(grid, r, data<QString>("block"));
        const Interpolation how[] = {Interpolation::Horizontal, Interpolation::Vertical, Interpolation::Bilinear};
        const Arithmetic ops[] = {Arithmetic::Add, Arithmetic::Subtract, Arithmetic::ScalePercent, Arithmetic::Set};
        bool ran = true;
        if (tool == "s")
            ran = smooth(grid, r);
        else if (QString("hvb").contains(tool))
            ran = interpolate(t, r, how[QString("hvb").indexOf(tool)]);
        else
            apply(grid, r, ops[QString("+-%=").indexOf(tool[0])], tool.mid(1).toDouble());
        QCOMPARE(ran, data<bool>("ran"));
        QCOMPARE(block(grid, r), data<QString>("after"));
    }

    void carriableIsAWholeNumberTheModuleTakesAsAByte_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("carriable");
        const std::pair<const char *, bool> rows[] = {
            {"255", true},  {"255.5", false}, {"254.5", true},  {"256", false},  {"-1", false},
            {"-0.5", true}, {"abc", false},   {"", true},       {" 1 2 ", true}, {"50abc", false},
            {"&HFF", true}, {"&H100", false}, {"2.55E2", true}, {"1E3", false},  {"12.", true},
            {".", false},   {"10%", false},   {"&O377", true},  {" ", true}};
        for (const auto &[text, carriable] : rows)
            row(text, QString::fromLatin1(text), carriable);
    }
    void carriableIsAWholeNumberTheModuleTakesAsAByte()
    {
        QCOMPARE(carriable(data<QString>("text")), data<bool>("carriable"));
    }

    // Edits "grid row col text" made after the snapshot | the changes listed | map 0,4 and 3,5, brake 0 to 2 and the
    // board name after them; undone, they read 1100|45|Brake|||A again.
    void changesUndoAndRedoCellByCellWithoutMovingTheCurrentCell_data()
    {
        for (const char *column : {"edits", "changes", "redone"})
            QTest::addColumn<QString>(column);
        row("nothing", "", "", "1100|45|Brake|||A");
        row("a text put back", "0 3 5 9;0 3 5 45", "", "1100|45|Brake|||A");
        row("one of each grid, a heading, a label", "0 3 5 46;1 0 2 7;2 7 1 B;0 0 4 1;1 0 0 Br",
            "0 0 4:1100>1;0 3 5:45>46;1 0 0:Brake>Br;1 0 2:>7;2 7 1:A>B", "1|46|Br||7|B");
    }
    void changesUndoAndRedoCellByCellWithoutMovingTheCurrentCell()
    {
        CalibrationTables t;
        setUp(t);
        t.map().setTextMatrix(3, 5, "45");
        t.params().setTextMatrix(BoardName, 1, "A");
        t.map().setCurrent(2, 2);
        const TableSnapshot before(t);
        FlexGrid *grids[] = {&t.map(), &t.brake(), &t.params()};
        for (const auto &edit : data<QString>("edits").split(u';', Qt::SkipEmptyParts)) {
            const auto f = edit.split(u' ');
            grids[f[0].toInt()]->setTextMatrix(f[1].toInt(), f[2].toInt(), f.value(3));
        }
        const TableSnapshot after(t);
        const CellChanges changes = CellChanges::between(before, after);
        QStringList listed;
        for (int i = 0; i < changes.count(); ++i) {
            const auto p = changes.place(i);
            listed << QString("%1 %2 %3:%4>%5")
                          .arg(QString::number(int(p.grid)), QString::number(p.row), QString::number(p.col),
                               changes.before(i), changes.after(i));
        }
        QCOMPARE(listed.join(u';'), data<QString>("changes"));
        QCOMPARE(changes.isEmpty(), listed.isEmpty());
        QCOMPARE(before == after, listed.isEmpty());

        const auto cells = [&t] {
            return QStringList{t.map().TextMatrix(0, 4), t.map().TextMatrix(3, 5), block(t.brake(), {0, 0, 0, 2}),
                               t.params().TextMatrix(BoardName, 1)}
                .join(u'|');
        };
        QSignalSpy leaves(&t.map(), &FlexGrid::LeaveCell);
        changes.applyBefore(t);
        QCOMPARE(cells(), "1100|45|Brake|||A");
        QVERIFY(TableSnapshot(t) == before);
        changes.applyAfter(t);
        QCOMPARE(cells(), data<QString>("redone"));
        QVERIFY(TableSnapshot(t) == after);
        QCOMPARE(leaves.count(), 0);
        QCOMPARE(QString("%1 %2 %3").arg(t.map().Row()).arg(t.map().Col()).arg(t.brake().Col()), "2 2 1");
    }

    // 256 places of 12 bytes and 768 characters a side: a thousand such steps hold 6.2 MB.
    void aWholeMapStepIsHeldPacked()
    {
        CalibrationTables t;
        apply(t.map(), {1, 1, 16, 16}, Arithmetic::Set, 100);
        const TableSnapshot before(t);
        apply(t.map(), {1, 1, 16, 16}, Arithmetic::Set, 123);
        const CellChanges changes = CellChanges::between(before, TableSnapshot(t));
        QCOMPARE(changes.count(), 256);
        QCOMPARE(changes.before(255) + changes.after(255), "100123");
        QCOMPARE(changes.bytes(), 6216);
    }
};

QTEST_GUILESS_MAIN(TestMapTools)
#include "test_maptools.moc"
