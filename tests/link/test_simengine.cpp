// The virtual module's link commands and the engine behind them.
#include "linkcommands.h"
#include "misc.h"
#include "simcalibration.h"
#include "simengine.h"
#include "virtualmodule.h"

#include <QTest>

class TestSimEngine : public QObject {
    Q_OBJECT
private slots:
    // Only its own board name opens it; a module there but forbidden says so.
    void openFindsItsBoardAndSaysWhyNot_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("opened"); // Open's result, then the problem it leaves
        QTest::newRow("present") << "" << QByteArray("KTRM") << "1 0";
        QTest::newRow("other board's name") << "" << QByteArray("PNDX") << "0 1";
        QTest::newRow("case differs") << "" << QByteArray("ktrm") << "0 1";
        QTest::newRow("absent") << "absent" << QByteArray("KTRM") << "0 1";
        QTest::newRow("denied") << "denied" << QByteArray("KTRM") << "0 2";
        QTest::newRow("denied, other name") << "denied" << QByteArray("PNDX") << "0 1";
    }
    void openFindsItsBoardAndSaysWhyNot()
    {
        QFETCH(QString, fault);
        QFETCH(QByteArray, name);
        QFETCH(QString, opened);
        VirtualMisc clock;
        VirtualModule module(clock);
        QCOMPARE(int(module.LastOpenProblem()), 0);
        module.faults.absent = fault == "absent";
        module.faults.denied = fault == "denied";
        const int result = module.Open(0xC1CA, 0xFFFF, nullptr, nullptr, name.constData(), -1);
        QCOMPARE(QStringLiteral("%1 %2").arg(result).arg(int(module.LastOpenProblem())), opened);
    }

    void breakpointIsTheLastAtOrBelow()
    {
        QStringList indices;
        for (int rpm : {750, 999, 1000, 3500, 9000})
            indices << QString::number(SimEngine::breakpointIndex(rpm, 800, 200));
        for (int load : {0, 9, 10, 100})
            indices << QString::number(SimEngine::breakpointIndex(load, 10, 6));
        QCOMPARE(indices.join(' '), QStringLiteral("0 1 2 14 15 0 0 1 15"));
    }

    // A module left running records nothing without a journal, and holds at most 64 unread reports.
    void moduleKeepsNothingPerReport()
    {
        VirtualMisc clock;
        VirtualModule module(clock);
        QCOMPARE(module.Open(0xC1CA, 0xFFFF, nullptr, nullptr, "KTRM", -1), 1);
        std::array<std::uint8_t, ReportBufferSize> report{0, LinkCommand::BoardVersion};
        for (int i = 0; i < 100; ++i)
            module.Write(report);
        module.Read(report);
        QCOMPARE(QStringLiteral("%1 %2").arg(module.queuedReplies()).arg(module.journal().entries().size()),
                 QStringLiteral("63 0"));
    }

    // Inputs and operating point as the tuner decodes them, against the engine at that moment.
    void ktrmRepliesCarryTheEngine()
    {
        VirtualMisc clock;
        VirtualModule module(clock);
        QCOMPARE(module.Open(0xC1CA, 0xFFFF, nullptr, nullptr, "KTRM", -1), 1);
        const SimCalibration &cal = module.calibration();
        auto ask = [&](std::uint8_t command) {
            std::array<std::uint8_t, ReportBufferSize> report{0, command};
            module.Write(report);
            module.Read(report);
            return report;
        };
        bool sawBrake = false;
        for (qint64 t = 0; t < SimEngine::cycleMs(); t += 1700) {
            clock.advance(1700);
            const auto s = SimEngine().state(clock.Now());
            const auto in = ask(LinkCommand::RequestInputs), op = ask(LinkCommand::OperatingPoint);
            QCOMPARE((QList<int>{in[1] * 256 + in[2], in[3], in[4], in[5] == 1, in[6] == 1}),
                     (QList<int>{s.rpm, s.load, s.vanes, s.atIdle, s.exhaustBrake}));
            QCOMPARE(
                (QList<int>{op[1], op[2], op[3] != 0}),
                (QList<int>{SimEngine::breakpointIndex(s.rpm, cal.rpmStart(), cal.rpmIncrement()),
                            SimEngine::breakpointIndex(s.load, cal.loadStart(), cal.loadIncrement()), s.exhaustBrake}));
            QVERIFY(!s.exhaustBrake || (s.atIdle && s.load == 0 && s.vanes > 80)); // the engine's own sense
            sawBrake = sawBrake || op[3] != 0;
        }
        QVERIFY(sawBrake);
    }
};

QTEST_GUILESS_MAIN(TestSimEngine)
#include "test_simengine.moc"
