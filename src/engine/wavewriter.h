#pragma once

#include <QSaveFile>
#include <QString>

#include <sndfile.h>

namespace cantavo {

// A wave file written beside its target and renamed over it only when every write went
// through and the data is on disk: a full disk or a failed write leaves any earlier file as
// it was, and the reason ("No space left on device") is kept for the message.
class WaveWriter {
public:
    WaveWriter() = default;
    WaveWriter(const WaveWriter&) = delete;
    WaveWriter& operator=(const WaveWriter&) = delete;
    ~WaveWriter();

    // Refuses a target that exists and is not a regular file (a device, a FIFO, a folder).
    bool open(const QString& path, SF_INFO info, QString* error);
    bool writeFloat(const float* frames, sf_count_t count);
    bool writeRaw(const void* bytes, sf_count_t count);
    SNDFILE* handle() const { return sf_; }
    // Completes the file; false with the reason when anything failed on the way.
    bool commit(QString* error);

private:
    bool failed(int savedErrno);
    QSaveFile* file_ = nullptr;
    SNDFILE* sf_ = nullptr;
    QString path_;
    QString problem_;
};

}  // namespace cantavo
