// The wave control over a real wave device, through the private sound server.
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "mediacontrol.h"
#include "soundtests.h"

using namespace cantavo;
using namespace cantavo::test;

TEST(Sound, TheWaveControlRecordsAndSaves) {
    NEED_SOUND();
    QTemporaryDir dir;
    MediaControl wave(MediaControl::DeviceType::WaveAudio);
    wave.setFileName(writeWave(dir.filePath(QStringLiteral("16-0-22.wav")), {16, 1, 22050}, 0));
    ASSERT_TRUE(wave.setCommand(QStringLiteral("open"))) << wave.errorDetail().toStdString();
    EXPECT_TRUE(wave.button(MediaButton::Record)->isEnabled());
    ASSERT_TRUE(wave.setCommand(QStringLiteral("record")));
    EXPECT_EQ(wave.mode(), 527);
    ASSERT_TRUE(QTest::qWaitFor([&] { return wave.length() > 200; }, 10000));
    wave.setCommand(QStringLiteral("stop"));
    EXPECT_GT(wave.length(), 150);
    wave.setFileName(dir.filePath(QStringLiteral("saved.wav")));
    EXPECT_TRUE(wave.setCommand(QStringLiteral("save")));
    EXPECT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("saved.wav"))));
    wave.setCommand(QStringLiteral("close"));
}

