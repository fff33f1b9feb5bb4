// The main window as it starts, its menus and About.
#include "flexgridview.h"
#include "helptext.h"
#include "rig.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QTemporaryDir>
#include <QTest>

namespace {
QByteArray contents(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void put(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void startsDisconnectedWithEmptyTablesOfTheirSizes()
    {
        Rig rig;
        auto &w = *rig.window;
        const FlexGrid &map = w.tables.map(), &brake = w.tables.brake(), &params = w.tables.params();
        QCOMPARE(w.windowTitle(), QStringLiteral("Marlow VGT Tuner v2.21"));
        QCOMPARE(w.statusPanel->text() + " / " + w.lblBoard->text(), QStringLiteral("Not Connected / No Module"));
        QVERIFY(!NonBlockingUSB::Connected && rig.journal.entries().isEmpty()); // nothing sent at start
        QVERIFY(!w.tmrAutoRequest.isActive() && !w.tmrIndex.isActive());
        QCOMPARE(QPoint(w.tmrAutoRequest.interval(), w.tmrIndex.interval()), QPoint(300, 187));
        QVERIFY(!w.lblAtIdle->isEnabled() && !w.lblExhBrakeSwPressed->isEnabled());
        // Every filled cell in order, with its column unless it is column 0: only the labels.
        QStringList texts;
        for (const FlexGrid *grid : {&map, &brake, &params})
            for (int r = 0; r < grid->Rows(); ++r)
                for (int c = 0; c < grid->Cols(); ++c)
                    if (!grid->TextMatrix(r, c).isEmpty())
                        texts << (c ? QStringLiteral("c%1 ").arg(c) : QString()) + grid->TextMatrix(r, c);
        QCOMPARE(texts, QStringList({"Brake", "Max Position", "Max Adjust", "Max Boost", "RPM Start", "RPM Increment",
                                     "LOAD Start", "LOAD Increment", "Board Name"}));
        QCOMPARE(QList<int>({map.Row(), map.Col(), brake.Row(), brake.Col(), params.Row(), params.Col()}),
                 QList<int>({1, 1, 0, 1, 7, 1}));
        QString sizes; // column width x row height of the map / column width of the brake row
        for (int i = 0; i <= 16; ++i)
            sizes += QStringLiteral("%1x%2/%3 ").arg(map.ColWidth(i)).arg(map.RowHeight(i)).arg(brake.ColWidth(i));
        QCOMPARE(sizes, QStringLiteral("600x220/600 ").repeated(17));
        QCOMPARE(QPoint(params.ColWidth(0), params.ColWidth(1)), QPoint(1400, 1200));
        // The brake row lines up under the map, column for column.
        QCOMPARE(w.MSFlexGrid2->mapTo(&w, QPoint()).x(), w.msflexgrid1->mapTo(&w, QPoint()).x());
        QCOMPARE(w.MSFlexGrid2->cellRect(0, 5).left(), w.msflexgrid1->cellRect(1, 5).left());
    }

    void menusAndControlsCarryTheirCaptions()
    {
        Rig rig;
        auto &w = *rig.window;
        QStringList menus; // items without shortcuts
        for (const QAction *top : w.menuBar()->actions()) {
            QStringList items;
            for (const QAction *item : top->menu()->actions())
                items << item->text() + item->shortcut().toString();
            menus << top->text() + ": " + items.join(", ");
        }
        QCOMPARE(menus, QStringList({"&File: Open, Save, Graph, Clear", "Connections: Connect, Disconnect",
                                     "&Communication: &Send, &Receive, &Verify, Reflash",
                                     "&Help: Board Version, Test Turbo, About"}));
        QCOMPARE(QStringList({w.Frame1->title(), w.Frame4->title(), w.chkIndex->text(), w.chkAutoRequest->text(),
                              w.lblAtIdle->text(), w.lblExhBrakeSwPressed->text()}),
                 QStringList({"Graph", "Inputs", "Index", "Auto", "At Idle", "Exh Brake Switch On"}));
        QStringList texts;
        for (const auto *frame : w.findChildren<QGroupBox *>())
            texts << frame->title();
        for (const auto *label : w.findChildren<QLabel *>())
            texts << label->text();
        for (const char *t : {"VGT Tuner", "Turbo Position Map (0=Full Open, 100=Full Close)", "RPM", "L", "O", "A",
                              "D", "Load %", "User"})
            QVERIFY2(texts.contains(QString::fromLatin1(t)), t);
    }

    void helpTextPutsEachFieldOnALine()
    {
        QCOMPARE(HelpText("first,second\n"), QStringLiteral("first\r\nsecond\r\n"));
        QCOMPARE(HelpText(QByteArray()), QString());
        QCOMPARE(HelpText("\"a, b\",c\r\n"), QStringLiteral("a, b\r\nc\r\n"));             // quotes removed
        QCOMPARE(HelpText("one,  two\nthree"), QStringLiteral("one\r\ntwo\r\nthree\r\n")); // leading blanks dropped
        QCOMPARE(HelpText("a\n\nb\n"), QStringLiteral("a\r\n\r\nb\r\n"));                  // a blank line is kept
    }

    void aboutNamesAMissingHelpFile()
    {
        Rig rig;
        rig.window->mnuAbout_Click();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("Marlow VGT Tuner"));
        QVERIFY(rig.dialogs.shown[0].text.contains(QStringLiteral("help.txt")));
    }

    // Saving over cal.dat, which holds the factory calibration, with Yes to the question. The old file
    // waits beside it until the new one is whole; a name beyond the 8-bit set fails the write half-way.
    void savingOverAFileKeepsItUntilTheNewOneIsWhole_data()
    {
        QTest::addColumn<QString>("name");    // the board name saved
        QTest::addColumn<int>("taken");       // backup names taken before, each holding "mine"
        QTest::addColumn<QString>("outcome"); // the message's first and last lines | the folder's other files
        auto row = [](const char *tag, const char *name, int taken, const QString &outcome) {
            QTest::newRow(tag) << QString::fromUtf8(name) << taken << outcome;
        };
        const QString kept = "Error #  5 was generated by Marlow VGT Tuner / The file you saved over is kept as ~/";
        row("complete", "AB", 0, "Save Complete | cal.dat=new");
        row("failed", "A\u03a9", 0, kept + "cal.dat.bak. | cal.dat=new cal.dat.bak=old");
        row("complete beside a backup", "AB", 1, "Save Complete | cal.dat=new");
        row("failed beside a backup", "A\u03a9", 1, kept + "cal.dat.2.bak. | cal.dat=new cal.dat.2.bak=old");
        row("no backup name free", "AB", 99,
            "Error #  70 was generated by Marlow VGT Tuner / The file was left as it was: no backup of it could be "
            "made, as every backup name from ~/cal.dat.bak to ~/cal.dat.99.bak is taken. | cal.dat=old");
    }
    void savingOverAFileKeepsItUntilTheNewOneIsWhole()
    {
        QFETCH(QString, name);
        QFETCH(int, taken);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cal.dat"));
        const QByteArray old = contents(QStringLiteral(EXAMPLES_DIR "/factory-calibration.dat"));
        QCOMPARE(old.size(), 2834);
        put(path, old);
        for (int i = 1; i <= taken; ++i)
            put(path + (i == 1 ? QStringLiteral(".bak") : QStringLiteral(".%1.bak").arg(i)), "mine");
        Rig rig;
        rig.window->tables.params().setTextMatrix(BoardName, 1, name);
        rig.dialogs.fileAnswers << path;
        rig.dialogs.yesNoAnswers << true;
        rig.window->mnuSave_Click();
        QString message = rig.dialogs.messages().join(u'|');
        if (message.contains(u'\r')) // the description between belongs to the error
            message = message.section(u'\r', 0, 0) + " / " + message.section(u'\r', -1);
        QStringList files;
        int mine = 0;
        for (const QString &file : QDir(dir.path()).entryList(QDir::Files)) {
            const QByteArray bytes = contents(dir.filePath(file));
            if (bytes == "mine")
                ++mine;
            else
                files << file + '=' + (bytes == old ? "old" : "new");
        }
        QCOMPARE(mine, taken); // never overwritten nor removed
        QTEST(message.replace(dir.path(), "~") + " | " + files.join(u' '), "outcome");
    }

    void closingStopsTheAutoRequestTimer()
    {
        Rig rig;
        rig.window->tmrAutoRequest.start();
        rig.window->close();
        QVERIFY(!rig.window->tmrAutoRequest.isActive());
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
