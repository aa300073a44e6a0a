#pragma once

#include <QCoreApplication>
#include <QString>

#include <gtest/gtest.h>

#include "sequencer.h"
#include "synthhost.h"

namespace cantavo::test {

inline QString demoSong(const char* name) {
    return QStringLiteral(CANTAVO_PROGRAM_DIR "/songs/") + QString::fromUtf8(name) + QStringLiteral(".kar");
}
inline QString fixture(const char* name) {
    return QStringLiteral(CANTAVO_FIXTURE_DIR "/") + QString::fromUtf8(name) + QStringLiteral(".mid");
}

inline std::unique_ptr<SynthHost> offlineHost() {
    SynthHost::Options o;
    o.offline = true;
    QString error;
    auto host = SynthHost::create(o, &error);
    EXPECT_TRUE(host) << error.toStdString();
    return host;
}

// Renders `seconds` of sound offline, in whole 64-frame blocks, and delivers queued signals.
inline void renderSeconds(SynthHost& host, double seconds) {
    const int frames = static_cast<int>(seconds * host.sampleRate() / 64) * 64;
    host.render(frames, nullptr);
    QCoreApplication::processEvents();
}

}  // namespace cantavo::test
