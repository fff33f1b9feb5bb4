// Connection, live inputs and operating-point tracking handlers.
#include "frmgraph.h"
#include "frmvgt_tuner.h"
#include "linkcommands.h"
#include "liveinputs.h"
#include "nonblockingusb.h"
#include "operatingpoint.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

void frmVGT_Tuner::mnuConnect_Click()
{
    // Opening the device again, draining and receiving in the middle of a
    // transfer or programming run would steal its replies.
    if (linkBusy()) {
        MsgBox(busyMessage());
        return;
    }
    statusReason->clear();
    // The calibration a connect receives is one step, the grids it replaced one Undo away.
    const UndoStep step(*this, QStringLiteral("Connect"));
    const ModuleOpen opened = OpenModule();
    NonBlockingUSB::Connected = !opened.board.isEmpty();
    if (NonBlockingUSB::Connected) {
        setStatus(QStringLiteral("Connected"));
        lblBoard->setText(opened.board);
        if (opened.board == QLatin1String("KTRM")) {
            NonBlockingUSB::Drain();
            mnuReceive_Click();
        }
    } else {
        setStatus(QStringLiteral("Not Connected"));
        statusReason->setText(opened.problem);
    }
}

void frmVGT_Tuner::mnuDisconnect_Click()
{
    // A send pausing between its two blocks must not stop half-way: the module
    // would keep the new map with its old setup. Refused like every other
    // module command while a transfer or programming run holds the link.
    if (linkBusy()) {
        MsgBox(busyMessage());
        return;
    }
    NonBlockingUSB::Connected = false;
    lblBoard->setText(QStringLiteral("No Module"));
    setStatus(QStringLiteral("Not Connected"));
}

void frmVGT_Tuner::mnuRequestVersion_Click()
{
    // The version is the one command the second board serves too.
    if (!boardCheck(false))
        return;
    const BoardVersion version = RequestBoardVersion(m_misc);
    auto hex = [](std::uint8_t b) { return myformat(QString::number(b, 16).toUpper()); };
    MsgBox(QStringLiteral("Board Version ") + hex(version.major) + hex(version.minor));
}

void frmVGT_Tuner::cmdRequestInputs_Click()
{
    if (!boardCheck())
        return;
    const LiveInputs in = RequestInputs(m_misc);
    // A box whose reading did not change is left alone: setting the same
    // text again would repaint it, three times a second while "Auto" is on.
    const QString *texts[3] = {&in.rpm, &in.load, &in.user};
    for (int i = 0; i < 3; ++i)
        if (txtInputs[i]->text() != *texts[i])
            txtInputs[i]->setText(*texts[i]);
    lblAtIdle->setEnabled(in.atIdle);
    lblExhBrakeSwPressed->setEnabled(in.exhaustBrake);
}

// The box is the switch: the timer follows it on every change, by the user or
// by code, so quick clicking cannot leave the two apart.
void frmVGT_Tuner::chkAutoRequest_Click()
{
    if (chkAutoRequest->isChecked())
        tmrAutoRequest.start();
    else
        tmrAutoRequest.stop();
}

void frmVGT_Tuner::tmrAutoRequest_Timer()
{
    if (!tickMayRun(chkAutoRequest, tmrAutoRequest))
        return;
    cmdRequestInputs_Click();
}

void frmVGT_Tuner::cmdClear_Click()
{
    for (QLineEdit *box : txtInputs)
        box->clear();
    lblAtIdle->setEnabled(false);
    lblExhBrakeSwPressed->setEnabled(false);
}

void frmVGT_Tuner::mnuTest_Click()
{
    if (!boardCheck())
        return;
    TestTurbo();
}

void frmVGT_Tuner::chkIndex_Click()
{
    if (chkIndex->isChecked()) {
        tmrIndex.start();
    } else {
        tmrIndex.stop();
        ClearOperatingPoints(tables.map(), tables.brake());
    }
}

void frmVGT_Tuner::tmrIndex_Timer()
{
    if (!chkIndex->isChecked()) {
        tmrIndex.stop();
        return;
    }
    if (!tickMayRun(chkIndex, tmrIndex))
        return;
    const OperatingPoint point = RequestOperatingPoint(m_misc);
    ShowOperatingPoint(tables.map(), tables.brake(), point);
    if (m_graph)
        m_graph->markOperatingPoint(point);
}

bool frmVGT_Tuner::tickMayRun(QCheckBox *box, QTimer &timer)
{
    // A transfer or programming run owns the link: skip this tick quietly.
    if (linkBusy())
        return false;
    const BoardState state = boardState();
    if (state == BoardState::Ready)
        return true;
    // Untick before the message, so the ticks have stopped while it is open.
    box->setChecked(false);
    timer.stop();
    MsgBox(boardMessage(state));
    return false;
}
