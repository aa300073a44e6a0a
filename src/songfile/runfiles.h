#pragma once

#include <QString>
#include <QStringList>

namespace cantavo {

// The files a running copy of the program works with, kept apart from those of any other
// copy running at the same time, and from what a copy that crashed left behind.
//
// The temporary folder all copies of a user share is `cantavo-USER` in the system's
// temporary folder, open to that user alone; where another user's folder or a link stands
// under that name, a copy works in a fresh folder beside it instead. Each running copy
// works in a folder of its own inside it, `run-PID`, and holds an advisory lock on
// `run-PID.lock` while it runs: a folder whose lock nobody holds was left by a copy that
// ended without cleaning up.
//
// Working files outside that folder (the modified songs written beside a song) are marked
// with an advisory lock on the file itself for as long as the copy uses them; the kernel
// drops it when the copy ends, however it ends, so a mark is never stale.
namespace runfiles {

QString SharedTemporaryFolder();
// This copy's own folder, made (and locked) on first use; it is removed at exit when empty.
QString OwnTemporaryFolder();
// Folders of copies that are no longer running.
QStringList AbandonedTemporaryFolders();
// Removes the folder of a copy that is no longer running when nothing is left in it.
void RemoveIfEmpty(const QString& folder);

// Marks `path` as used by this copy (again after it was written anew); false when it cannot
// be opened to be marked.
bool MarkWorkingFile(const QString& path);
// This copy no longer uses it.
void ReleaseWorkingFile(const QString& path);
// The files this copy marked.
QStringList MarkedWorkingFiles();
// True when another running program holds a mark on `path`.
bool UsedByAnotherCopy(const QString& path);

}  // namespace runfiles

}  // namespace cantavo
