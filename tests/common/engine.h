#pragma once

#include <QCoreApplication>
#include <QString>

#include <gtest/gtest.h>

#include "testpaths.h"

#include "sequencer.h"
#include "synthhost.h"

namespace cantavo::test {


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
