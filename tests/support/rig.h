#pragma once
// A main window on virtual time and the virtual module, with scripted dialogs.
#include "frmvgt_tuner.h"
#include "misc.h"
#include "nonblockingusb.h"
#include "scripteddialogs.h"
#include "virtualmodule.h"

#include <QDir>
#include <memory>

struct Rig {
    explicit Rig(VirtualModule::Board b = VirtualModule::Board::KTRM) : board(b)
    {
        module.setJournal(&journal);
        NonBlockingUSB::UseBackend(&module);
        window = std::make_unique<frmVGT_Tuner>(misc, dialogs);
    }
    ~Rig() { NonBlockingUSB::UseBackend(nullptr); } // the window goes first, the module after it
    const VirtualModule::Board board;
    Journal journal;
    VirtualMisc misc{&journal};
    VirtualModule module{misc, board};
    ScriptedDialogs dialogs;
    std::unique_ptr<frmVGT_Tuner> window;

    // Connects as Connections, Connect does, then forgets what that journalled and showed.
    void connect()
    {
        window->mnuConnect_Click();
        journal.clear();
        dialogs.clear();
    }
};

// Whether a descriptor of this process is open on the file, as the system lists them.
inline bool fileIsOpen(const QString &path)
{
    for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::AllEntries | QDir::System))
        if (fd.symLinkTarget() == QFileInfo(path).canonicalFilePath())
            return true;
    return false;
}
