// The virtual module behind --simulate, and the start-up options both programs share.
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

    // A module opened by the name asked for, a fault keeping it away or not, then sent commands a
    // second apart from `at` ms into the drive cycle, each followed by one read. Open's result and
    // problem | the payloads read, "-" for none. Inputs are rpm (2 bytes), load, vanes, at idle,
    // exhaust brake; the operating point is the rpm and load breakpoints and the brake. Last, the
    // replies left unread (at most 64 are kept) and the journal's length (nothing is kept without one).
    void repliesFollowTheEngine_data()
    {
        QTest::addColumn<QString>("module"); // board, fault, name asked for
        QTest::addColumn<int>("at");
        QTest::addColumn<QString>("commands");
        QTest::addColumn<QString>("replies");
        const struct {
            const char *tag, *module;
            int at;
            const char *commands, *replies;
        } rows[] = {
            {"version", "KTRM - KTRM", 0, "72", "1 0 | 0221000000000000 | 0 0"},
            {"idle", "KTRM - KTRM", 0, "80 a0", "1 0 | 02ee061901000000 0000000000000000 | 0 0"},
            {"second pull, full load", "KTRM - KTRM", 17000, "80 a0", "1 0 | 0caa632f00000000 0e0d000000000000 | 0 0"},
            {"exhaust brake", "KTRM - KTRM", 22000, "80 a0", "1 0 | 08e1005c01010000 0600010000000000 | 0 0"},
            {"test turbo sweeps the vanes", "KTRM - KTRM", 0, "92 80 80 80 80",
             "1 0 | - 02f3063201000000 02e9066401000000 02ed063201000000 02f4061901000000 | 0 0"},
            {"an unknown command", "KTRM - KTRM", 0, "55", "1 0 | - | 0 0"},
            {"a hundred versions asked, one read", "KTRM - KTRM", 0, "72x100", "1 0 | 0221000000000000 | 63 0"},
            {"the other board knows only its version", "PNDX - PNDX", 0, "72 80 a0 92",
             "1 0 | 0221000000000000 - - - | 0 0"},
            {"another board's name", "KTRM - PNDX", 0, "72", "0 1 | - | 0 0"},
            {"name in another case", "KTRM - ktrm", 0, "72", "0 1 | - | 0 0"},
            {"absent", "KTRM absent KTRM", 0, "72", "0 1 | - | 0 0"},
            {"denied", "KTRM denied KTRM", 0, "72", "0 2 | - | 0 0"},
            {"denied, another name", "KTRM denied PNDX", 0, "72", "0 1 | - | 0 0"},
        };
        for (const auto &r : rows)
            QTest::newRow(r.tag) << QString(r.module) << r.at << QString(r.commands) << QString(r.replies);
    }
    void repliesFollowTheEngine()
    {
        QFETCH(QString, module);
        QFETCH(int, at);
        QFETCH(QString, commands);
        QFETCH(QString, replies);
        const QStringList m = module.split(' ');
        VirtualMisc clock;
        clock.advance(at);
        VirtualModule sim(clock, m[0] == "PNDX" ? VirtualModule::Board::PNDX : VirtualModule::Board::KTRM);
        QCOMPARE(int(sim.LastOpenProblem()), 0);
        sim.faults.absent = m[1] == "absent";
        sim.faults.denied = m[1] == "denied";
        QStringList read{QStringLiteral("%1 %2 |")
                             .arg(sim.Open(0xC1CA, 0xFFFF, nullptr, nullptr, m[2].toLatin1().constData(), -1))
                             .arg(int(sim.LastOpenProblem()))};
        for (const QString &command : commands.split(' ')) {
            std::array<std::uint8_t, ReportBufferSize> report{0, std::uint8_t(command.left(2).toUInt(nullptr, 16))};
            for (int i = qMax(1, command.section('x', 1).toInt()); i > 0; --i)
                sim.Write(report);
            const int got = sim.Read(report);
            read << (got ? QByteArray(reinterpret_cast<const char *>(report.data()) + 1, got - 1).toHex() : "-");
            clock.advance(1000);
        }
        read << QStringLiteral("| %1 %2").arg(sim.queuedReplies()).arg(sim.journal().entries().size());
        QCOMPARE(read.join(' '), replies);
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "test_sim.moc"
