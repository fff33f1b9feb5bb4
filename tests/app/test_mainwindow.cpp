// The main window as it starts, its menus and About.
#include "flexgridview.h"
#include "helptext.h"
#include "rig.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QTest>

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void startsDisconnectedWithEmptyTables()
    {
        Rig rig;
        auto &w = *rig.window;
        QCOMPARE(w.windowTitle(), QStringLiteral("Marlow VGT Tuner v2.21"));
        QCOMPARE(w.statusPanel->text() + " / " + w.lblBoard->text(), QStringLiteral("Not Connected / No Module"));
        QVERIFY(!NonBlockingUSB::Connected);
        QVERIFY(!w.tmrAutoRequest.isActive() && !w.tmrIndex.isActive());
        QCOMPARE(w.tmrAutoRequest.interval(), 300);
        QCOMPARE(w.tmrIndex.interval(), 187);
        QVERIFY(!w.lblAtIdle->isEnabled() && !w.lblExhBrakeSwPressed->isEnabled());
        QVERIFY(rig.journal.entries().isEmpty()); // nothing sent at start
        for (int r = 0; r <= 16; ++r)
            for (int c = 0; c <= 16; ++c)
                QVERIFY(w.tables.map().TextMatrix(r, c).isEmpty());
        QCOMPARE(w.tables.brake().TextMatrix(0, 0), QStringLiteral("Brake"));
        const QStringList labels{"Max Position", "Max Adjust", "Max Boost", "RPM Start", "RPM Increment",
                                 "LOAD Start", "LOAD Increment", "Board Name"};
        for (int r = 0; r < 8; ++r) {
            QCOMPARE(w.tables.params().TextMatrix(r, 0), labels[r]);
            QVERIFY(w.tables.params().TextMatrix(r, 1).isEmpty());
        }
        QCOMPARE(QPoint(w.tables.map().Col(), w.tables.map().Row()), QPoint(1, 1));
        QCOMPARE(QPoint(w.tables.brake().Col(), w.tables.brake().Row()), QPoint(1, 0));
        QCOMPARE(QPoint(w.tables.params().Col(), w.tables.params().Row()), QPoint(1, 7));
    }

    void gridsHaveTheirSizesInTwips()
    {
        Rig rig;
        auto &t = rig.window->tables;
        for (int i = 0; i <= 16; ++i) {
            QCOMPARE(t.map().RowHeight(i), 220);
            QCOMPARE(t.map().ColWidth(i), 600);
            QCOMPARE(t.brake().ColWidth(i), 600);
        }
        QCOMPARE(t.params().ColWidth(0), 1400);
        QCOMPARE(t.params().ColWidth(1), 1200);
        // The brake row lines up under the map, column for column.
        auto &w = *rig.window;
        const QPoint mapOrigin = w.msflexgrid1->mapTo(&w, QPoint());
        const QPoint brakeOrigin = w.MSFlexGrid2->mapTo(&w, QPoint());
        QCOMPARE(mapOrigin.x(), brakeOrigin.x());
        QCOMPARE(w.msflexgrid1->cellRect(1, 5).left(), w.MSFlexGrid2->cellRect(0, 5).left());
    }

    void menusCarryTheirCaptions()
    {
        Rig rig;
        const QList<QStringList> menus{{"&File", "Open", "Save", "Graph", "Clear"},
                                       {"Connections", "Connect", "Disconnect"},
                                       {"&Communication", "&Send", "&Receive", "&Verify", "Reflash"},
                                       {"&Help", "Board Version", "Test Turbo", "About"}};
        const auto tops = rig.window->menuBar()->actions();
        QCOMPARE(tops.size(), menus.size());
        for (int m = 0; m < menus.size(); ++m) {
            QCOMPARE(tops[m]->text(), menus[m][0]);
            const auto items = tops[m]->menu()->actions();
            QCOMPARE(items.size(), menus[m].size() - 1);
            for (int i = 1; i < menus[m].size(); ++i) {
                QCOMPARE(items[i - 1]->text(), menus[m][i]);
                QVERIFY(items[i - 1]->shortcut().isEmpty());
            }
        }
    }

    void controlsCarryTheirCaptions()
    {
        Rig rig;
        auto &w = *rig.window;
        QCOMPARE(w.Frame1->title(), QStringLiteral("Graph"));
        QCOMPARE(w.Frame4->title(), QStringLiteral("Inputs"));
        QCOMPARE(w.chkIndex->text(), QStringLiteral("Index"));
        QCOMPARE(w.chkAutoRequest->text(), QStringLiteral("Auto"));
        QCOMPARE(w.lblAtIdle->text(), QStringLiteral("At Idle"));
        QCOMPARE(w.lblExhBrakeSwPressed->text(), QStringLiteral("Exh Brake Switch On"));
        QStringList frames;
        for (auto *g : w.findChildren<QGroupBox *>())
            frames << g->title();
        QVERIFY(frames.contains(QStringLiteral("VGT Tuner")));
        QVERIFY(frames.contains(QStringLiteral("Turbo Position Map (0=Full Open, 100=Full Close)")));
        QStringList labels;
        for (auto *l : w.findChildren<QLabel *>())
            labels << l->text();
        for (const char *t : {"RPM", "L", "O", "A", "D", "Load %", "User"})
            QVERIFY2(labels.contains(QString::fromLatin1(t)), t);
    }

    void helpTextPutsEachFieldOnALine_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("shown");
        QTest::newRow("two words with a comma") << QByteArray("first,second\n") << "first\r\nsecond\r\n";
        QTest::newRow("empty file") << QByteArray() << "";
        QTest::newRow("quotes removed") << QByteArray("\"a, b\",c\r\n") << "a, b\r\nc\r\n";
        QTest::newRow("leading blanks dropped") << QByteArray("one,  two\nthree") << "one\r\ntwo\r\nthree\r\n";
        QTest::newRow("blank line kept") << QByteArray("a\n\nb\n") << "a\r\n\r\nb\r\n";
    }
    void helpTextPutsEachFieldOnALine()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, shown);
        QCOMPARE(HelpText(file), shown);
    }

    void aboutNamesAMissingHelpFile()
    {
        Rig rig;
        rig.window->mnuAbout_Click();
        QCOMPARE(rig.dialogs.shown.size(), 1);
        QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("Marlow VGT Tuner"));
        QVERIFY(rig.dialogs.shown[0].text.contains(QStringLiteral("help.txt")));
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
