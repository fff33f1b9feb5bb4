// The Reflash entry to the firmware window.
#include "dialogs.h"
#include "frmbootloader.h"
#include "frmvgt_tuner.h"
#include "reflashaccess.h"

#include <QTime>

namespace {

qint64 timeOfDayMs() { return QTime::currentTime().msecsSinceStartOfDay(); }

// One key generator for the main window's life, kept as its child: the keys
// of a session follow one another, never restart from the clock.
class ReflashKeys final : public QObject {
public:
    explicit ReflashKeys(QObject *owner) : QObject(owner), generator(quint32(timeOfDayMs())) {}
    static ReflashKeys &of(QObject *owner)
    {
        for (QObject *child : owner->children())
            if (auto *keys = dynamic_cast<ReflashKeys *>(child))
                return *keys;
        return *new ReflashKeys(owner);
    }
    ReflashAccess::KeyGenerator generator;
};

} // namespace

void frmVGT_Tuner::mnuReflash_Click()
{
    const qint32 key = ReflashKeys::of(this).generator.draw(timeOfDayMs());
    const QString entry = m_dialogs.InputBox(QStringLiteral("Enter password for key of ") + QString::number(key),
                                             productTitle(), ReflashAccess::DefaultEntry());
    // A wrong, empty or cancelled entry ends the command without a word.
    if (!ReflashAccess::Accepts(key, entry))
        return;
    if (!m_bootloader) {
        m_bootloader = new frmBootloader(m_dialogs, m_misc, this);
        // Closed, it goes; the next Reflash opens it afresh with its defaults.
        m_bootloader->setAttribute(Qt::WA_DeleteOnClose);
        m_bootloader->setLinkControl([this](bool hold) { holdLink(hold); }, [this] { return linkBusy(); },
                                     busyMessage());
    }
    m_bootloader->show();
    m_bootloader->raise();
    m_bootloader->activateWindow();
}
