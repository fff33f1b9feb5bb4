// The start-up options both programs share, and the link they build.
#include "misc.h"
#include "startoptions.h"

#include <QCommandLineParser>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestStartOptions : public QObject {
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
            {"bare simulate", "--simulate", "sim KTRM | | module KTRM"},
            {"bare simulate before another option", "--simulate --trace t.txt",
             "sim KTRM t.txt | | module KTRM traced"},
            {"single dash", "-simulate", "sim KTRM | | module KTRM"},
            {"equals form", "--simulate=pndx", "sim PNDX | | module PNDX"},
            {"separate value, any case", "--simulate PNDX", "sim PNDX | | module PNDX"},
            {"ktrm named", "--simulate ktrm", "sim KTRM | | module KTRM"},
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
        QFETCH(QString, expected);
        QCommandLineParser parser;
        StartOptions::add(parser);
        QVERIFY(parser.parse(StartOptions::normalised(QStringList{"prog"} + args.split(' ', Qt::SkipEmptyParts))));
        const StartOptions::Choice c = StartOptions::read(parser);
        VirtualMisc clock;
        const StartOptions::Link link(c, clock);
        const QString built = !link.link()    ? link.error()
                              : link.module() ? "module " + link.module()->boardName()
                                              : QStringLiteral("usb");
        const QString traced = dynamic_cast<TracingHidApi *>(link.link()) ? QStringLiteral("traced") : QString();
        const QString board = c.board == VirtualModule::Board::PNDX ? QStringLiteral("PNDX") : QStringLiteral("KTRM");
        const QStringList got{c.simulate ? "sim" : "usb", board, c.tracePath, "|", c.error, "|", built, traced};
        QCOMPARE(got.join(' ').simplified(), expected);
    }
};

QTEST_GUILESS_MAIN(TestStartOptions)
#include "test_startoptions.moc"
