#include "atomicfile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "chartable.h"

namespace cantavo {

namespace {

// What a non-regular file is, for messages.
QString kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return QStringLiteral("it is a folder, not a file");
    if (S_ISFIFO(mode)) return QStringLiteral("it is a FIFO (a pipe), not a file");
    if (S_ISSOCK(mode)) return QStringLiteral("it is a socket, not a file");
    if (S_ISCHR(mode) || S_ISBLK(mode)) return QStringLiteral("it is a device, not a file");
    return QStringLiteral("it is not a regular file");
}

QString errnoText(int error) { return QString::fromLocal8Bit(std::strerror(error != 0 ? error : EIO)); }

}  // namespace

QString MegabytesText(qint64 bytes) {
    const double mb = static_cast<double>(bytes) / (1 << 20);
    return QStringLiteral("%1 MB").arg(mb >= 10 ? QString::number(qRound64(mb)) : QString::number(mb, 'f', 1));
}

QString InputFileProblem(const QString& path, qint64 limit) {
    if (path.isEmpty()) return QStringLiteral("no file name was given");
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return errnoText(errno);
    if (!S_ISREG(st.st_mode)) return kindOf(st.st_mode);
    if (st.st_size > limit)
        return QStringLiteral("it is %1, more than the %2 such a file may have").arg(MegabytesText(st.st_size), MegabytesText(limit));
    return {};
}

bool ReadInputFile(const QString& path, qint64 limit, QByteArray* bytes, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    QString problem = InputFileProblem(path, limit);
    if (!problem.isEmpty()) return fail(problem);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return fail(f.errorString());
    // The file may have been swapped since it was looked at: what is open is checked again,
    // and the reading stops past the limit whatever the file claims.
    struct stat st {};
    if (::fstat(f.handle(), &st) != 0 || !S_ISREG(st.st_mode)) return fail(kindOf(st.st_mode));
    QByteArray data;
    data.reserve(static_cast<qsizetype>(std::min<qint64>(st.st_size, limit)));
    char chunk[65536];
    for (;;) {
        const qint64 got = f.read(chunk, sizeof chunk);
        if (got < 0) return fail(f.errorString());
        if (got == 0) break;
        if (data.size() + got > limit)
            return fail(QStringLiteral("it is more than the %1 such a file may have").arg(MegabytesText(limit)));
        data.append(chunk, static_cast<qsizetype>(got));
    }
    if (bytes) *bytes = std::move(data);
    return true;
}

QString OutputFileProblem(const QString& path) {
    if (path.isEmpty()) return QStringLiteral("no file name was given");
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return {};  // a new file (or a dangling link QSaveFile follows)
    return S_ISREG(st.st_mode) ? QString() : kindOf(st.st_mode);
}

bool WriteFileAtomically(const QString& path, const QByteArray& bytes, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const QString refused = OutputFileProblem(path);
    if (!refused.isEmpty()) return fail(refused);
    // Unbuffered, so that each write's result is the file system's own: a buffered write
    // "succeeds" into memory and a full disk shows only when nobody looks any more.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(file.errorString());
    qint64 done = 0;
    while (done < bytes.size()) {
        const qint64 wrote = file.write(bytes.constData() + done, bytes.size() - done);
        if (wrote <= 0) {
            const QString why = file.errorString();
            file.cancelWriting();
            return fail(why);
        }
        done += wrote;
    }
    if (::fsync(file.handle()) != 0) {
        const int e = errno;
        file.cancelWriting();
        return fail(errnoText(e));
    }
    if (!file.commit()) return fail(file.errorString());
    return true;
}

QString DecodeTextFile(const QByteArray& bytes) {
    // Editors that save "Unicode" write UTF-16 behind a byte order mark; UTF-8 may have one too.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless);
        return QString(utf16(bytes.mid(2)));
    }
    const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    return IsValidUtf8(body, nullptr) ? QString::fromUtf8(body) : DecodeWindows1252(body);
}

}  // namespace cantavo
