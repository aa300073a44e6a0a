#pragma once
// What the tests that use real sound share: whether the private sound server is there, and
// wave files of a given format to play and record into.
#include <QString>

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <vector>

#include "wavedevice.h"

namespace cantavo::test {

inline bool soundTests() { return qEnvironmentVariableIntValue("CANTAVO_SOUND_TESTS") == 1; }

#define NEED_SOUND() \
    if (!soundTests()) GTEST_SKIP() << "run through scripts/test: it starts the private sound server"

// A wave file of the given format: empty, or `seconds` of a 440 Hz tone.
inline QString writeWave(const QString& path, WaveFormat f, double seconds) {
    SF_INFO info{};
    info.samplerate = f.rate;
    info.channels = f.channels;
    info.format = SF_FORMAT_WAV | (f.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    SNDFILE* s = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    EXPECT_TRUE(s);
    const auto frames = static_cast<size_t>(seconds * f.rate);
    std::vector<float> data(frames * static_cast<size_t>(f.channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < f.channels; ++c) data[i * static_cast<size_t>(f.channels) + static_cast<size_t>(c)] = 0.5f * std::sin(2 * M_PI * 440 * static_cast<double>(i) / f.rate);
    sf_writef_float(s, data.data(), static_cast<sf_count_t>(frames));
    sf_close(s);
    return path;
}

}  // namespace cantavo::test
