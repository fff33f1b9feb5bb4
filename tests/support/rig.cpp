#include "rig.h"

Rig::Rig(VirtualModule::Board b) : board(b)
{
    module.setJournal(&journal);
    NonBlockingUSB::UseBackend(&module);
    window = std::make_unique<frmVGT_Tuner>(misc, dialogs);
}

Rig::~Rig()
{
    window.reset();
    NonBlockingUSB::UseBackend(nullptr);
}

void Rig::connect()
{
    window->mnuConnect_Click();
    journal.clear();
    dialogs.clear();
}
