#include "runfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <utility>
#include <vector>

namespace cantavo::runfiles {

namespace {

std::mutex& guard() {
    static std::mutex m;
    return m;
}

QString runName(qint64 pid) { return QStringLiteral("run-%1").arg(pid); }

// Whether a lock file is held by a running copy: its holder keeps an exclusive lock on it,
// which the kernel drops when the holder ends, however it ends.
bool heldByAnother(const QString& lockFile) {
    const int fd = ::open(QFile::encodeName(lockFile).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return held;
}

// The run folders this copy made, each with the descriptor of the lock that says it is alive.
// The system's temporary folder may change while the program runs (tests do it), so there may
// be more than one.
struct OwnFolders {
    struct Held {
        QString folder;
        int lock = -1;
    };
    std::vector<Held> held;
    ~OwnFolders() {
        for (const Held& h : held) {
            QDir().rmdir(h.folder);
            // The whole temporary folder may be gone already (a test's, or a cleaned /tmp).
            ::unlink(QFile::encodeName(h.folder + QStringLiteral(".lock")).constData());
            if (h.lock >= 0) ::close(h.lock);
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

// The user's name as the system knows it: the environment may not say (a service, a root
// shell without USER), and may say anything.
QString userName() {
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_name && *found->pw_name)
        return QFile::decodeName(found->pw_name);
    return QStringLiteral("uid%1").arg(::getuid());
}

// A folder only this user can enter: made so, or found as this user's own real folder (not a
// link), closed to others if an older version left it open.
bool privateFolder(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st{};
    if (::lstat(name.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return false;
    return (st.st_mode & 077) == 0 || ::chmod(name.constData(), 0700) == 0;
}

// The folders used instead of a shared folder that was not ours, by the one wanted; each
// goes at exit when nothing is left in it (made before this copy's own folder inside it, it
// is destroyed after it).
struct StandIns : QHash<QString, QString> {
    ~StandIns() {
        for (const QString& folder : std::as_const(*this)) QDir().rmdir(folder);
    }
};
StandIns& standIns() {
    static StandIns found;
    return found;
}

}  // namespace

QString SharedTemporaryFolder() {
    const QString wanted = QDir(QDir::tempPath()).filePath(QStringLiteral("cantavo-") + userName());
    if (privateFolder(wanted)) return wanted;
    // Someone else's folder, or a link, stands where ours goes: a predictable name in a folder
    // every user writes to must not lead our files into another's hands. This copy works in a
    // fresh folder of its own instead (what it leaves behind is not offered to the next copy).
    std::lock_guard<std::mutex> lock(guard());
    QString& instead = standIns()[wanted];
    if (instead.isEmpty() || !privateFolder(instead)) {
        QByteArray pattern = QFile::encodeName(wanted + QStringLiteral("-XXXXXX"));
        if (::mkdtemp(pattern.data())) {
            instead = QFile::decodeName(pattern);
            qWarning("cantavo: %s is not this user's own folder; working in %s", qUtf8Printable(wanted), qUtf8Printable(instead));
        }
    }
    // No fresh folder could be made (a full disk): one named after this copy, made when the
    // program first writes there, or said to fail then.
    return instead.isEmpty() ? wanted + QStringLiteral("-%1").arg(QCoreApplication::applicationPid()) : instead;
}

QString OwnTemporaryFolder() {
    const QString shared = SharedTemporaryFolder();
    const QString folder = QDir(shared).filePath(runName(QCoreApplication::applicationPid()));
    std::lock_guard<std::mutex> lock(guard());
    OwnFolders& own = ownFolders();
    const bool known = std::any_of(own.held.begin(), own.held.end(), [&](const OwnFolders::Held& h) { return h.folder == folder; });
    if (!known) {
        const int fd = ::open(QFile::encodeName(folder + QStringLiteral(".lock")).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            own.held.push_back({folder, -1});
        } else {
            own.held.push_back({folder, fd});
        }
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
        if (heldByAnother(shared.filePath(name + QStringLiteral(".lock")))) continue;
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
