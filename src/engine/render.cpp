#include "render.h"

#include <QCoreApplication>

#include <cmath>
#include <ctime>
#include <vector>

#include "sequencer.h"
#include "synthhost.h"
#include "wavewriter.h"

namespace cantavo {

RenderResult RenderSongToWave(const QString& songPath, const QString& wavePath, const QString& soundFont, int sampleRate) {
    RenderResult r;
    const std::clock_t cpuStart = std::clock();
    SynthHost::Options options;
    options.offline = true;
    options.soundFont = soundFont;
    options.sampleRate = sampleRate;
    std::unique_ptr<SynthHost> host = SynthHost::create(options, &r.error);
    if (!host) return r;
    Sequencer seq(*host);
    if (!seq.open(songPath, &r.error)) return r;

    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    WaveWriter out;
    const auto cannotWrite = [&](const QString& why) {
        r.error = QStringLiteral("Cannot write %1: %2").arg(wavePath, why);
        return r;
    };
    QString why;
    if (!out.open(wavePath, info, &why)) return cannotWrite(why);
    sf_command(out.handle(), SFC_SET_CLIPPING, nullptr, SF_TRUE);

    constexpr int kChunk = 4096;
    std::vector<float> buffer(kChunk * 2);
    qint64 frames = 0;
    seq.play();
    // The song first, then its tail until a quarter second of silence (at most ten seconds).
    const qint64 songLimit = static_cast<qint64>((seq.lengthMs() / 1000.0 + 600) * sampleRate);
    bool writing = true;
    while (writing && !seq.reachedEnd() && frames < songLimit) {
        host->render(kChunk, buffer.data());
        writing = out.writeFloat(buffer.data(), kChunk);
        frames += kChunk;
    }
    r.songMs = frames * 1000.0 / sampleRate;
    qint64 quiet = 0, tail = 0;
    while (writing && quiet < sampleRate / 4 && tail < 10LL * sampleRate) {
        host->render(kChunk, buffer.data());
        float peak = 0;
        for (float v : buffer) peak = std::max(peak, std::fabs(v));
        quiet = peak < 1e-4f ? quiet + kChunk : 0;
        writing = out.writeFloat(buffer.data(), kChunk);
        frames += kChunk;
        tail += kChunk;
    }
    seq.close();
    if (!out.commit(&why)) return cannotWrite(why);
    r.renderedMs = frames * 1000.0 / sampleRate;
    r.cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    r.ok = true;
    return r;
}

}  // namespace cantavo
