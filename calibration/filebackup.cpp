#include "filebackup.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// The data behind an open file reaches the disk, not just the system's cache:
// the copy must outlive a power cut that comes after the original is deleted,
// and the original's new content before its copy is.
bool syncToDisk(QFileDevice &file)
{
    if (!file.flush())
        return false;
#ifdef Q_OS_UNIX
    return ::fsync(file.handle()) == 0;
#else
    return true;
#endif
}

QString candidate(const QString &path, int number)
{
    return number == 1 ? path + QStringLiteral(".bak") : path + QStringLiteral(".%1.bak").arg(number);
}

} // namespace

FileBackup::FileBackup(const QString &path)
{
    QString target;
    for (int number = 1; number <= MaxNumber && target.isEmpty(); ++number)
        if (!QFileInfo::exists(candidate(path, number)))
            target = candidate(path, number);
    if (target.isEmpty()) {
        m_problem = QStringLiteral("every backup name from %1 to %2 is taken")
                        .arg(candidate(path, 1), candidate(path, MaxNumber));
        return;
    }
    // QFile::copy refuses a target that exists rather than replace it.
    QFile source(path);
    if (!source.copy(target)) {
        m_problem = QStringLiteral("%1 could not be written: %2").arg(target, source.errorString());
        return;
    }
    QFile copy(target);
    if (!copy.open(QIODevice::ReadOnly) || !syncToDisk(copy)) {
        m_problem = QStringLiteral("%1 could not be written to the disk").arg(target);
        copy.close();
        QFile::remove(target); // half a copy is no backup
        return;
    }
    m_path = target;
}

bool FileBackup::release(QFileDevice &rewritten)
{
    if (!syncToDisk(rewritten))
        return false;
    // A copy that cannot be removed does no harm; the file itself is complete.
    if (made())
        QFile::remove(m_path);
    m_path.clear();
    return true;
}
