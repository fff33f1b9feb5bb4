// The calibration: a cell's text as a number and back, the grids' current cell, signals and sizes, the .dat
// file's bytes, bad files, and the Open, Save and Clear commands.
#include "calibrationfile.h"
#include "cellvalue.h"
#include "rig.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <cfloat>

namespace {
// Writes the bytes, if any, and gives back what the file holds.
QByteArray fileBytes(const QString &path, const QByteArray &bytes = {})
{
    QFile f(path);
    if (!bytes.isEmpty() && f.open(QIODevice::WriteOnly))
        f.write(bytes), f.close();
    return f.open(QIODevice::ReadOnly) ? f.readAll().toHex(' ') : QByteArray();
}

QString current(const FlexGrid &g) { return QStringLiteral("%1,%2").arg(g.Row()).arg(g.Col()); }
} // namespace

class TestCalibration : public QObject {
    Q_OBJECT
private slots:
    // The number a cell's text counts as, and how that number, or one only a file can hold, is shown again.
    void readsTheLeadingNumberAndShowsItInGeneralForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("blanks, tabs and line feeds inside") << " \t7\n5 " << 75.0 << "75";
        QTest::newRow("a second point ends it") << "-.5.5" << -0.5 << "-0.5";
        QTest::newRow("negative zero") << "-0" << 0.0 << "0";
        QTest::newRow("D exponent") << "2.5D2" << 250.0 << "250";
        QTest::newRow("e exponent, leading zeros") << "5e-0002" << 0.05 << "0.05";
        QTest::newRow("hex digits at their edges") << "&hf0aF9A" << 15773594.0 << "15773594";
        QTest::newRow("hex stops at @, just before A") << "&H1@" << 1.0 << "1";
        QTest::newRow("octal stops at 8") << "&O178" << 15.0 << "15";
        QTest::newRow("ampersand alone") << "&5" << 0.0 << "0";
        QTest::newRow("fifteen digits") << "999999999999999" << 999999999999999.0 << "999999999999999";
        QTest::newRow("large uses exponent") << "1000000000000000" << 1e15 << "1E+15";
        QTest::newRow("huge negative, a file's minus infinity") << "-9D400" << -qInf() << "-1.79769313486232E+308";
        QTest::newRow("huge hex, a file's infinity") << "&H" + QString(300, u'F') << qInf() << "1.79769313486232E+308";
        QTest::newRow("a file's not-a-number") << "" << qQNaN() << "0";
    }
    void readsTheLeadingNumberAndShowsItInGeneralForm()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QTEST(CellText(value), "shown");
        QTEST(CellText(CellValue(text)), "shown");
        QCOMPARE(CellValue(text), qIsFinite(value) ? value : qIsInf(value) ? std::copysign(DBL_MAX, value) : 0);
    }

    // LeaveCell (L, cell left) fires before the current cell changes, changed (c) after each visible change; values
    // outside the grid are ignored. Then current cell and selection end, sizes and positions from -1 on, colours,
    // texts.
    void signalsFollowEachChangeAndValuesOutsideTheGridAreIgnored()
    {
        FlexGrid g(3, 4, 1, 1);
        QString log;
        connect(&g, &FlexGrid::LeaveCell, this, [&] { log += QStringLiteral("L%1%2 ").arg(g.Row()).arg(g.Col()); });
        connect(&g, &FlexGrid::changed, this, [&] { log += QStringLiteral("c "); });
        g.setRow(2);
        g.setRow(2);
        g.setCurrent(3, 3);
        g.setRowSel(0);
        g.setRowSel(0);
        g.setRowSel(3);
        g.setColSel(-1);
        g.setColSel(0);
        g.setText(QStringLiteral("a"));
        g.setText(QStringLiteral("a"));
        g.setTextMatrix(3, 0, QStringLiteral("b"));
        g.setCellBackColor(gridRgb(0x112, 0x134, 0x156));
        g.setCellBackColor(gridRgb(0x12, 0x34, 0x56));
        g.setRowHeight(2, -5);
        g.setRowHeight(3, 1);
        g.setColWidth(3, 100);
        g.setColWidth(4, 1);
        QString state = log + QStringLiteral("%1,%2 %3,%4|").arg(g.Row()).arg(g.Col()).arg(g.RowSel()).arg(g.ColSel());
        for (int i = -1; i <= 4; ++i) {
            for (int v : {g.RowHeight(i), g.ColWidth(i), g.CellTopTwips(i), g.CellLeftTwips(i)})
                state += QString::number(v) + ' ';
            state += '|';
        }
        state += QString::number(g.cellBackColor(2, 3), 16) + ' ' + QString::number(g.cellBackColor(3, 3), 16) + ' ' +
                 QString::number(g.CellBackColor(), 16) + ' ' + g.TextMatrix(2, 3) + g.TextMatrix(3, 0);
        QCOMPARE(state, QStringLiteral("L11 c c L21 c c c c c c c 2,3 0,0|0 0 0 0 |240 960 0 0 |240 960 240 960 |"
                                       "0 960 480 1920 |0 100 480 2880 |0 0 480 2980 |ff123456 ffffffff ff123456 a"));
        // Per grid at start, and one all fixed: first and last row height and column width, current cell, fixed ones.
        FlexGrid small(1, 1, 1, 1);
        CalibrationTables t;
        SetUpGrids(t);
        QString start;
        for (const FlexGrid *grid : {&t.map(), &t.brake(), &t.params(), &small})
            for (int v :
                 {grid->RowHeight(0), grid->RowHeight(grid->Rows() - 1), grid->ColWidth(0),
                  grid->ColWidth(grid->Cols() - 1), grid->Row(), grid->Col(), grid->FixedRows(), grid->FixedCols()})
                start += QString::number(v) + ' ';
        QCOMPARE(start, QStringLiteral("220 220 600 600 1 1 1 1 220 220 600 600 0 1 0 1 220 220 1400 1200 7 1 0 1 "
                                       "240 240 960 960 0 0 1 1 "));
    }

    // Over "old" in the map and parameters and an edit of "9" on row 1, column 1, the tag's command on its file with
    // these bytes: the error | map (1,1) and (16,16), LOAD Start | Board Name | what the edit box still holds.
    void failedOpenOrSaveShowsTheErrorBoxAndKeepsWhatWasRead_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("outcome");
        const QByteArray factory = QByteArray::fromHex(fileBytes(EXAMPLES_DIR "/factory-calibration.dat")), none,
                         name = factory.left(2790); // up to the name
        const QString cut = "62 Input past end of file|30|20|10|",
                      code = "5 Board name character code outside 0 to 255|30|20|10|";
        const QString nothing = "|9|old|old|", untouched = "||old|old|old";
        QTest::newRow("open bad.dat: a number cut short") << factory.left(2785) << cut + "old";
        QTest::newRow("open bad.dat: a name code cut short") << factory.left(2793) << cut;
        QTest::newRow("open bad.dat: ends before the name's end") << factory.left(2798) << cut + "Ma";
        QTest::newRow("open bad.dat: 255, 256") << name + QByteArray::fromHex("0200ff0002000001") << code + "\u00FF";
        QTest::newRow("open bad.dat: -1") << name + QByteArray::fromHex("0200ffff") << code;
        QTest::newRow("open bad.dat: 65.5") << name + QByteArray::fromHex("05000000000000605040") << code;
        QTest::newRow("open bad.dat: text") << QByteArray("Hello\r\n") << "13 Not a calibration file" + nothing + "old";
        QTest::newRow("open bad.dat: name without end") << name + QByteArray::fromHex("02005a00").repeated(4097)
                                                        << "14 Board name too long|30|20|10|" + QString(4096, u'Z');
        QTest::newRow("open missing.dat") << none << "53 File not found" + untouched;
        QTest::newRow("open .") << none << "75 Path/File access error" + untouched;
        QTest::newRow("save no/such/cal.dat") << none << "76 Path not found" + untouched;
        QTest::newRow("save .") << none << "70 Permission denied" + untouched;
        QTest::newRow("save cal.dat")
            << none
            << QStringLiteral("5 Board name character 2 (U+0080) has no code in Windows-1252|9|old|old|A\u0080");
    }
    void failedOpenOrSaveShowsTheErrorBoxAndKeepsWhatWasRead()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, outcome);
        const QString command = QString::fromLatin1(QTest::currentDataTag()).section(u':', 0, 0);
        const QString error = outcome.section(u'|', 0, 0), file = command.section(u' ', 1);
        QTemporaryDir dir;
        fileBytes(dir.filePath(file), bytes);
        Rig rig;
        auto &t = rig.window->tables;
        for (int r = 0; r < 8; ++r)
            t.params().setTextMatrix(r, 1, QStringLiteral("old"));
        if (command.startsWith(u"save"))
            t.params().setTextMatrix(BoardName, 1, outcome.section(u'|', -1));
        t.map().setTextMatrix(16, 16, QStringLiteral("old"));
        int code = '9';
        rig.window->GridEdit1(code);
        rig.dialogs.fileAnswers.enqueue(dir.filePath(file));
        command.startsWith(u"open") ? rig.window->mnuOpen_Click() : rig.window->mnuSave_Click();
        QCOMPARE(rig.dialogs.shown.last().title + '|' + rig.dialogs.messages().join(u'|'),
                 "Error|Error #  " + error.section(u' ', 0, 0) + " was generated by Marlow VGT Tuner\r" +
                     error.section(u' ', 1));
        // The edit goes in as the first cell is reached, once; a command that reaches none leaves it open.
        const FlexGrid &m = t.map();
        QCOMPARE(QStringList({error, m.TextMatrix(1, 1), m.TextMatrix(16, 16), t.param(LoadStart), t.param(BoardName),
                              rig.window->Text1->isHidden() ? QString() : rig.window->Text1->text()})
                     .join(u'|'),
                 outcome + (m.TextMatrix(1, 1).isEmpty() ? "|9" : "|"));
    }

    // Clear empties the values, an edit left open on the first of them too, and Save writes zeros. Open then
    // shows the factory's example, and Save over the zeros asks first, then writes the example byte for byte.
    void saveAfterOpenWritesTheExampleByteForByte()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cal.dat")), example = EXAMPLES_DIR "/factory-calibration.dat";
        Rig rig;
        rig.connect();
        auto &t = rig.window->tables;
        int code = '7';
        t.params().setRow(MaxPosition);
        rig.window->GridEdit3(code);
        rig.window->mnuClearTable_Click();
        QVERIFY(rig.window->Text3->isHidden());
        QCOMPARE(t.map().TextMatrix(0, 16) + t.map().TextMatrix(16, 0) + t.map().TextMatrix(0, 1) +
                     t.map().TextMatrix(1, 0) + t.brake().TextMatrix(0, 0) + t.params().TextMatrix(7, 0),
                 QStringLiteral("BrakeBoard Name"));
        rig.dialogs.fileAnswers << path << example << path << path;
        rig.dialogs.yesNoAnswers << false << true;
        rig.window->mnuSave_Click();
        const QByteArray zeros = QByteArray::fromHex("05000000000000000000").repeated(279).toHex(' ') + " 02 00 00 00";
        QCOMPARE(fileBytes(path), zeros);
        t.params().setCol(0); // on the labels: Open and Save find the values themselves
        rig.window->mnuOpen_Click();
        QStringList shown; // headings of columns and rows 1, 2 and 16, current cells (row,column)
        for (int k : {1, 2, 16})
            shown << t.map().TextMatrix(0, k) << t.map().TextMatrix(k, 0);
        shown << current(t.map()) << current(t.brake()) << current(t.params());
        QCOMPARE(shown.join(u' '), QStringLiteral("0 0 800 10% 3600 94% 16,0 0,16 7,1"));
        rig.window->mnuSave_Click();
        QCOMPARE(fileBytes(path), zeros); // No keeps the file
        t.params().setCol(0);
        rig.window->mnuSave_Click();
        QCOMPARE(fileBytes(path), fileBytes(example));
    }
};

QTEST_MAIN(TestCalibration)
#include "test_calibration.moc"
