// Send, Receive and Verify handlers.
#include "frmvgt_tuner.h"
#include "transfer.h"

#include <QApplication>

namespace {
// The hourglass over the window while a send runs, and no longer whichever way
// it ends. Receive and Verify block for a few tens of milliseconds only and
// show none.
class Hourglass {
public:
    Hourglass() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~Hourglass() { restore(); }
    Hourglass(const Hourglass &) = delete;
    Hourglass &operator=(const Hourglass &) = delete;
    void restore()
    {
        if (m_shown)
            QApplication::restoreOverrideCursor();
        m_shown = false;
    }

private:
    bool m_shown = true;
};
} // namespace

void frmVGT_Tuner::mnuSend_Click()
{
    if (!boardCheck())
        return;
    stopPeriodicRequests();
    // What the user was typing is part of the calibration to send.
    UndoStep step(*this, QStringLiteral("Send"));
    const CommitOnFirstReach commit(*this);
    // The pause between the two blocks lets the window run. Holding the link
    // over the whole send keeps every other report off it meanwhile: module
    // commands are refused with a message, timer ticks skip.
    Transfer::SendResult result;
    {
        Hourglass hourglass;
        holdLink(true);
        result = Transfer::Send(tables, m_misc, [&hourglass] { hourglass.restore(); });
        holdLink(false);
    }
    if (result.complete())
        step.markClean();
    MsgBox(result.message());
}

void frmVGT_Tuner::mnuReceive_Click()
{
    if (!boardCheck())
        return;
    stopPeriodicRequests();
    // An edit still open would land on the received value when its cell is
    // left; one whose grid a silent module leaves unreached stays open.
    UndoStep step(*this, QStringLiteral("Receive"));
    const CommitOnFirstReach commit(*this);
    const Transfer::ReceiveResult result = Transfer::Receive(tables, m_misc);
    if (result.scalingReceived())
        UpdateAxisHeadings();
    if (result.outcome == Transfer::ReceiveResult::Complete)
        step.markClean();
    if (!result.message().isEmpty())
        MsgBox(result.message());
}

void frmVGT_Tuner::mnuVerify_Click()
{
    if (!boardCheck())
        return;
    stopPeriodicRequests();
    const UndoStep step(*this, QStringLiteral("Verify"));
    const CommitOnFirstReach commit(*this);
    MsgBox(Transfer::Verify(tables, m_misc) ? QStringLiteral("Verified OK") : QStringLiteral("Verified FAILED"));
}
