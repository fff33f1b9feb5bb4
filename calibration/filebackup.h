#pragma once
// A copy of a file kept beside it while the file is written anew in place, so
// that a write that fails half-way never costs the user the file they had.
//
// The copy of NAME is NAME.bak. A file of that name that is already there is
// never overwritten nor removed: it may be the user's own, or the copy an
// earlier failed write left and its message named, and nothing tells the two
// apart. The copy then takes the first free name of NAME.2.bak to NAME.99.bak.
// Only the copy made here is ever removed, and only once the new content has
// reached the disk.
#include <QString>

class QFileDevice;

class FileBackup {
public:
    // Copies the file at `path` beside it. Check made() before touching the file.
    explicit FileBackup(const QString &path);

    bool made() const { return !m_path.isEmpty(); }
    // Where the copy is kept; empty when none could be made.
    QString path() const { return m_path; }
    // Why no copy could be made, in words for the user.
    QString problem() const { return m_problem; }

    // `rewritten` now holds the file's whole new content: once that is on the
    // disk, the copy goes. False, and the copy stays, when it could not be
    // flushed or synced.
    bool release(QFileDevice &rewritten);

    static constexpr int MaxNumber = 99;

private:
    QString m_path;
    QString m_problem;
};
