#include "linkcommands.h"
#include "misc.h"
#include "nonblockingusb.h"

bool Exchange(std::uint8_t command, Misc &misc)
{
    NonBlockingUSB::SetCommand(command);
    NonBlockingUSB::WriteReport();
    misc.Sleep(LinkCommand::ReplyWaitMs);
    return NonBlockingUSB::ReadReport();
}

BoardVersion RequestBoardVersion(Misc &misc)
{
    const bool answered = Exchange(LinkCommand::BoardVersion, misc);
    return {NonBlockingUSB::InBuffer[0], NonBlockingUSB::InBuffer[1], answered};
}

QString BoardVersionText(const BoardVersion &version)
{
    auto hex = [](std::uint8_t b) { return QStringLiteral("%1").arg(int(b), 2, 16, QLatin1Char('0')).toUpper(); };
    return QStringLiteral("Board Version ") + hex(version.major) + hex(version.minor);
}

namespace {

UsbHidApi::OpenProblem lastOpenProblem()
{
    const UsbHidApi *api = NonBlockingUSB::Backend();
    return api ? api->LastOpenProblem() : UsbHidApi::OpenProblem::None;
}

} // namespace

ModuleOpen OpenModule()
{
    using P = UsbHidApi::OpenProblem;
    if (NonBlockingUSB::OpenDevice(QStringLiteral("KTRM")))
        return {QStringLiteral("KTRM"), {}};
    const P ktrm = lastOpenProblem();
    if (NonBlockingUSB::OpenDevice(QStringLiteral("PNDX")))
        return {QStringLiteral("PNDX"), {}};
    const P pndx = lastOpenProblem();
    // A module this user may not open outweighs a board name nobody answers to:
    // the KTRM may be there without access while no PNDX is.
    if (ktrm == P::NotPermitted || pndx == P::NotPermitted)
        return {{}, QStringLiteral("Module found but not accessible: install the udev rule (see README)")};
    if (ktrm == P::NoDevice || pndx == P::NoDevice)
        return {{}, QStringLiteral("No module found on USB")};
    return {};
}

QString KtrmNotFoundText() { return QStringLiteral("KTRM not found"); }
