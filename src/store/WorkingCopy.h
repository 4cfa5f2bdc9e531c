#pragma once

#include <QLockFile>
#include <QString>
#include <QStringList>

#include <memory>

namespace qvr {

// A working copy's hold on its name. The program deletes and overwrites only working
// copies it made itself, and two running programs never share one:
//
// - a working copy carries a mark in its header (SQLite's application_id) that a saved
//   history file never carries, so a file of the user's that merely has a working copy's
//   name is never touched;
// - while a working copy is in use a lock file beside it ("<name>.lock") names the
//   program that holds it; a name held by a live program is not used again.
//
// A working copy whose program has died (a crash) is recognised by its mark or by the
// lock its program left, and is cleaned up by the next program that wants the name.
class WorkingCopy
{
public:
    // The mark of a working copy ("QVRW"); a saved history file has Database::kApplicationId.
    static constexpr int kMark = 0x51565257;

    ~WorkingCopy() = default;
    WorkingCopy(const WorkingCopy &) = delete;
    WorkingCopy &operator=(const WorkingCopy &) = delete;

    // Claims the first usable name of `first`, `first.2`, `first.3`, ...: one where no file
    // lies, or a working copy left by a program that is gone (it is deleted with its
    // companions). A name in `avoid` is skipped, and so is any file without the mark. The
    // name is held until the object is destroyed (the lock file goes then; the copy
    // stays). nullptr when no name can be claimed (the folder cannot be written).
    static std::unique_ptr<WorkingCopy> Claim(const QString &first, const QStringList &avoid = {});

    // Whether the file at `path` carries the working copy's mark.
    static bool IsMarked(const QString &path);

    QString path() const { return m_path; }

private:
    explicit WorkingCopy(const QString &path);

    QString m_path;
    QLockFile m_lock;
};

} // namespace qvr
