#pragma once

#include <QString>

namespace cantavo {

struct RenderResult {
    bool ok = false;
    QString error;
    double songMs = 0;      // the song, to its last event
    double renderedMs = 0;  // with the reverb tail
    double cpuSeconds = 0;
};

// Renders a song offline through the built-in synthesizer into a 16-bit stereo wave file,
// the reverb and release tail included. Needs no sound device.
RenderResult RenderSongToWave(const QString& songPath, const QString& wavePath, const QString& soundFont = {}, int sampleRate = 44100);

}  // namespace cantavo
