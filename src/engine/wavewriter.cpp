#include "wavewriter.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "atomicfile.h"

namespace cantavo {

WaveWriter::~WaveWriter() {
    if (sf_) sf_close(sf_);
    if (file_) {
        file_->cancelWriting();
        delete file_;
    }
}

bool WaveWriter::open(const QString& path, SF_INFO info, QString* error) {
    path_ = path;
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    const QString refused = OutputFileProblem(path);
    if (!refused.isEmpty()) return fail(refused);
    file_ = new QSaveFile(path);
    // Unbuffered: the sound library writes to the descriptor itself, behind any buffer.
    if (!file_->open(QIODevice::WriteOnly | QIODevice::Unbuffered)) return fail(file_->errorString());
    // The sound library gets a descriptor of its own, which it closes whatever happens (on a
    // failed open too): the file's own stays Qt's.
    const int own = ::dup(file_->handle());
    if (own < 0) return fail(QString::fromLocal8Bit(std::strerror(errno)));
    errno = 0;
    sf_ = sf_open_fd(own, SFM_WRITE, &info, SF_TRUE);
    // The header is written at once: a full disk shows here, and the system says it best.
    if (!sf_) return fail(errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : QString::fromUtf8(sf_strerror(nullptr)));
    return true;
}

bool WaveWriter::failed(int savedErrno) {
    if (problem_.isEmpty()) problem_ = QString::fromLocal8Bit(std::strerror(savedErrno != 0 ? savedErrno : EIO));
    return false;
}

bool WaveWriter::writeFloat(const float* frames, sf_count_t count) {
    if (!sf_ || !problem_.isEmpty()) return false;
    errno = 0;
    return sf_writef_float(sf_, frames, count) == count || failed(errno);
}

bool WaveWriter::writeRaw(const void* bytes, sf_count_t count) {
    if (!sf_ || !problem_.isEmpty()) return false;
    errno = 0;
    return sf_write_raw(sf_, bytes, count) == count || failed(errno);
}

bool WaveWriter::commit(QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = why;
        return false;
    };
    if (!sf_ || !file_) return fail(problem_.isEmpty() ? QStringLiteral("the file was not opened") : problem_);
    // Closing writes the header's sizes: its result counts as much as any write's.
    errno = 0;
    const int closed = sf_close(sf_);
    sf_ = nullptr;
    if (closed != 0) failed(errno);
    if (problem_.isEmpty() && ::fsync(file_->handle()) != 0) failed(errno);
    if (!problem_.isEmpty()) {
        file_->cancelWriting();
        return fail(problem_);
    }
    if (!file_->commit()) return fail(file_->errorString());
    delete file_;
    file_ = nullptr;
    return true;
}

}  // namespace cantavo
