// Connect, board version, live inputs, Test Turbo and operating-point tracking,
// through the main window on virtual time against the virtual module.
#include "rig.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <utility>

namespace {
void run(frmVGT_Tuner &w, const QString &command)
{
    using F = frmVGT_Tuner;
    const QHash<QString, void (F::*)()> handlers{
        {"Connect", &F::mnuConnect_Click},       {"Request", &F::cmdRequestInputs_Click},
        {"Test Turbo", &F::mnuTest_Click},       {"Board Version", &F::mnuRequestVersion_Click},
        {"Auto tick", &F::tmrAutoRequest_Timer}, {"Index tick", &F::tmrIndex_Timer},
        {"Clear", &F::cmdClear_Click},           {"Headings", &F::UpdateAxisHeadings},
        {"Disconnect", &F::mnuDisconnect_Click}};
    if (command.endsWith("tick"))
        (command.startsWith("Auto") ? w.chkAutoRequest : w.chkIndex)->setChecked(true);
    if (command == "Index off")
        w.chkIndex->setChecked(false);
    else
        (w.*handlers.value(command))();
}

// Filled input boxes, lit switches, yellow cells ("r6c4" in the map, "brake c4"), then the messages shown.
QString view(const Rig &rig)
{
    const auto &w = *rig.window;
    QStringList out;
    for (const auto *box : w.txtInputs)
        if (!box->text().isEmpty())
            out << box->text();
    for (const auto *lit : {w.lblAtIdle, w.lblExhBrakeSwPressed})
        if (lit->isEnabled())
            out << lit->text();
    for (const FlexGrid *grid : {&w.tables.map(), &w.tables.brake()})
        for (int r = 0; r < grid->Rows(); ++r)
            for (int c = 0; c < grid->Cols(); ++c)
                if (grid->cellBackColor(r, c) == GridYellow)
                    out << (grid == &w.tables.map() ? QStringLiteral("r%1c%2").arg(r) : "brake c%2").arg(c);
    return (out + rig.dialogs.messages()).join(", ");
}
} // namespace

class TestLinkWindow : public QObject {
    Q_OBJECT
private slots:
    void connectTriesKtrmThenPndx_data()
    {
        QTest::addColumn<QString>("expected"); // status / board label / why not | first reports
        // The row names the board that answers. Only a KTRM connect drains, the report
        // left over first, and then reads the calibration, which drains once more.
        QTest::newRow("KTRM") << "Connected / KTRM /  | R R-*2 W90";
        QTest::newRow("PNDX") << "Connected / PNDX /  | ";
        QTest::newRow("none") << "Not Connected / No Module / No module found on USB | ";
        QTest::newRow("none after a KTRM session") << "Not Connected / KTRM / No module found on USB | ";
        QTest::newRow("KTRM after none") << "Connected / KTRM /  | R R-*2 W90";
        // A KTRM this user may not open outweighs the PNDX that is not there.
        QTest::newRow("KTRM denied")
            << "Not Connected / No Module / Module found but not accessible: install the udev rule (see README) | ";
    }
    void connectTriesKtrmThenPndx()
    {
        QFETCH(QString, expected);
        const QString answers = QTest::currentDataTag();
        Rig rig(answers == "PNDX" ? VirtualModule::Board::PNDX : VirtualModule::Board::KTRM);
        auto &w = *rig.window;
        if (answers.endsWith("session"))
            rig.connect();
        if (answers == "KTRM after none") { // the reason goes with the next connect that finds the module
            rig.module.faults.absent = true;
            rig.connect();
        }
        rig.module.faults.absent = answers.startsWith("none");
        rig.module.faults.denied = answers.endsWith("denied");
        rig.module.queueReply({0x55});
        w.mnuConnect_Click();
        const QString reports = rig.journal.summary().section(' ', 0, 2);
        QCOMPARE(w.statusPanel->text() + " / " + w.lblBoard->text() + " / " + w.statusReason->text() + " | " + reports,
                 expected);
        QCOMPARE(NonBlockingUSB::Connected, w.statusPanel->text() == "Connected");
        QVERIFY(rig.dialogs.shown.isEmpty());
    }

    // Every command checks the board before it sends. The row names the command and the board: "none" never
    // connected, "disconnected" after a connection, "held" by a transfer; then the message shown | what was sent.
    void commandsNeedAConnectedKtrm_data()
    {
        QTest::addColumn<QString>("expected");
        for (const char *command : {"Request", "Test Turbo", "Auto tick", "Index tick", "Board Version"})
            QTest::addRow("%s, none", command) << "Board not connected | ";
        for (const char *command : {"Request", "Test Turbo", "Auto tick", "Index tick"})
            QTest::addRow("%s, PNDX", command) << "KTRM not found | ";
        QTest::newRow("Board Version, PNDX") << "Board Version 0221 | W72 S50 R";
        QTest::newRow("Auto tick, disconnected") << "Board not connected | ";
        // A transfer holds the link: ticks skip quietly; Connect would steal its replies, and Disconnect would
        // stop a send half-way.
        const QString busy = frmVGT_Tuner::busyMessage() + " | ";
        QTest::newRow("Auto tick, held") << " | ";
        QTest::newRow("Index tick, held") << " | ";
        QTest::newRow("Connect, held") << busy;
        QTest::newRow("Disconnect, held") << busy;
    }
    void commandsNeedAConnectedKtrm()
    {
        QFETCH(QString, expected);
        const QString command = QString(QTest::currentDataTag()).section(", ", 0, 0);
        const QString board = QString(QTest::currentDataTag()).section(", ", 1);
        Rig rig(board == "PNDX" ? VirtualModule::Board::PNDX : VirtualModule::Board::KTRM);
        auto &w = *rig.window;
        if (board != "none")
            rig.connect();
        if (board == "held")
            w.holdLink(true);
        if (board == "disconnected") {
            w.chkAutoRequest->setChecked(true);
            w.mnuDisconnect_Click();
            QCOMPARE(w.lblBoard->text() + " / " + w.statusPanel->text(), QStringLiteral("No Module / Not Connected"));
            QVERIFY(w.tmrAutoRequest.isActive()); // Disconnect leaves the timer to find out
        }
        bool runningDuringMessage = false;
        rig.dialogs.onShow = [&](const ShownBox &box) {
            runningDuringMessage = w.tmrAutoRequest.isActive() || w.tmrIndex.isActive();
            QCOMPARE(box.title, QStringLiteral("Marlow VGT Tuner"));
        };
        run(w, command);
        QCOMPARE(rig.dialogs.messages().join("; ") + " | " + rig.journal.summary(), expected);
        if (board == "held") // whatever was refused, the link is as it was
            QCOMPARE(w.lblBoard->text() + " / " + w.statusPanel->text(), QStringLiteral("KTRM / Connected"));
        // A tick that fails unticks its box, and so stops itself, before the message.
        QVERIFY(!runningDuringMessage);
        const bool ticking = command.endsWith("tick") && expected.startsWith(" |");
        QCOMPARE(w.chkAutoRequest->isChecked() || w.chkIndex->isChecked(), ticking);
        QCOMPARE(w.tmrAutoRequest.isActive() || w.tmrIndex.isActive(), ticking);
    }

    // Disconnect chosen while Send pauses between its blocks is refused; the
    // setup block follows the tables block and the module holds one calibration.
    void disconnectDuringSendsPauseIsRefusedAndTheSendFinishes()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        ClearTables(w.tables);
        w.tables.params().setTextMatrix(BoardName, 1, QStringLiteral("AB"));
        bool acted = false;
        rig.misc.duringEvents = [&] {
            if (!std::exchange(acted, true))
                w.menuItem("Connections", "Disconnect")->trigger();
        };
        w.mnuSend_Click();
        QCOMPARE(rig.journal.summary(), QStringLiteral("W91 W00*34 S50 R Wt2000 W78 W00*2 S50 R"));
        QCOMPARE(rig.journal.writes().at(36).payload.toHex(' '), QByteArray("00 00 00 00 41 42 00 00"));
        QCOMPARE(rig.dialogs.messages(), QStringList({frmVGT_Tuner::busyMessage(), "Download Complete"}));
        QCOMPARE(w.lblBoard->text() + " / " + w.statusPanel->text(), QStringLiteral("KTRM / Connected"));
    }

    // One session on a KTRM: each step's command, the module's reply (payload bytes, or lost, short or never
    // coming as the module is unplugged) and what the window then shows | what was sent and read. Each
    // exchange waits 50 ms between its report and its read; Test Turbo neither waits nor reads.
    void windowShowsTheLastReplyReadWhole()
    {
        Rig rig;
        rig.connect();
        auto &f = rig.module.faults;
        const struct {
            const char *command, *reply, *shown;
        } steps[] = {
            {"Test Turbo", "", " | W92"},
            {"Index tick", "03 05 00", "r6c4 | WA0 S50 R"},
            // A breakpoint the grids lack paints nothing, not even the whitening.
            {"Index tick", "10 09 00", "r6c4 | WA0 S50 R"},
            {"Index tick", "08 10 00", "r6c4 | WA0 S50 R"},
            // The map's cell is whitened as the brake row lights; the brake row ignores the row.
            {"Index tick", "03 05 01", "brake c4 | WA0 S50 R"},
            {"Index tick", "04 09 01", "brake c5 | WA0 S50 R"},
            {"Index tick", "03 C8 01", "brake c4 | WA0 S50 R"},
            {"Index tick", "07 02 00", "r3c8 | WA0 S50 R"},
            {"Index tick", "07 02 00", "r3c8 | WA0 S50 R"},
            {"Index tick", "0F 0F 00", "r16c16 | WA0 S50 R"},
            {"Index tick", "00 00 00", "r1c1 | WA0 S50 R"},
            {"Index tick", "03 05 00", "r6c4 | WA0 S50 R"},
            // The heading rebuild leaves the map's current cell in a heading: nothing is whitened.
            {"Headings", "", "r6c4 | "},
            {"Index tick", "01 01 00", "r2c2, r6c4 | WA0 S50 R"},
            {"Index tick", "01 01 00", "r2c2, r6c4 | WA0 S50 R"},
            {"Index tick", "06 00 01", "r6c4, brake c7 | WA0 S50 R"},
            {"Index off", "", " | "},
            {"Board Version", "0A 0B", "Board Version 0A0B | W72 S50 R"},
            {"Board Version", "lost", "Board Version 0A0B | W72 S50 R-"},
            {"Request", "0B B8 2D 00 01 00", "3000, 45, 0, At Idle | W80 S50 R"},
            {"Request", "FF FF 64 FF 00 01", "65535, 100, 255, Exh Brake Switch On | W80 S50 R"},
            {"Request", "00 00 00 07 02 FF", "0, 0, 7 | W80 S50 R"}, // a switch is on for 1 only
            {"Auto tick", "04 D2 21 0C 00 01", "1234, 33, 12, Exh Brake Switch On | W80 S50 R"},
            {"Clear", "", " | "}, // Auto runs on and fills the panel again
            {"Auto tick", "lost", "1234, 33, 12, Exh Brake Switch On | W80 S50 R-"},
            {"Request", "short", "1234, 33, 12, Exh Brake Switch On | W80 S50 R"},
            {"Request", "unplugged", "1234, 33, 12, Exh Brake Switch On | W80 S50 R-"},
        };
        int i = 0;
        for (const auto &step : steps) {
            rig.journal.clear();
            rig.dialogs.clear();
            const QString reply = step.reply;
            (reply == "short"       ? f.shortReplyToWrite
             : reply == "unplugged" ? f.unplugAtWrite
                                    : f.loseReplyToWrite) = rig.module.writesReceived() + 1;
            VirtualModule::Payload payload{};
            const QByteArray bytes = QByteArray::fromHex(reply.toLatin1());
            std::copy(bytes.begin(), bytes.end(), payload.begin());
            if (reply.contains(' '))
                rig.module.queueReply(payload);
            run(*rig.window, step.command);
            const QString at = QStringLiteral("step %1: ").arg(++i);
            QCOMPARE(at + view(rig) + " | " + rig.journal.summary(), at + step.shown);
        }
        const auto &w = *rig.window;
        QCOMPARE(QPoint(w.tables.map().Col(), w.tables.map().Row()), QPoint(16, 16)); // where clearing ended
        QCOMPARE(w.tables.brake().Col(), 16);
        QVERIFY(!w.tmrIndex.isActive() && w.chkAutoRequest->isChecked() && w.tmrAutoRequest.isActive());
    }
};

QTEST_MAIN(TestLinkWindow)
#include "test_linkwindow.moc"
