#include "liveinputs.h"
#include "linkcommands.h"
#include "nonblockingusb.h"

LiveInputs DecodeInputs(const std::array<std::uint8_t, 9> &reply)
{
    LiveInputs in;
    in.rpm = QString::number(reply[0] * 256 + reply[1]);
    in.load = QString::number(reply[2]);
    in.user = QString::number(reply[3]);
    in.atIdle = reply[4] == 1;
    in.exhaustBrake = reply[5] == 1;
    return in;
}

LiveInputs RequestInputs(Misc &misc)
{
    Exchange(LinkCommand::RequestInputs, misc);
    return DecodeInputs(NonBlockingUSB::InBuffer);
}

void TestTurbo()
{
    NonBlockingUSB::SetCommand(LinkCommand::TestTurbo);
    NonBlockingUSB::WriteReport();
}
