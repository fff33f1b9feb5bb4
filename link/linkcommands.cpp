#include "linkcommands.h"
#include "misc.h"
#include "nonblockingusb.h"

void Exchange(std::uint8_t command, Misc &misc)
{
    NonBlockingUSB::SetCommand(command);
    NonBlockingUSB::WriteReport();
    misc.Sleep(LinkCommand::ReplyWaitMs);
    NonBlockingUSB::ReadReport();
}

BoardVersion RequestBoardVersion(Misc &misc)
{
    Exchange(LinkCommand::BoardVersion, misc);
    return {NonBlockingUSB::InBuffer[0], NonBlockingUSB::InBuffer[1]};
}
