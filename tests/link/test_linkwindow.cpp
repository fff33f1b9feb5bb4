// Connect, board version, live inputs, Test Turbo and operating-point tracking,
// through the main window on virtual time against the virtual module.
#include "rig.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {
// Runs the steps "PNDX; connect; Index tick: 03 05 00; ...": a command by its caption, with the payload the
// module answers or its fault. Shows what the last step left: the connection unless KTRM is connected, inputs,
// lit switches, yellow cells, checked boxes and running timers, messages | what the last step sent and read.
QString session(const QString &script)
{
    Rig rig(script.startsWith("PNDX") ? VirtualModule::Board::PNDX : VirtualModule::Board::KTRM);
    auto &w = *rig.window;
    auto &f = rig.module.faults;
    QStringList out;
    rig.dialogs.onShow = [&](const ShownBox &box) {
        if (w.tmrAutoRequest.isActive() || w.tmrIndex.isActive() || box.title != "Marlow VGT Tuner")
            out << "ticking or mistitled while a box is open";
    };
    for (const QString &step : script.split("; ")) {
        if (step == "PNDX")
            continue;
        const QString command = step.section(": ", 0, 0), reply = step.section(": ", 1);
        rig.journal.clear();
        rig.dialogs.clear();
        (reply == "short"       ? f.shortReplyToWrite
         : reply == "unplugged" ? f.unplugAtWrite
                                : f.loseReplyToWrite) = reply.isEmpty() ? 0 : rig.module.writesReceived() + 1;
        if (reply.contains(' ')) {
            VirtualModule::Payload payload{};
            const QByteArray bytes = QByteArray::fromHex(reply.toLatin1());
            std::copy(bytes.begin(), bytes.end(), payload.begin());
            rig.module.queueReply(payload);
        }
        QAction *item = nullptr;
        for (const char *menu : {"Connections", "&Help"})
            item = item ? item : w.menuItem(menu, command);
        f.absent = command == "absent" || (f.absent && command != "present");
        f.denied = f.denied || command == "denied";
        if (command == "left over")
            rig.module.queueReply({0x55});
        else if (command == "connect")
            rig.connect();
        else if (command == "hold")
            w.holdLink(true);
        else if (command == "Headings")
            w.UpdateAxisHeadings();
        else if (command.endsWith(" tick"))
            command == "Auto tick" ? w.tmrAutoRequest_Timer() : w.tmrIndex_Timer();
        else if (command.startsWith("Auto") || command.startsWith("Index"))
            (command.startsWith("Auto") ? w.chkAutoRequest : w.chkIndex)->setChecked(command.endsWith(" on"));
        else if (item)
            item->trigger();
        else
            (command == "Request" ? w.cmdRequestInputs : w.cmdClear)->click();
    }
    if (w.statusPanel->text() + w.lblBoard->text() != "ConnectedKTRM")
        out << w.statusPanel->text() + " / " + w.lblBoard->text() + " / " + w.statusReason->text();
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
    for (const auto &[box, timer] :
         {std::pair(w.chkAutoRequest, &w.tmrAutoRequest), std::pair(w.chkIndex, &w.tmrIndex)})
        if (box->isChecked() || timer->isActive())
            out << box->text() + (box->isChecked() ? " checked" : "") + (timer->isActive() ? " running" : "");
    return (out + rig.dialogs.messages()).join(", ") + " | " + rig.journal.summary();
}
} // namespace

class TestLinkWindow : public QObject {
    Q_OBJECT
private slots:
    void windowShowsWhatTheModuleAnswers_data()
    {
        QTest::addColumn<QString>("shown");
        // Connect tries KTRM, then PNDX. Only a KTRM connect drains, the report left over first, and then
        // reads the calibration. A KTRM this user may not open outweighs the PNDX that is not there.
        const QString receive = " | R R-*2 W90 S50 R*35 W77 S50 R S10 R*2";
        QTest::newRow("left over; Connect") << "" + receive;
        QTest::newRow("PNDX; Connect") << "Connected / PNDX /  | ";
        QTest::newRow("absent; Connect") << "Not Connected / No Module / No module found on USB | ";
        QTest::newRow("connect; absent; Connect") << "Not Connected / KTRM / No module found on USB | ";
        QTest::newRow("absent; Connect; present; left over; Connect") << "" + receive;
        QTest::newRow("denied; Connect")
            << "Not Connected / No Module / Module found but not accessible: install the udev rule (see README) | ";
        // Every command checks the board before it sends; a tick that fails unticks its box, and so stops
        // itself, before the message. A transfer holding the link makes ticks skip quietly and refuses Connect,
        // which would steal its replies, and Disconnect, which would stop a send half-way.
        for (const char *command : {"Request", "Test Turbo", "Board Version"})
            QTest::addRow("%s", command) << "Not Connected / No Module / , Board not connected | ";
        for (const char *command : {"Auto on; Auto tick", "Index on; Index tick"})
            QTest::addRow("%s", command) << "Not Connected / No Module / , Board not connected | ";
        for (const char *command : {"Request", "Test Turbo", "Auto on; Auto tick", "Index on; Index tick"})
            QTest::addRow("PNDX; connect; %s", command) << "Connected / PNDX / , KTRM not found | ";
        QTest::newRow("PNDX; connect; Board Version") << "Connected / PNDX / , Board Version 0221 | W72 S50 R";
        QTest::newRow("connect; Auto on; Disconnect") << "Not Connected / No Module / , Auto checked running | ";
        QTest::newRow("connect; Auto on; Disconnect; Auto tick")
            << "Not Connected / No Module / , Board not connected | ";
        QTest::newRow("connect; hold; Auto on; Auto tick") << "Auto checked running | ";
        QTest::newRow("connect; hold; Index on; Index tick") << "Index checked running | ";
        QTest::newRow("connect; hold; Connect") << frmVGT_Tuner::busyMessage() + " | ";
        QTest::newRow("connect; hold; Disconnect") << frmVGT_Tuner::busyMessage() + " | ";
        // Test Turbo neither waits nor reads; every other exchange waits 50 ms between its report and its read.
        QTest::newRow("connect; Test Turbo") << " | W92";
        QTest::newRow("connect; Board Version: 0A 0B") << "Board Version 0A0B | W72 S50 R";
        QTest::newRow("connect; Board Version: 0A 0B; Board Version: lost") << "Board Version 0A0B | W72 S50 R-";
        QTest::newRow("connect; Request: 0B B8 2D 00 01 00") << "3000, 45, 0, At Idle | W80 S50 R";
        QTest::newRow("connect; Request: FF FF 64 FF 00 01") << "65535, 100, 255, Exh Brake Switch On | W80 S50 R";
        QTest::newRow("connect; Request: 00 00 00 07 02 FF") << "0, 0, 7 | W80 S50 R"; // a switch is on for 1 only
        const QString inputs = "1234, 33, 12, Exh Brake Switch On";
        QTest::newRow("connect; Request: 04 D2 21 0C 00 01; Clear") << " | ";
        QTest::newRow("connect; Auto on; Auto tick: 04 D2 21 0C 00 01")
            << inputs + ", Auto checked running | W80 S50 R";
        QTest::newRow("connect; Request: 04 D2 21 0C 00 01; Request: lost") << inputs + " | W80 S50 R-";
        QTest::newRow("connect; Request: 04 D2 21 0C 00 01; Request: short") << inputs + " | W80 S50 R";
        QTest::newRow("connect; Request: 04 D2 21 0C 00 01; Request: unplugged") << inputs + " | W80 S50 R-";
        // The operating point: the map cell of load and RPM index, or with the brake on the brake row's;
        // only the last lit cell is yellow. A breakpoint the grids lack paints nothing, not even the
        // whitening. The heading rebuild leaves the map's current cell in a heading: nothing is whitened.
        const QString tick = "connect; Index on; Index tick: ", ticked = ", Index checked running | WA0 S50 R";
        QTest::addRow("%s03 05 00", qPrintable(tick)) << "r6c4" + ticked;
        QTest::addRow("%s03 05 00; Index tick: 10 09 00", qPrintable(tick)) << "r6c4" + ticked;
        QTest::addRow("%s03 05 00; Index tick: 08 10 00", qPrintable(tick)) << "r6c4" + ticked;
        QTest::addRow("%s03 05 00; Index tick: 03 05 01", qPrintable(tick)) << "brake c4" + ticked;
        QTest::addRow("%s03 05 00; Index tick: 04 09 01; Index tick: 03 C8 01", qPrintable(tick))
            << "brake c4" + ticked;
        QTest::addRow("%s04 09 01; Index tick: 03 C8 01", qPrintable(tick)) << "brake c4, brake c5" + ticked;
        QTest::addRow("%s07 02 00; Index tick: 07 02 00", qPrintable(tick)) << "r3c8" + ticked;
        QTest::addRow("%s0F 0F 00", qPrintable(tick)) << "r16c16" + ticked;
        QTest::addRow("%s00 00 00", qPrintable(tick)) << "r1c1" + ticked;
        QTest::addRow("%s03 05 00; Headings; Index tick: 01 01 00", qPrintable(tick)) << "r2c2, r6c4" + ticked;
        QTest::addRow("%s03 05 00; Headings; Index tick: 06 00 01", qPrintable(tick)) << "r6c4, brake c7" + ticked;
        QTest::addRow("%s03 05 00; Index off", qPrintable(tick)) << " | ";
        QTest::newRow("connect; Index tick: 03 05 00") << " | ";
    }
    void windowShowsWhatTheModuleAnswers() { QTEST(session(QTest::currentDataTag()), "shown"); }

    // The timers tick through the event loop: Auto requests the inputs, Index the operating point.
    // Closing the window stops Auto, leaves Index running, and closes the graph.
    void checkedBoxesTickThroughTheEventLoopUntilTheWindowCloses()
    {
        Rig rig;
        rig.connect();
        auto &w = *rig.window;
        QStringList ticks;
        for (auto [box, timer] : {std::pair(w.chkAutoRequest, &w.tmrAutoRequest), std::pair(w.chkIndex, &w.tmrIndex)}) {
            box->setChecked(true);
            timer->setInterval(1);
            QSignalSpy fired(timer, &QTimer::timeout);
            QVERIFY(fired.wait(1000));
            box->setChecked(false);
            ticks << rig.journal.summary();
            rig.journal.clear();
        }
        QCOMPARE(ticks, QStringList({"W80 S50 R", "WA0 S50 R"}));
        w.chkAutoRequest->setChecked(true);
        w.chkIndex->setChecked(true);
        w.mnuGraph_Click();
        w.close(); // and the graph window with it
        QVERIFY(!w.tmrAutoRequest.isActive() && w.tmrIndex.isActive());
        for (const QWidget *window : QApplication::topLevelWidgets())
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
    }
};

QTEST_MAIN(TestLinkWindow)
#include "test_linkwindow.moc"
