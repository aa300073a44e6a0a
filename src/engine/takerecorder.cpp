#include "takerecorder.h"

#include <QFile>

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cmath>

#include "audioinput.h"

namespace cantavo {

namespace {

// The input's buffering: short, so that the take follows the voice closely.
constexpr int kInputLatencyMs = 20;
// How long the voice waits for the music heard with it before both go into the take: the
// music is rendered ahead of its being heard, so it is there well before this.
constexpr int kMixLagMs = 500;
// The placement of the music moves only for a change larger than this (an underrun of the
// output, a new output stream), not for the jitter of the timings.
constexpr double kPlacementToleranceMs = 3.0;

qint64 median(std::vector<qint64> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

void keepLast(std::vector<qint64>& v, qint64 value, size_t most) {
    v.push_back(value);
    if (v.size() > most) v.erase(v.begin());
}

}  // namespace

TakeRecorder::TakeRecorder(WaveFormat format, SynthHost* music)
    : format_(format), music_(music && !music->offline() ? music : nullptr), rate_(music_ ? music_->sampleRate() : 44100) {}

void TakeRecorder::noteSpoolFailure() {
    // The system's reason ("No space left on device") says more than the library's.
    const int e = errno;
    spoolProblem_ = e != 0 ? QString::fromLocal8Bit(std::strerror(e)) : QString::fromUtf8(sf_strerror(spool_));
}

TakeRecorder::~TakeRecorder() {
    if (music_) music_->stopHeardCapture();
    if (spool_) sf_close(spool_);
    if (resampler_) src_delete(resampler_);
}

bool TakeRecorder::start(const QByteArray& kept, const QString& spoolPath, QString* error) {
    input_ = OpenPulseInput(QStringLiteral("Cantavo!"), rate_, kInputLatencyMs, &error_);
    if (!input_) {
        error_ = QStringLiteral("Error while loading media device driver: %1").arg(error_);
        if (error) *error = error_;
        return false;
    }
    inputDescription_ = input_->description();
    if (format_.rate != rate_) {
        int code = 0;
        resampler_ = src_new(SRC_SINC_FASTEST, 2, &code);
        if (!resampler_) {
            error_ = QString::fromUtf8(src_strerror(code));
            if (error) *error = error_;
            return false;
        }
    }
    if (!spoolPath.isEmpty()) {
        SF_INFO info{};
        info.samplerate = format_.rate;
        info.channels = format_.channels;
        info.format = SF_FORMAT_WAV | (format_.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
        spool_ = sf_open(QFile::encodeName(spoolPath).constData(), SFM_WRITE, &info);
        if (spool_) {
            // The header is rewritten with every write, so the file is whole whenever we stop.
            sf_command(spool_, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
            errno = 0;
            if (!kept.isEmpty() && sf_write_raw(spool_, kept.constData(), kept.size()) != kept.size()) noteSpoolFailure();
        } else {
            spoolProblem_ = QString::fromUtf8(sf_strerror(nullptr));
        }
    }
    if (music_) music_->startHeardCapture();
    return true;
}

qint64 TakeRecorder::captureStartNs() const { return median(startEstimates_); }

void TakeRecorder::placeMusic(const SynthHost::HeardChunk& chunk) {
    // The take frame at which this chunk was heard.
    const double at = static_cast<double>(chunk.heardNs - captureStartNs()) * rate_ / 1e9;
    keepLast(recentOffsets_, std::llround(at) - chunk.firstFrame, 16);
    const qint64 wanted = median(recentOffsets_);
    if (!haveOffset_ || std::abs(wanted - offset_) > kPlacementToleranceMs * rate_ / 1000) {
        offset_ = wanted;
        haveOffset_ = true;
    }
    const qint64 first = chunk.firstFrame + offset_ - base_;
    const qint64 end = first + SynthHost::kHeardChunkFrames;
    if (end <= 0) return;
    if (static_cast<qint64>(mix_.size()) < 2 * end) mix_.resize(static_cast<size_t>(2 * end), 0.0f);
    for (qint64 i = std::max<qint64>(0, first); i < end; ++i) {
        const size_t from = static_cast<size_t>(2 * (i - first));
        mix_[static_cast<size_t>(2 * i)] += chunk.samples[from];
        mix_[static_cast<size_t>(2 * i + 1)] += chunk.samples[from + 1];
    }
}

bool TakeRecorder::pump(QByteArray& take) {
    if (!input_) return false;
    qint64 capturedNs = 0;
    const int n = input_->read(voice_, &capturedNs);
    if (n < 0) {
        error_ = input_->error();
        return false;
    }
    if (n > 0) {
        voiceFrames_ += n;
        keepLast(startEstimates_, capturedNs - static_cast<qint64>(static_cast<double>(voiceFrames_ - 1) * 1e9 / rate_), 64);
    }
    if (music_) {
        chunks_.clear();
        music_->takeHeard(chunks_);
        // The first timings of the input are the least sure: the music waits for a few.
        waiting_.insert(waiting_.end(), chunks_.begin(), chunks_.end());
        if (startEstimates_.size() >= 5) {
            for (const SynthHost::HeardChunk& c : waiting_) placeMusic(c);
            waiting_.clear();
        }
    }
    const qint64 lag = music_ ? static_cast<qint64>(kMixLagMs) * rate_ / 1000 : 0;
    commit(voiceFrames_ - lag, take, false);
    return true;
}

void TakeRecorder::finish(QByteArray& take) {
    if (!input_) return;
    pump(take);
    if (music_) {
        music_->stopHeardCapture();
        for (const SynthHost::HeardChunk& c : waiting_)
            if (!startEstimates_.empty()) placeMusic(c);
        waiting_.clear();
    }
    commit(voiceFrames_, take, true);
    input_.reset();
    if (spool_) {
        sf_close(spool_);
        spool_ = nullptr;
    }
}

void TakeRecorder::commit(qint64 upTo, QByteArray& take, bool last) {
    const qint64 count = upTo - base_;
    if (count <= 0 && !last) return;
    const size_t samples = static_cast<size_t>(std::max<qint64>(0, count) * 2);
    if (mix_.size() < samples) mix_.resize(samples, 0.0f);
    std::vector<float> frames(samples);
    for (size_t i = 0; i < samples; ++i) frames[i] = voice_[i] + kMusicGain * mix_[i];
    if (keepStems_) {
        voiceStem_.insert(voiceStem_.end(), voice_.begin(), voice_.begin() + static_cast<std::ptrdiff_t>(samples));
        musicStem_.insert(musicStem_.end(), mix_.begin(), mix_.begin() + static_cast<std::ptrdiff_t>(samples));
    }
    voice_.erase(voice_.begin(), voice_.begin() + static_cast<std::ptrdiff_t>(samples));
    mix_.erase(mix_.begin(), mix_.begin() + static_cast<std::ptrdiff_t>(samples));
    base_ += static_cast<qint64>(samples / 2);
    appendConverted(frames.data(), static_cast<long>(samples / 2), take, last);
}

void TakeRecorder::appendConverted(const float* frames, long count, QByteArray& take, bool last) {
    const float* in = frames;
    long n = count;
    if (resampler_) {
        const double ratio = static_cast<double>(format_.rate) / rate_;
        converted_.resize(static_cast<size_t>(2 * (std::ceil(count * ratio) + 64)));
        SRC_DATA d{};
        d.data_in = frames;
        d.input_frames = count;
        d.data_out = converted_.data();
        d.output_frames = static_cast<long>(converted_.size() / 2);
        d.src_ratio = ratio;
        d.end_of_input = last ? 1 : 0;
        if (src_process(resampler_, &d) != 0) return;
        in = converted_.data();
        n = d.output_frames_gen;
    }
    bytes_.resize(static_cast<size_t>(n) * static_cast<size_t>(format_.bytesPerFrame()));
    unsigned char* out = bytes_.data();
    for (long i = 0; i < n; ++i) {
        const float l = in[2 * i], r = in[2 * i + 1];
        const float values[2] = {format_.channels == 1 ? (l + r) * 0.5f : l, r};
        for (int c = 0; c < format_.channels; ++c) {
            const float v = std::clamp(values[c], -1.0f, 1.0f);
            if (format_.bits == 8) {
                *out++ = static_cast<unsigned char>(std::lround(v * 127.0f) + 128);
            } else {
                const auto s = static_cast<qint16>(std::lround(v * 32767.0f));
                *out++ = static_cast<unsigned char>(s & 0xff);
                *out++ = static_cast<unsigned char>((s >> 8) & 0xff);
            }
        }
    }
    take.append(reinterpret_cast<const char*>(bytes_.data()), static_cast<qsizetype>(bytes_.size()));
    errno = 0;
    if (spool_ && !bytes_.empty() && spoolProblem_.isEmpty() &&
        sf_write_raw(spool_, bytes_.data(), static_cast<sf_count_t>(bytes_.size())) != static_cast<sf_count_t>(bytes_.size()))
        noteSpoolFailure();
}


}  // namespace cantavo
