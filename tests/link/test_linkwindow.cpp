// Connect, board version, live inputs, Test Turbo and operating-point tracking,
// through the main window on virtual time against the virtual module.
#include "rig.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using Payload = VirtualModule::Payload;
Q_DECLARE_METATYPE(Payload)
Q_DECLARE_METATYPE(VirtualModule::Board)

namespace {
// Stands between the transport and the virtual module to see which boards were asked for.
class OpenRecorder final : public UsbHidApi {
public:
    explicit OpenRecorder(UsbHidApi &inner) : m_inner(inner) {}
    QStringList opened;
    void SetInstance(int instance) override { m_inner.SetInstance(instance); }
    int Open(int v, int p, const char *m, const char *s, const char *name, int g) override
    {
        opened << QString::fromLatin1(name);
        return m_inner.Open(v, p, m, s, name, g);
    }
    void GetReportLengths(int *in, int *out) override { m_inner.GetReportLengths(in, out); }
    int Write(ConstReportBuffer report) override { return m_inner.Write(report); }
    int Read(ReportBuffer report) override { return m_inner.Read(report); }

private:
    UsbHidApi &m_inner;
};

// The module's own answer to the next command is lost and this one read instead.
void answerNext(Rig &rig, const Payload &reply)
{
    rig.module.faults.loseReplyToWrite = rig.module.writesReceived() + 1;
    rig.module.queueReply(reply);
}

QStringList yellowCells(const FlexGrid &grid)
{
    QStringList cells;
    for (int r = 0; r < grid.Rows(); ++r)
        for (int c = 0; c < grid.Cols(); ++c)
            if (grid.cellBackColor(r, c) == GridYellow)
                cells << QStringLiteral("r%1c%2").arg(r).arg(c);
    return cells;
}

void track(Rig &rig, const Payload &reply)
{
    answerNext(rig, reply);
    rig.window->tmrIndex_Timer();
}

void run(frmVGT_Tuner &w, const QString &command)
{
    if (command == "Request")
        w.cmdRequestInputs_Click();
    else if (command == "Test Turbo")
        w.mnuTest_Click();
    else if (command == "Board Version")
        w.mnuRequestVersion_Click();
    else if (command == "Auto tick") {
        w.chkAutoRequest->setChecked(true);
        w.tmrAutoRequest_Timer();
    } else if (command == "Index tick") {
        w.chkIndex->setChecked(true);
        w.tmrIndex_Timer();
    }
}
} // namespace

class TestLinkWindow : public QObject {
    Q_OBJECT
private slots:
    void connectTriesKtrmThenPndx_data()
    {
        QTest::addColumn<VirtualModule::Board>("board");
        QTest::addColumn<bool>("absent");
        QTest::addColumn<bool>("earlierKtrmSession");
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("drained");
        using B = VirtualModule::Board;
        QTest::newRow("KTRM answers") << B::KTRM << false << false << QStringList{"KTRM"} << "Connected"
                                      << "KTRM" << true;
        QTest::newRow("PNDX answers") << B::PNDX << false << false << QStringList{"KTRM", "PNDX"} << "Connected"
                                      << "PNDX" << false;
        QTest::newRow("nothing answers") << B::KTRM << true << false << QStringList{"KTRM", "PNDX"} << "Not Connected"
                                         << "No Module" << false;
        QTest::newRow("nothing answers after a KTRM session")
            << B::KTRM << true << true << QStringList{"KTRM", "PNDX"} << "Not Connected"
            << "KTRM" << false;
    }
    void connectTriesKtrmThenPndx()
    {
        QFETCH(VirtualModule::Board, board);
        QFETCH(bool, absent);
        QFETCH(bool, earlierKtrmSession);
        QFETCH(QStringList, opened);
        QFETCH(QString, status);
        QFETCH(QString, label);
        QFETCH(bool, drained);
        Rig rig(board);
        OpenRecorder recorder(rig.module);
        NonBlockingUSB::UseBackend(&recorder);
        auto &w = *rig.window;
        if (earlierKtrmSession)
            w.mnuConnect_Click();
        recorder.opened.clear();
        rig.journal.clear();
        rig.module.faults.absent = absent;
        rig.module.queueReply({0x55}); // left over from before
        w.mnuConnect_Click();
        QCOMPARE(recorder.opened, opened);
        QCOMPARE(NonBlockingUSB::Connected, !absent);
        QCOMPARE(w.statusPanel->text(), status);
        QCOMPARE(w.lblBoard->text(), label);
        // Only a KTRM connect drains; the calibration is read after the drain.
        QCOMPARE(rig.module.queuedReplies() == 0, drained);
        QVERIFY2(drained ? rig.journal.summary().startsWith("R R-") : rig.journal.summary().isEmpty(),
                 qPrintable(rig.journal.summary()));
        if (absent)
            QVERIFY(rig.dialogs.shown.isEmpty());
    }

    void boardVersionShowsTwoHexDigitsEach_data()
    {
        QTest::addColumn<VirtualModule::Board>("board");
        QTest::addColumn<bool>("scripted");
        QTest::addColumn<Payload>("reply");
        QTest::addColumn<QString>("shown");
        using B = VirtualModule::Board;
        QTest::newRow("module's own") << B::KTRM << false << Payload{} << "Board Version 0221";
        QTest::newRow("second board") << B::PNDX << false << Payload{} << "Board Version 0221";
        QTest::newRow("single digits padded") << B::KTRM << true << Payload{0x00, 0x05} << "Board Version 0005";
        QTest::newRow("upper case") << B::KTRM << true << Payload{0xAB, 0x0A} << "Board Version AB0A";
    }
    void boardVersionShowsTwoHexDigitsEach()
    {
        QFETCH(VirtualModule::Board, board);
        QFETCH(bool, scripted);
        QFETCH(Payload, reply);
        QFETCH(QString, shown);
        Rig rig(board);
        rig.connect();
        if (scripted)
            answerNext(rig, reply);
        rig.window->mnuRequestVersion_Click();
        QCOMPARE(rig.dialogs.messages(), QStringList{shown});
        QCOMPARE(rig.dialogs.shown[0].title, QStringLiteral("Marlow VGT Tuner"));
    }

    void lostVersionReplyShowsTheLastWholeReport()
    {
        Rig rig;
        rig.connect();
        answerNext(rig, {0x0B, 0xB8, 45});
        rig.window->cmdRequestInputs_Click();
        rig.module.faults.loseReplyToWrite = rig.module.writesReceived() + 1;
        rig.window->mnuRequestVersion_Click();
        QCOMPARE(rig.dialogs.messages(), QStringList{"Board Version 0BB8"});
    }

    void commandsNeedAConnectedKtrm_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<VirtualModule::Board>("board"); // PNDX: connected to it; KTRM: not connected
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("sent");
        using B = VirtualModule::Board;
        for (const char *command : {"Request", "Test Turbo", "Auto tick", "Index tick", "Board Version"})
            QTest::addRow("%s, not connected", command) << command << B::KTRM << "Board not connected"
                                                        << "";
        for (const char *command : {"Request", "Test Turbo", "Auto tick", "Index tick"})
            QTest::addRow("%s, PNDX", command) << command << B::PNDX << "KTRM not found"
                                               << "";
        QTest::newRow("Board Version, PNDX") << "Board Version" << B::PNDX << "Board Version 0221"
                                             << "W72 S50 R";
    }
    void commandsNeedAConnectedKtrm()
    {
        QFETCH(QString, command);
        QFETCH(VirtualModule::Board, board);
        QFETCH(QString, message);
        QFETCH(QString, sent);
        Rig rig(board);
        if (board == VirtualModule::Board::PNDX)
            rig.connect();
        auto &w = *rig.window;
        bool runningDuringMessage = false;
        rig.dialogs.onShow = [&](const ShownBox &) {
            runningDuringMessage = w.tmrAutoRequest.isActive() || w.tmrIndex.isActive();
        };
        run(w, command);
        QCOMPARE(rig.dialogs.messages(), QStringList{message});
        QCOMPARE(rig.journal.summary(), sent);
        // A tick that fails unticks its box, and so stops itself, before the message.
        QVERIFY(!runningDuringMessage);
        QVERIFY(!w.chkAutoRequest->isChecked() && !w.chkIndex->isChecked());
    }

    void autoTickAfterDisconnectReportsOnce()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        w.chkAutoRequest->setChecked(true);
        w.tmrAutoRequest_Timer();
        w.mnuDisconnect_Click();
        QCOMPARE(w.lblBoard->text(), QStringLiteral("No Module"));
        QVERIFY(w.tmrAutoRequest.isActive()); // Disconnect leaves the timer to find out
        rig.journal.clear();
        w.tmrAutoRequest_Timer();
        QCOMPARE(rig.dialogs.messages(), QStringList{"Board not connected"});
        QVERIFY(!w.chkAutoRequest->isChecked() && !w.tmrAutoRequest.isActive());
        QVERIFY(rig.journal.entries().isEmpty());
    }

    void clearEmptiesThePanelWhileAutoRuns()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        w.chkAutoRequest->setChecked(true);
        w.tmrAutoRequest_Timer();
        QVERIFY(!w.txtInputs[0]->text().isEmpty());
        QVERIFY(w.lblAtIdle->isEnabled()); // the engine idles at first
        w.cmdClear_Click();
        for (auto *box : w.txtInputs)
            QVERIFY(box->text().isEmpty());
        QVERIFY(!w.lblAtIdle->isEnabled() && !w.lblExhBrakeSwPressed->isEnabled());
        QVERIFY(w.chkAutoRequest->isChecked() && w.tmrAutoRequest.isActive());
        QCOMPARE(rig.journal.summary(), QStringLiteral("W80 S50 R")); // Clear sent nothing
        w.tmrAutoRequest_Timer();
        QVERIFY(!w.txtInputs[0]->text().isEmpty());
    }

    void replyBytesFillThePanel_data()
    {
        QTest::addColumn<Payload>("reply");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("atIdle");
        QTest::addColumn<bool>("brake");
        QTest::newRow("3000 rpm at idle")
            << Payload{0x0B, 0xB8, 45, 0, 1, 0} << QStringList{"3000", "45", "0"} << true << false;
        QTest::newRow("highest speed") << Payload{0xFF, 0xFF, 100, 255, 0, 1} << QStringList{"65535", "100", "255"}
                                       << false << true;
        QTest::newRow("switches only on for 1")
            << Payload{0, 0, 0, 7, 2, 255} << QStringList{"0", "0", "7"} << false << false;
    }
    void replyBytesFillThePanel()
    {
        QFETCH(Payload, reply);
        QFETCH(QStringList, texts);
        QFETCH(bool, atIdle);
        QFETCH(bool, brake);
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        answerNext(rig, reply);
        w.cmdRequestInputs_Click();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(w.txtInputs[i]->text(), texts[i]);
        QCOMPARE(w.lblAtIdle->isEnabled(), atIdle);
        QCOMPARE(w.lblExhBrakeSwPressed->isEnabled(), brake);
    }

    void missingReplyShowsThePreviousReading_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("lost") << "lost";
        QTest::newRow("short") << "short";
        QTest::newRow("unplugged") << "unplugged";
    }
    void missingReplyShowsThePreviousReading()
    {
        QFETCH(QString, fault);
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        answerNext(rig, {0x04, 0xD2, 33, 12, 0, 1});
        w.cmdRequestInputs_Click();
        const int next = rig.module.writesReceived() + 1;
        if (fault == "lost")
            rig.module.faults.loseReplyToWrite = next;
        else if (fault == "short")
            rig.module.faults.shortReplyToWrite = next;
        else
            rig.module.faults.unplugAtWrite = next;
        w.cmdRequestInputs_Click();
        QCOMPARE(w.txtInputs[0]->text(), QStringLiteral("1234"));
        QCOMPARE(w.txtInputs[2]->text(), QStringLiteral("12"));
        QVERIFY(w.lblExhBrakeSwPressed->isEnabled());
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    void eachExchangeWaitsFiftyMillisecondsBeforeItsRead_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("journal");
        QTest::newRow("Request") << "Request"
                                 << "W80 S50 R";
        QTest::newRow("Auto tick") << "Auto tick"
                                   << "W80 S50 R";
        QTest::newRow("Index tick") << "Index tick"
                                    << "WA0 S50 R";
        QTest::newRow("Board Version") << "Board Version"
                                       << "W72 S50 R";
        QTest::newRow("Test Turbo: no wait, no read") << "Test Turbo"
                                                      << "W92";
    }
    void eachExchangeWaitsFiftyMillisecondsBeforeItsRead()
    {
        QFETCH(QString, command);
        QFETCH(QString, journal);
        Rig rig;
        rig.connect();
        run(*rig.window, command);
        QCOMPARE(rig.journal.summary(), journal);
        const auto &e = rig.journal.entries();
        if (e.size() == 3)
            QCOMPARE(e[2].at - e[0].at, 50);
        if (command != "Board Version")
            QVERIFY(rig.dialogs.shown.isEmpty());
    }

    void trackingPaintsOneCellAcrossMapAndBrakeRow()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        const FlexGrid &map = w.tables.map(), &brake = w.tables.brake();
        w.chkIndex->setChecked(true);
        struct Step {
            Payload reply;
            QStringList map, brake;
        };
        const Step steps[] = {
            {{3, 5, 0}, {"r6c4"}, {}},
            {{3, 5, 1}, {}, {"r0c4"}}, // the map's cell is whitened as the brake row
                                       // lights
            {{4, 9, 1}, {}, {"r0c5"}},
            {{7, 2, 0}, {"r3c8"}, {}},
            {{7, 2, 0}, {"r3c8"}, {}},
            {{15, 15, 0}, {"r16c16"}, {}},
            {{0, 0, 0}, {"r1c1"}, {}},
        };
        for (const auto &step : steps) {
            track(rig, step.reply);
            QCOMPARE(yellowCells(map), step.map);
            QCOMPARE(yellowCells(brake), step.brake);
        }
        QCOMPARE(QPoint(map.Col(), map.Row()), QPoint(1, 1));
        QCOMPARE(brake.Col(), 5);
    }

    void headingRebuildLeavesAStaleYellowUntilUntick()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        const FlexGrid &map = w.tables.map(), &brake = w.tables.brake();
        w.chkIndex->setChecked(true);
        track(rig, {3, 5, 0});
        w.UpdateAxisHeadings(); // leaves the map's current cell in the heading column
        track(rig, {1, 1, 0});
        QCOMPARE(yellowCells(map), (QStringList{"r2c2", "r6c4"}));
        track(rig, {1, 1, 0});
        QCOMPARE(yellowCells(map), (QStringList{"r2c2", "r6c4"}));
        track(rig, {6, 0, 1});
        QCOMPARE(yellowCells(map), QStringList{"r6c4"});
        QCOMPARE(yellowCells(brake), QStringList{"r0c7"});
        w.chkIndex->setChecked(false);
        QVERIFY(!w.tmrIndex.isActive());
        QVERIFY(yellowCells(map).isEmpty() && yellowCells(brake).isEmpty());
        QCOMPARE(QPoint(map.Col(), map.Row()), QPoint(16, 16));
        QCOMPARE(brake.Col(), 16);
    }

    void indexBeyondTheGridsPaintsNothing_data()
    {
        QTest::addColumn<Payload>("reply");
        QTest::addColumn<QStringList>("map");
        QTest::addColumn<QStringList>("brake");
        QTest::newRow("column 16") << Payload{16, 9, 0} << QStringList{"r6c4"} << QStringList{};
        QTest::newRow("row 16") << Payload{8, 16, 0} << QStringList{"r6c4"} << QStringList{};
        QTest::newRow("both 255") << Payload{255, 255, 0} << QStringList{"r6c4"} << QStringList{};
        QTest::newRow("brake column 16") << Payload{16, 0, 1} << QStringList{"r6c4"} << QStringList{};
        QTest::newRow("brake row ignores the row") << Payload{3, 200, 1} << QStringList{} << QStringList{"r0c4"};
    }
    void indexBeyondTheGridsPaintsNothing()
    {
        QFETCH(Payload, reply);
        QFETCH(QStringList, map);
        QFETCH(QStringList, brake);
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        w.chkIndex->setChecked(true);
        track(rig, {3, 5, 0});
        track(rig, reply);
        QCOMPARE(yellowCells(w.tables.map()), map);
        QCOMPARE(yellowCells(w.tables.brake()), brake);
        QVERIFY(w.chkIndex->isChecked() && rig.dialogs.shown.isEmpty());
    }

    void ticksKeepOffAHeldLink()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        w.chkAutoRequest->setChecked(true);
        w.chkIndex->setChecked(true);
        w.holdLink(true);
        w.tmrAutoRequest_Timer();
        w.tmrIndex_Timer();
        w.mnuDisconnect_Click();
        w.tmrAutoRequest_Timer();
        w.tmrIndex_Timer();
        QVERIFY(rig.journal.entries().isEmpty() && rig.dialogs.shown.isEmpty());
        QVERIFY(w.tmrAutoRequest.isActive() && w.tmrIndex.isActive());
        w.mnuConnect_Click(); // would steal the holder's replies
        QCOMPARE(rig.dialogs.messages(), QStringList{frmVGT_Tuner::busyMessage()});
        QVERIFY(rig.journal.entries().isEmpty());
        rig.dialogs.clear();
        w.holdLink(false);
        w.tmrAutoRequest_Timer();
        QCOMPARE(rig.dialogs.messages(), QStringList{"Board not connected"});
    }

    void quickClicksKeepBoxAndTimerTogether_data()
    {
        QTest::addColumn<bool>("index");
        QTest::newRow("Auto") << false;
        QTest::newRow("Index") << true;
    }
    void quickClicksKeepBoxAndTimerTogether()
    {
        QFETCH(bool, index);
        Rig rig;
        auto &w = *rig.window;
        QCheckBox *box = index ? w.chkIndex : w.chkAutoRequest;
        QTimer &timer = index ? w.tmrIndex : w.tmrAutoRequest;
        for (int i = 0; i < 9; ++i) {
            box->click();
            QCOMPARE(timer.isActive(), box->isChecked());
        }
        QVERIFY(timer.isActive());
    }
};

QTEST_MAIN(TestLinkWindow)
#include "test_linkwindow.moc"
