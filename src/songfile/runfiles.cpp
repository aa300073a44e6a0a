#include "runfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <mutex>

namespace cantavo::runfiles {

namespace {

std::mutex& guard() {
    static std::mutex m;
    return m;
}

QString runName(qint64 pid) { return QStringLiteral("run-%1").arg(pid); }

// The run folders this copy made, each with the lock that says it is alive. The system's
// temporary folder may change while the program runs (tests do it), so there may be more
// than one.
struct OwnFolders {
    struct Held {
        QString folder;
        std::unique_ptr<QLockFile> lock;
    };
    std::vector<Held> held;
    ~OwnFolders() {
        for (Held& h : held) {
            QDir().rmdir(h.folder);
            // The whole temporary folder may be gone already (a test's, or a cleaned /tmp):
            // then there is no lock file left to remove, and nothing to say about it.
            if (QFileInfo::exists(h.folder + QStringLiteral(".lock"))) h.lock->unlock();
            else (void)h.lock.release();
        }
    }
};

OwnFolders& ownFolders() {
    static OwnFolders folders;
    return folders;
}

// path -> descriptor holding a shared lock on it.
QHash<QString, int>& marks() {
    static QHash<QString, int> m;
    return m;
}

}  // namespace

QString SharedTemporaryFolder() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = qEnvironmentVariable("LOGNAME");
    if (user.isEmpty()) user = QDir::home().dirName();
    if (user.isEmpty()) user = QStringLiteral("user");
    const QString dir = QDir(QDir::tempPath()).filePath(QStringLiteral("cantavo-") + user);
    QDir().mkpath(dir);
    return dir;
}

QString OwnTemporaryFolder() {
    const QString shared = SharedTemporaryFolder();
    const QString folder = QDir(shared).filePath(runName(QCoreApplication::applicationPid()));
    std::lock_guard<std::mutex> lock(guard());
    OwnFolders& own = ownFolders();
    const bool known = std::any_of(own.held.begin(), own.held.end(), [&](const OwnFolders::Held& h) { return h.folder == folder; });
    if (!known) {
        auto held = std::make_unique<QLockFile>(folder + QStringLiteral(".lock"));
        held->tryLock(0);
        own.held.push_back({folder, std::move(held)});
    }
    QDir().mkpath(folder);
    return folder;
}

QStringList AbandonedTemporaryFolders() {
    const QDir shared(SharedTemporaryFolder());
    const QString mine = runName(QCoreApplication::applicationPid());
    QStringList found;
    for (const QString& name : shared.entryList({QStringLiteral("run-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (name == mine) continue;
        // A live copy holds its lock; the lock of one that died gives way.
        QLockFile owner(shared.filePath(name + QStringLiteral(".lock")));
        if (!owner.tryLock(0)) continue;
        owner.unlock();
        found << shared.filePath(name);
    }
    return found;
}

void RemoveIfEmpty(const QString& folder) {
    if (QDir().rmdir(folder)) QFile::remove(folder + QStringLiteral(".lock"));
}

bool MarkWorkingFile(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    std::lock_guard<std::mutex> lock(guard());
    // Written anew, the path names a new file: the mark moves to it.
    if (const int old = marks().value(path, -1); old >= 0) ::close(old);
    marks().insert(path, fd);
    return true;
}

void ReleaseWorkingFile(const QString& path) {
    std::lock_guard<std::mutex> lock(guard());
    const int fd = marks().value(path, -1);
    marks().remove(path);
    if (fd >= 0) ::close(fd);
}

QStringList MarkedWorkingFiles() {
    std::lock_guard<std::mutex> lock(guard());
    return marks().keys();
}

bool UsedByAnotherCopy(const QString& path) {
    {
        std::lock_guard<std::mutex> lock(guard());
        if (marks().contains(path)) return false;
    }
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    // Nobody else's shared lock stands in the way of an exclusive one: nobody uses it.
    const bool busy = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return busy;
}

}  // namespace cantavo::runfiles
