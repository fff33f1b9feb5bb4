// The start-up options both programs share: the link they build, the virtual module's or USB, traced or not.
#include "misc.h"
#include "startoptions.h"
#include "virtualmodule.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestSim : public QObject {
    Q_OBJECT
    QTemporaryDir dir; // where relative trace paths go

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }

    void readsTheModuleAndTraceInEveryForm_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("expected"); // simulate board trace | error | the link built
        const char *rows[][3] = {
            {"nothing: USB", "", "usb KTRM | | usb"},
            {"bare simulate before another option", "--simulate --trace t.txt",
             "sim KTRM t.txt | | module KTRM traced"},
            {"single dash", "-simulate", "sim KTRM | | module KTRM"},
            {"equals form", "--simulate=pndx", "sim PNDX | | module PNDX"},
            {"separate value, any case", "--simulate PNDX", "sim PNDX | | module PNDX"},
            {"USB traced", "--trace t.txt", "usb KTRM t.txt | | usb traced"},
            {"unknown board", "--simulate abcd", "sim KTRM | --simulate takes ktrm or pndx, not abcd | module KTRM"},
            {"stray argument", "extra", "usb KTRM | unexpected argument: extra | usb"},
            {"trace nowhere", "--simulate --trace no/t.txt",
             "sim KTRM no/t.txt | | cannot write the trace file no/t.txt: No such file or directory"},
        };
        for (const auto &r : rows)
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]);
    }
    void readsTheModuleAndTraceInEveryForm()
    {
        QFETCH(QString, args);
        QCommandLineParser parser;
        StartOptions::add(parser);
        QVERIFY(parser.parse(StartOptions::normalised(QStringList{"prog"} + args.split(' ', Qt::SkipEmptyParts))));
        const StartOptions::Choice c = StartOptions::read(parser);
        VirtualMisc clock;
        const StartOptions::Link link(c, clock);
        const QString built = link.module() ? "module " + link.module()->boardName() : QStringLiteral("usb");
        const QString got =
            QStringLiteral("%1 %2 %3 | %4 | %5 %6")
                .arg(c.simulate ? "sim" : "usb", c.board == VirtualModule::Board::PNDX ? "PNDX" : "KTRM", c.tracePath,
                     c.error, link.link() ? built : link.error(),
                     dynamic_cast<TracingHidApi *>(link.link()) ? "traced" : "");
        QTEST(got.simplified(), "expected");
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
