// Connect, board version, live inputs, Test Turbo and operating-point tracking,
// through the main window on virtual time against the virtual module.
#include "rig.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using Payload = VirtualModule::Payload;
using Board = VirtualModule::Board;
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

void run(frmVGT_Tuner &w, const QString &command)
{
    if (command == "Connect")
        w.mnuConnect_Click();
    else if (command == "Request")
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

// The filled boxes of the inputs panel, its lit switches, then every message shown.
QString shown(const Rig &rig)
{
    const auto &w = *rig.window;
    QStringList out;
    for (const auto *box : w.txtInputs)
        if (!box->text().isEmpty())
            out << box->text();
    for (const auto *lit : {w.lblAtIdle, w.lblExhBrakeSwPressed})
        if (lit->isEnabled())
            out << lit->text();
    return (out + rig.dialogs.messages()).join(", ");
}

// The yellow cells: "r6c4" in the map, "brake c4" in the brake row.
QString yellowCells(frmVGT_Tuner &w)
{
    QStringList cells;
    const FlexGrid &map = w.tables.map(), &brake = w.tables.brake();
    for (int r = 0; r < map.Rows(); ++r)
        for (int c = 0; c < map.Cols(); ++c)
            if (map.cellBackColor(r, c) == GridYellow)
                cells << QStringLiteral("r%1c%2").arg(r).arg(c);
    for (int c = 0; c < brake.Cols(); ++c)
        if (brake.cellBackColor(0, c) == GridYellow)
            cells << QStringLiteral("brake c%1").arg(c);
    return cells.join(' ');
}
} // namespace

class TestLinkWindow : public QObject {
    Q_OBJECT
private slots:
    void connectTriesKtrmThenPndx_data()
    {
        QTest::addColumn<Board>("board");
        QTest::addColumn<bool>("absent");
        QTest::addColumn<bool>("earlierKtrmSession");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("label");
        const struct {
            const char *name;
            Board board;
            bool absent, earlierKtrmSession;
            const char *opened, *status, *label;
        } rows[] = {
            {"KTRM answers", Board::KTRM, false, false, "KTRM", "Connected", "KTRM"},
            {"PNDX answers", Board::PNDX, false, false, "KTRM PNDX", "Connected", "PNDX"},
            {"nothing answers", Board::KTRM, true, false, "KTRM PNDX", "Not Connected", "No Module"},
            {"nothing answers after a KTRM session", Board::KTRM, true, true, "KTRM PNDX", "Not Connected", "KTRM"},
        };
        for (const auto &r : rows)
            QTest::newRow(r.name) << r.board << r.absent << r.earlierKtrmSession << r.opened << r.status << r.label;
    }
    void connectTriesKtrmThenPndx()
    {
        QFETCH(Board, board);
        QFETCH(bool, absent);
        QFETCH(bool, earlierKtrmSession);
        QFETCH(QString, opened);
        QFETCH(QString, status);
        QFETCH(QString, label);
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
        QCOMPARE(recorder.opened.join(' '), opened);
        QCOMPARE(NonBlockingUSB::Connected, !absent);
        QCOMPARE(w.statusPanel->text() + " / " + w.lblBoard->text(), status + " / " + label);
        // Only a KTRM connect drains; the calibration is read after the drain.
        const bool drained = opened == "KTRM";
        QCOMPARE(rig.module.queuedReplies() == 0, drained);
        QVERIFY2(drained ? rig.journal.summary().startsWith("R R-") : rig.journal.summary().isEmpty(),
                 qPrintable(rig.journal.summary()));
        QVERIFY(!absent || rig.dialogs.shown.isEmpty());
    }

    // Every command checks the board before it sends; what it sends when it may.
    void commandsNeedAConnectedKtrm_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("board"); // "none": never connected; "disconnected": after Disconnect
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("sent");
        struct Row {
            const char *command, *board, *message, *sent;
        };
        QList<Row> rows;
        for (const char *command : {"Request", "Test Turbo", "Auto tick", "Index tick", "Board Version"})
            rows.append({command, "none", "Board not connected", ""});
        for (const char *command : {"Request", "Test Turbo", "Auto tick", "Index tick"})
            rows.append({command, "PNDX", "KTRM not found", ""});
        rows += {
            {"Auto tick", "disconnected", "Board not connected", ""},
            // A transfer holds the link: ticks skip quietly, even when disconnected; Connect would steal its replies.
            {"Auto tick", "held", "", ""},
            {"Index tick", "held", "", ""},
            {"Connect", "held", "The module is busy with a transfer. Try again when it has finished.", ""},
            {"Board Version", "PNDX", "Board Version 0221", "W72 S50 R"},
            // Each exchange waits 50 ms between its report and its read; Test Turbo neither waits nor reads.
            {"Request", "KTRM", "", "W80 S50 R"},
            {"Auto tick", "KTRM", "", "W80 S50 R"},
            {"Index tick", "KTRM", "", "WA0 S50 R"},
            {"Board Version", "KTRM", "Board Version 0221", "W72 S50 R"},
            {"Test Turbo", "KTRM", "", "W92"},
        };
        for (const Row &r : rows)
            QTest::addRow("%s, %s", r.command, r.board) << r.command << r.board << r.message << r.sent;
    }
    void commandsNeedAConnectedKtrm()
    {
        QFETCH(QString, command);
        QFETCH(QString, board);
        QFETCH(QString, message);
        QFETCH(QString, sent);
        Rig rig(board == "PNDX" ? Board::PNDX : Board::KTRM);
        auto &w = *rig.window;
        if (board != "none")
            rig.connect();
        if (board == "held")
            w.holdLink(true);
        if (board == "disconnected")
            w.chkAutoRequest->setChecked(true);
        if (board == "disconnected" || board == "held") {
            w.mnuDisconnect_Click();
            QCOMPARE(w.lblBoard->text() + " / " + w.statusPanel->text(), QStringLiteral("No Module / Not Connected"));
            QCOMPARE(w.tmrAutoRequest.isActive(), board == "disconnected"); // Disconnect leaves the timer to find out
        }
        bool runningDuringMessage = false;
        rig.dialogs.onShow = [&](const ShownBox &box) {
            runningDuringMessage = w.tmrAutoRequest.isActive() || w.tmrIndex.isActive();
            QCOMPARE(box.title, QStringLiteral("Marlow VGT Tuner"));
        };
        run(w, command);
        QCOMPARE(rig.dialogs.messages(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(rig.journal.summary(), sent);
        // A tick that fails unticks its box, and so stops itself, before the message.
        QVERIFY(!runningDuringMessage);
        const bool ticking = command.endsWith("tick") && message.isEmpty();
        QCOMPARE(w.chkAutoRequest->isChecked() || w.chkIndex->isChecked(), ticking);
        QCOMPARE(w.tmrAutoRequest.isActive() || w.tmrIndex.isActive(), ticking);
    }

    // A scripted reply to the command; then the same command once more under a fault, or Clear.
    void repliesShowUntilAWholeReportReplacesThem_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<Payload>("reply");
        QTest::addColumn<QString>("then");
        QTest::addColumn<QString>("shown");
        const struct {
            const char *name, *command;
            Payload reply;
            const char *then, *shown;
        } rows[] = {
            {"3000 rpm at idle", "Request", {0x0B, 0xB8, 45, 0, 1, 0}, "", "3000, 45, 0, At Idle"},
            {"highest speed", "Request", {0xFF, 0xFF, 100, 255, 0, 1}, "", "65535, 100, 255, Exh Brake Switch On"},
            {"switches only on for 1", "Request", {0, 0, 0, 7, 2, 255}, "", "0, 0, 7"},
            {"lost reply", "Request", {0x04, 0xD2, 33, 12, 0, 1}, "lost", "1234, 33, 12, Exh Brake Switch On"},
            {"short reply", "Request", {0x04, 0xD2, 33, 12, 0, 1}, "short", "1234, 33, 12, Exh Brake Switch On"},
            {"unplugged", "Request", {0x04, 0xD2, 33, 12, 0, 1}, "unplugged", "1234, 33, 12, Exh Brake Switch On"},
            {"Clear while Auto runs", "Auto tick", {0x04, 0xD2, 33, 12, 1, 1}, "Clear", ""},
            {"version: two upper-case digits each", "Board Version", {0x0A, 0x0B}, "", "Board Version 0A0B"},
            {"version: lost reply", "Board Version", {0xBB, 0x08}, "lost", "Board Version BB08, Board Version BB08"},
        };
        for (const auto &r : rows)
            QTest::newRow(r.name) << r.command << r.reply << r.then << r.shown;
    }
    void repliesShowUntilAWholeReportReplacesThem()
    {
        QFETCH(QString, command);
        QFETCH(Payload, reply);
        QFETCH(QString, then);
        QFETCH(QString, shown);
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        answerNext(rig, reply);
        run(w, command);
        auto &f = rig.module.faults;
        const int next = rig.module.writesReceived() + 1;
        if (then == "Clear")
            w.cmdClear_Click();
        else if (!then.isEmpty()) {
            (then == "lost" ? f.loseReplyToWrite : then == "short" ? f.shortReplyToWrite : f.unplugAtWrite) = next;
            run(w, command);
        }
        QCOMPARE(::shown(rig), shown);
        QCOMPARE(rig.journal.writes().size(), then.isEmpty() || then == "Clear" ? 1 : 2); // Clear sends nothing
        QCOMPARE(w.chkAutoRequest->isChecked() && w.tmrAutoRequest.isActive(), command == "Auto tick");
    }

    void trackingPaintsTheModulesCell()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        w.chkIndex->setChecked(true);
        struct Step {
            Payload reply;
            const char *yellow;
            const char *before = ""; // what the user does before the tick
        };
        const Step steps[] = {
            {{3, 5, 0}, "r6c4"},
            // A breakpoint the grids lack paints nothing, not even the whitening.
            {{16, 9, 0}, "r6c4"},
            {{8, 16, 0}, "r6c4"},
            {{255, 255, 0}, "r6c4"},
            {{16, 0, 1}, "r6c4"},
            {{3, 5, 1}, "brake c4"}, // the map's cell is whitened as the brake row lights
            {{4, 9, 1}, "brake c5"},
            {{3, 200, 1}, "brake c4"}, // the brake row ignores the row
            {{7, 2, 0}, "r3c8"},
            {{7, 2, 0}, "r3c8"},
            {{15, 15, 0}, "r16c16"},
            {{0, 0, 0}, "r1c1"},
            {{3, 5, 0}, "r6c4"},
            // The heading rebuild leaves the map's current cell in the heading
            // column, so the next ticks whiten nothing and the old yellow stays.
            {{1, 1, 0}, "r2c2 r6c4", "headings"},
            {{1, 1, 0}, "r2c2 r6c4"},
            {{6, 0, 1}, "r6c4 brake c7"},
            {{}, "", "untick"},
        };
        int i = 0;
        for (const auto &step : steps) {
            if (step.before == QLatin1String("headings"))
                w.UpdateAxisHeadings();
            if (step.before == QLatin1String("untick"))
                w.chkIndex->setChecked(false);
            answerNext(rig, step.reply);
            w.tmrIndex_Timer();
            const QString at = QStringLiteral("step %1: ").arg(++i);
            QCOMPARE(at + yellowCells(w), at + step.yellow);
        }
        QCOMPARE(QPoint(w.tables.map().Col(), w.tables.map().Row()), QPoint(16, 16));
        QCOMPARE(w.tables.brake().Col(), 16);
        QVERIFY(!w.tmrIndex.isActive() && rig.dialogs.shown.isEmpty());
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
