// Connection, live inputs and operating-point tracking handlers.
#include "frmvgt_tuner.h"
#include "misc.h"
#include "nonblockingusb.h"

#include <QLabel>

void frmVGT_Tuner::mnuConnect_Click()
{
    NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("KTRM"));
    if (NonBlockingUSB::Connected) {
        setStatus(QStringLiteral("Connected"));
        lblBoard->setText(QStringLiteral("KTRM"));
        NonBlockingUSB::Drain();
        mnuReceive_Click();
    } else {
        setStatus(QStringLiteral("Not Connected"));
    }
    if (!NonBlockingUSB::Connected) {
        NonBlockingUSB::Connected = NonBlockingUSB::OpenDevice(QStringLiteral("PNDX"));
        if (NonBlockingUSB::Connected) {
            setStatus(QStringLiteral("Connected"));
            lblBoard->setText(QStringLiteral("PNDX"));
        } else {
            setStatus(QStringLiteral("Not Connected"));
        }
    }
}

void frmVGT_Tuner::mnuDisconnect_Click()
{
    NonBlockingUSB::Connected = false;
    lblBoard->setText(QStringLiteral("No Module"));
    setStatus(QStringLiteral("Not Connected"));
}

void frmVGT_Tuner::mnuRequestVersion_Click()
{
    if (!boardCheck(false))
        return;
    NonBlockingUSB::SetCommand(0x72);
    NonBlockingUSB::WriteReport();
    m_misc.Sleep(50);
    NonBlockingUSB::ReadReport();
    auto hex = [](std::uint8_t b) { return myformat(QString::number(b, 16).toUpper()); };
    MsgBox(QStringLiteral("Board Version ") + hex(NonBlockingUSB::InBuffer[0]) + hex(NonBlockingUSB::InBuffer[1]));
}

void frmVGT_Tuner::cmdRequestInputs_Click() {}
void frmVGT_Tuner::chkAutoRequest_Click() {}
void frmVGT_Tuner::tmrAutoRequest_Timer() {}
void frmVGT_Tuner::cmdClear_Click() {}
void frmVGT_Tuner::mnuTest_Click() {}
void frmVGT_Tuner::chkIndex_Click() {}
void frmVGT_Tuner::tmrIndex_Timer() {}
