#include "calibration.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>

#include <algorithm>

#include "audioinput.h"
#include "delay.h"
#include "sequencer.h"
#include "steadyclock.h"

namespace cantavo {

namespace {

void appendVarLen(QByteArray& b, quint32 v) {
    QByteArray rev;
    rev.append(static_cast<char>(v & 0x7F));
    while (v >>= 7) rev.append(static_cast<char>(0x80 | (v & 0x7F)));
    std::reverse(rev.begin(), rev.end());
    b += rev;
}

void appendBig(QByteArray& b, quint32 v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) b.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// How long to listen on after the last click for it to come back.
constexpr int kTailMs = 700;

}  // namespace

QByteArray Calibration::ClickSong() {
    // 120 bpm at 480 ticks a quarter: a tick is about 1.04 ms. Wood blocks on the drum channel.
    const int gapsMs[] = {300, 410, 530, 370, 610, 450, 520};
    QByteArray track;
    bool first = true;
    for (int gap : gapsMs) {
        appendVarLen(track, static_cast<quint32>(first ? gap : gap - 60) * 480 / 500);
        track.append("\x99\x4C\x7F", 3);
        appendVarLen(track, 60 * 480 / 500);
        track.append("\x89\x4C\x00", 3);
        first = false;
    }
    appendVarLen(track, 480);
    track.append("\xFF\x2F\x00", 3);
    QByteArray song("MThd", 4);
    appendBig(song, 6, 4);
    appendBig(song, 0, 2);
    appendBig(song, 1, 2);
    appendBig(song, 480, 2);
    song.append("MTrk", 4);
    appendBig(song, static_cast<quint32>(track.size()), 4);
    return song + track;
}

Calibration::Calibration(SynthHost& host, QString clickFolder, QObject* parent)
    : QObject(parent), host_(host), clickFolder_(std::move(clickFolder)) {
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, &Calibration::pump);
}

Calibration::~Calibration() {
    cancel();
}

bool Calibration::start(QString* error) {
    cancel();
    const auto fail = [&](const QString& why) {
        cancel();
        if (error) *error = why;
        return false;
    };
    if (host_.offline() || !host_.outputProblem().isEmpty())
        return fail(QStringLiteral("The built-in synthesizer is not playing to the sound server: %1").arg(host_.outputProblem()));
    QDir().mkpath(clickFolder_);
    clickPath_ = QDir(clickFolder_).filePath(QStringLiteral("calibration-clicks.mid"));
    QFile f(clickPath_);
    if (!f.open(QIODevice::WriteOnly) || f.write(ClickSong()) < 0 || !f.flush())
        return fail(QStringLiteral("The clicks could not be written to %1: %2").arg(QDir::toNativeSeparators(clickPath_), f.errorString()));
    f.close();
    QString why;
    clicks_ = std::make_unique<Sequencer>(host_);
    if (!clicks_->open(clickPath_, &why)) return fail(why);
    input_ = OpenPulseInput(QStringLiteral("Cantavo!"), host_.sampleRate(), 20, &why);
    if (!input_) return fail(why);
    heard_.clear();
    voice_.clear();
    voiceStarts_.clear();
    clicksDone_ = false;
    connect(clicks_.get(), &Sequencer::completed, this, [this] {
        clicksDone_ = true;
        doneAtNs_ = SteadyNs();
    });
    host_.startHeardCapture();
    clicks_->play();
    timer_.start();
    return true;
}

void Calibration::cancel() {
    timer_.stop();
    if (clicks_) {
        host_.stopHeardCapture();
        clicks_->stop();
        clicks_->close();
        clicks_.reset();
    }
    input_.reset();
    if (!clickPath_.isEmpty()) QFile::remove(clickPath_);
    clickPath_.clear();
}

void Calibration::pump() {
    host_.takeHeard(heard_);
    qint64 lastNs = 0;
    const size_t before = voice_.size() / 2;
    const int n = input_->read(voice_, &lastNs);
    if (n < 0) {
        CalibrationResult r;
        r.error = QStringLiteral("The sound input failed: %1").arg(input_->error());
        cancel();
        emit finished(r);
        return;
    }
    if (n > 0) {
        inputLatencyMs_ = input_->latencyMs();
        const qint64 last = static_cast<qint64>(before) + n - 1;
        voiceStarts_.push_back(lastNs - static_cast<qint64>(static_cast<double>(last) * 1e9 / host_.sampleRate()));
    }
    if (clicksDone_ && SteadyNs() - doneAtNs_ > static_cast<qint64>(kTailMs) * 1000000) finish();
}

void Calibration::finish() {
    const CalibrationResult r = measure();
    cancel();
    emit finished(r);
}

CalibrationResult Calibration::measure() const {
    CalibrationResult r;
    const int rate = host_.sampleRate();
    r.reportedMs = host_.latencyFrames() * 1000.0 / rate + inputLatencyMs_;
    if (heard_.empty() || voiceStarts_.empty()) {
        r.error = QStringLiteral("Nothing was heard from the sound input.");
        return r;
    }
    // The clicks as sent, on a timeline of their own starting where the first chunk is heard.
    const qint64 firstFrame = heard_.front().firstFrame;
    std::vector<float> sent;
    for (const SynthHost::HeardChunk& c : heard_) {
        const size_t at = static_cast<size_t>(c.firstFrame - firstFrame);
        if (sent.size() < at + SynthHost::kHeardChunkFrames) sent.resize(at + SynthHost::kHeardChunkFrames, 0.0f);
        for (int i = 0; i < SynthHost::kHeardChunkFrames; ++i) sent[at + static_cast<size_t>(i)] = 0.5f * (c.samples[2 * i] + c.samples[2 * i + 1]);
    }
    // The input's start, from every read (the median rides out a late one).
    std::vector<qint64> starts = voiceStarts_;
    std::nth_element(starts.begin(), starts.begin() + static_cast<long>(starts.size() / 2), starts.end());
    const qint64 voiceStart = starts[starts.size() / 2];
    // When the first frame sent would be heard, from every chunk (the median rides out the
    // reports of a stream that is just starting).
    std::vector<qint64> firsts;
    firsts.reserve(heard_.size());
    for (const SynthHost::HeardChunk& c : heard_)
        firsts.push_back(c.heardNs - static_cast<qint64>(static_cast<double>(c.firstFrame - firstFrame) * 1e9 / rate));
    std::nth_element(firsts.begin(), firsts.begin() + static_cast<long>(firsts.size() / 2), firsts.end());
    const qint64 sentStart = firsts[firsts.size() / 2];
    // The clicks moved onto the input's timeline, where they should be if the reports are right.
    const qint64 shift = static_cast<qint64>(static_cast<double>(sentStart - voiceStart) * rate / 1e9);
    const size_t frames = voice_.size() / 2;
    std::vector<float> expected(frames, 0.0f), voice(frames);
    for (size_t i = 0; i < frames; ++i) {
        voice[i] = 0.5f * (voice_[2 * i] + voice_[2 * i + 1]);
        const qint64 k = static_cast<qint64>(i) - shift;
        if (k >= 0 && k < static_cast<qint64>(sent.size())) expected[i] = sent[static_cast<size_t>(k)];
    }
    const double extra = DelayMs(expected, voice, rate, 400, &r.peak);
    if (r.peak < 0.3) {
        r.error = QStringLiteral("The clicks were not heard clearly in the sound input. Turn the speakers up, or hold the microphone near them, and try again.");
        return r;
    }
    r.roundTripMs = r.reportedMs + extra;
    r.ok = true;
    return r;
}

CalibrationResult RunCalibration(SynthHost& host, const QString& clickFolder) {
    Calibration c(host, clickFolder);
    CalibrationResult result;
    QString error;
    if (!c.start(&error)) {
        result.error = error;
        return result;
    }
    QEventLoop loop;
    QObject::connect(&c, &Calibration::finished, &loop, [&](const CalibrationResult& r) {
        result = r;
        loop.quit();
    });
    loop.exec();
    return result;
}

}  // namespace cantavo
