// The start-up options both programs share.
#include "misc.h"
#include "startoptions.h"

#include <QCommandLineParser>
#include <QTemporaryDir>
#include <QTest>

class TestStartOptions : public QObject {
    Q_OBJECT
private slots:
    void readsTheModuleAndTraceInEveryForm_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("expected"); // simulate board trace | error
        QTest::newRow("nothing: USB") << QStringList{} << "usb  |";
        QTest::newRow("bare simulate") << QStringList{"--simulate"} << "sim KTRM  |";
        QTest::newRow("bare simulate before another option")
            << QStringList{"--simulate", "--trace", "t.txt"} << "sim KTRM t.txt |";
        QTest::newRow("equals form") << QStringList{"--simulate=pndx"} << "sim PNDX  |";
        QTest::newRow("separate value, any case") << QStringList{"--simulate", "PNDX"} << "sim PNDX  |";
        QTest::newRow("ktrm named") << QStringList{"--simulate", "ktrm"} << "sim KTRM  |";
        QTest::newRow("unknown board") << QStringList{"--simulate", "abcd"}
                                       << "sim KTRM  |--simulate takes ktrm or pndx, not abcd";
        QTest::newRow("stray argument") << QStringList{"extra"} << "usb  |unexpected argument: extra";
    }
    void readsTheModuleAndTraceInEveryForm()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, expected);
        QCommandLineParser parser;
        StartOptions::add(parser);
        QVERIFY(parser.parse(StartOptions::normalised(QStringList{"prog"} + args)));
        const StartOptions::Choice c = StartOptions::read(parser);
        const QString got = (c.simulate ? QStringLiteral("sim ") : QStringLiteral("usb ")) +
                            (c.simulate ? (c.board == VirtualModule::Board::PNDX ? "PNDX " : "KTRM ") : "") +
                            c.tracePath + " |" + c.error;
        QCOMPARE(got, expected);
    }

    void buildsTheLinkTheOptionsChose()
    {
        VirtualMisc clock;
        QTemporaryDir dir;
        StartOptions::Choice choice;
        choice.simulate = true;
        choice.board = VirtualModule::Board::PNDX;
        choice.tracePath = dir.filePath("trace.txt");
        StartOptions::Link traced(choice, clock);
        QVERIFY(traced.module() && traced.link() && traced.link() != traced.module());
        QCOMPARE(traced.module()->boardName(), QStringLiteral("PNDX"));

        choice.tracePath = dir.filePath("no/such/folder/trace.txt");
        StartOptions::Link broken(choice, clock);
        QVERIFY(!broken.link());
        QVERIFY(broken.error().startsWith("cannot write the trace file " + choice.tracePath + ": "));

        StartOptions::Link usb(StartOptions::Choice{}, clock);
        QVERIFY(usb.link() && !usb.module());
    }
};

QTEST_GUILESS_MAIN(TestStartOptions)
#include "test_startoptions.moc"
