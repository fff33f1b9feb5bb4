// The virtual module's link commands and the engine behind them.
#include "linkcommands.h"
#include "misc.h"
#include "simcalibration.h"
#include "simengine.h"
#include "virtualmodule.h"

#include <QTest>
#include <cstdlib>

namespace {
// Sends one command and returns the bytes read back, or nothing.
QByteArray ask(VirtualModule &module, std::uint8_t command)
{
    std::array<std::uint8_t, ReportBufferSize> report{};
    report[1] = command;
    module.Write(report);
    const int n = module.Read(report);
    return n > 1 ? QByteArray(reinterpret_cast<const char *>(report.data()) + 1, n - 1) : QByteArray();
}
} // namespace

class TestSimEngine : public QObject {
    Q_OBJECT
private slots:
    void driveCycleLooksLikeAnEngine()
    {
        const SimEngine engine;
        int minRpm = 99999, maxRpm = 0, minLoad = 100, maxLoad = 0, braking = 0, samples = 0, slow = 0, idling = 0;
        int previousRpm = engine.state(0).rpm;
        for (qint64 t = 0; t < SimEngine::cycleMs(); t += 100, ++samples) {
            const auto s = engine.state(t);
            minRpm = std::min(minRpm, s.rpm);
            maxRpm = std::max(maxRpm, s.rpm);
            minLoad = std::min(minLoad, s.load);
            maxLoad = std::max(maxLoad, s.load);
            slow += s.rpm < 800;
            idling += s.rpm < 800 && s.atIdle && !s.exhaustBrake;
            braking += s.exhaustBrake;
            QVERIFY(!s.exhaustBrake || (s.atIdle && s.load == 0 && s.vanes > 80));
            QVERIFY2(std::abs(s.rpm - previousRpm) <= 250, qPrintable(QString::number(t))); // no jumps
            previousRpm = s.rpm;
            const auto again = engine.state(t + 3 * SimEngine::cycleMs());
            QVERIFY(again.rpm == s.rpm && again.exhaustBrake == s.exhaustBrake);
        }
        QVERIFY(minRpm >= 730 && minRpm <= 770 && maxRpm >= 3400 && maxRpm <= 3600);
        QVERIFY(minLoad == 0 && maxLoad == 100);
        QVERIFY(braking > samples / 20 && braking < samples / 3);
        QVERIFY(slow > samples / 10 && idling * 10 >= slow * 9); // idle speed is nearly always foot off
        QVERIFY(engine.state(0).atIdle && std::abs(engine.state(0).rpm - 750) <= 10);
    }

    void breakpointIsTheLastAtOrBelow_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("increment");
        QTest::addColumn<int>("index");
        QTest::newRow("idle below the first step") << 750 << 800 << 200 << 0;
        QTest::newRow("exactly on a breakpoint") << 1000 << 800 << 200 << 2;
        QTest::newRow("just under the next") << 999 << 800 << 200 << 1;
        QTest::newRow("3500 rpm") << 3500 << 800 << 200 << 14;
        QTest::newRow("beyond the last") << 9000 << 800 << 200 << 15;
        QTest::newRow("no load") << 0 << 10 << 6 << 0;
        QTest::newRow("full load") << 100 << 10 << 6 << 15;
    }
    void breakpointIsTheLastAtOrBelow()
    {
        QFETCH(int, value);
        QFETCH(int, start);
        QFETCH(int, increment);
        QFETCH(int, index);
        QCOMPARE(SimEngine::breakpointIndex(value, start, increment), index);
    }

    void ktrmRepliesCarryTheEngine()
    {
        VirtualMisc clock;
        VirtualModule module(clock);
        QCOMPARE(module.Open(0xC1CA, 0xFFFF, nullptr, nullptr, "KTRM", -1), 1);
        const SimEngine reference;
        const SimCalibration &cal = module.calibration();
        bool sawBrake = false;
        for (qint64 t = 0; t < SimEngine::cycleMs(); t += 1700) {
            clock.advance(1700);
            const auto s = reference.state(clock.Now());
            const QByteArray in = ask(module, LinkCommand::RequestInputs);
            const QByteArray op = ask(module, LinkCommand::OperatingPoint);
            QCOMPARE(quint8(in[0]) * 256 + quint8(in[1]), s.rpm);
            QCOMPARE((QList<int>{quint8(in[2]), quint8(in[3]), in[4] == 1, in[5] == 1}),
                     (QList<int>{s.load, s.vanes, s.atIdle, s.exhaustBrake}));
            QCOMPARE(
                (QList<int>{op[0], op[1], op[2] != 0}),
                (QList<int>{SimEngine::breakpointIndex(s.rpm, cal.rpmStart(), cal.rpmIncrement()),
                            SimEngine::breakpointIndex(s.load, cal.loadStart(), cal.loadIncrement()), s.exhaustBrake}));
            sawBrake = sawBrake || op[2] != 0;
        }
        QVERIFY(sawBrake);
    }

    void testTurboSweepsTheVanesOnce()
    {
        SimEngine engine;
        const SimEngine untouched;
        const qint64 t0 = 5000, end = t0 + SimEngine::SweepMs;
        engine.handle({LinkCommand::TestTurbo}, t0, SimCalibration(), true,
                      [](const SimPayload &) { QFAIL("test turbo has no reply"); });
        int lowest = 100, highest = 0;
        for (qint64 t = t0; t < end; t += 100) {
            lowest = std::min(lowest, engine.state(t).vanes);
            highest = std::max(highest, engine.state(t).vanes);
        }
        QVERIFY(lowest <= 5 && highest >= 95);
        QCOMPARE(engine.state(end).vanes, untouched.state(end).vanes);
    }
};

QTEST_GUILESS_MAIN(TestSimEngine)
#include "test_simengine.moc"
