// The synthesizer's own clock when there is no sound output: songs keep their time, and an
// idle program stops its clock.
#include <QSignalSpy>
#include <QTest>

#include <chrono>
#include <thread>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include "engine.h"
#include "realtime.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

std::unique_ptr<SynthHost> silentHost() {
    SynthHost::Options o;
    o.audioDriver = QStringLiteral("none");
    QString error;
    auto host = SynthHost::create(o, &error);
    EXPECT_TRUE(host) << error.toStdString();
    return host;
}

}  // namespace

TEST(SilentClock, PlaysASongAtRealTimePaceAndSaysWhyItIsSilent) {
    auto host = silentHost();
    ASSERT_TRUE(host);
    EXPECT_FALSE(host->clockRunning()) << "nothing plays yet";
    Sequencer seq(*host);
    QString error;
    ASSERT_TRUE(seq.open(demoSong("twinkle"), &error)) << error.toStdString();
    QSignalSpy changed(host.get(), &SynthHost::outputChanged);
    const auto start = std::chrono::steady_clock::now();
    seq.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return seq.positionMs() > 1500; }, 10000));
    const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    // The position follows the wall clock: never ahead of it, and not standing still (a
    // loaded machine may hold the clock thread back a little).
    EXPECT_LE(seq.positionMs(), wall + 30);
    EXPECT_GT(seq.positionMs(), wall * 0.5);
    EXPECT_EQ(host->audioDriverName(), QStringLiteral("none"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return changed.count() > 0; }, 2000));
    EXPECT_TRUE(host->outputProblem().startsWith(QStringLiteral("No sound output")));
    EXPECT_EQ(changed.count(), 1) << "said once";
}

TEST(SilentClock, StopsWhenNothingPlaysAndStartsAgainOnPlay) {
    auto host = silentHost();
    ASSERT_TRUE(host);
    Sequencer seq(*host);
    QString error;
    ASSERT_TRUE(seq.open(demoSong("twinkle"), &error));
    seq.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return host->clockRunning() && seq.positionMs() > 300; }, 5000));
    seq.pause();
    const double held = seq.positionMs();
    // The last notes fade, then the clock sleeps.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !host->clockRunning(); }, 8000));
    const qint64 frames = host->framesRendered();
    QTest::qWait(200);
    EXPECT_EQ(host->framesRendered(), frames) << "an idle clock renders nothing";
    EXPECT_EQ(seq.positionMs(), held);
    seq.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return seq.positionMs() > held + 200; }, 5000));
    EXPECT_TRUE(host->clockRunning());
}

TEST(SilentClock, ASongPlaysToItsEnd) {
    auto host = silentHost();
    ASSERT_TRUE(host);
    Sequencer seq(*host);
    QString error;
    ASSERT_TRUE(seq.open(demoSong("twinkle"), &error));
    QSignalSpy done(&seq, &Sequencer::completed);
    seq.seekTicks(seq.lengthTicks() - seq.division() * 2);
    seq.play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.count() == 1; }, 10000));
    EXPECT_EQ(seq.mode(), MediaMode::Stopped);
}

TEST(ClockPriority, TheClockThreadRunsInRealTimeWhereThatIsAllowedAndSaysSo) {
    // What the thread says it got is what the kernel gives it.
    QString said;
    int policy = -1;
    std::thread([&] {
        said = MakeCallingThreadRealtime(10);
        policy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
    }).join();
    rlimit rtprio{};
    getrlimit(RLIMIT_RTPRIO, &rtprio);
    const bool allowed = geteuid() == 0 || rtprio.rlim_cur >= 10;
    if (allowed) {
        EXPECT_EQ(said, QStringLiteral("SCHED_RR 10 (direct)"));
        EXPECT_EQ(policy, SCHED_RR);
    } else {
        EXPECT_TRUE(said.startsWith(QLatin1String("SCHED_RR")) == (policy == SCHED_RR)) << said.toStdString();
        if (policy != SCHED_RR) {
            EXPECT_TRUE(said.startsWith(QLatin1String("normal priority: "))) << said.toStdString();
        }
    }
    EXPECT_EQ(sched_getscheduler(0) & ~SCHED_RESET_ON_FORK, SCHED_OTHER) << "only the thread that asked";

    auto host = silentHost();
    ASSERT_TRUE(host);
    Sequencer seq(*host);
    QString error;
    ASSERT_TRUE(seq.open(demoSong("twinkle"), &error)) << error.toStdString();
    seq.play();
    QTest::qWait(300);
    seq.stop();
    EXPECT_EQ(host->clockPriority().startsWith(QLatin1String("SCHED_RR")), allowed) << host->clockPriority().toStdString();
    EXPECT_GT(host->longestChunkNs(), 0) << "chunks were made and timed";
    EXPECT_LT(host->longestChunkNs(), 1000000000LL);
}
