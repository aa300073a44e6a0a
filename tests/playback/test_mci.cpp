// The command strings, answered as the media command layer answers them.
#include <QDir>
#include <QTemporaryDir>

#include "engine.h"
#include "mci.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

class Mci : public ::testing::Test {
protected:
    void SetUp() override { MediaRegistry::instance().setSynthHost(host.get()); }
    void TearDown() override {
        MediaRegistry::instance().closeAll();
        MediaRegistry::instance().setSynthHost(nullptr);
    }
    QString ask(const QString& command, int* code = nullptr) {
        QString reply = QStringLiteral("untouched");
        const int c = MciSendString(command, &reply);
        if (code) *code = c;
        return reply;
    }
    std::unique_ptr<SynthHost> host = offlineHost();
    const QString song = demoSong("twinkle");
};

}  // namespace

TEST_F(Mci, OpeningAndTheSongsFacts) {
    int code = -1;
    ask(QStringLiteral("close ") + song, &code);
    EXPECT_EQ(code, kMciDeviceNotOpen);
    ask(QStringLiteral("open ") + song + QStringLiteral(" type sequencer"), &code);
    EXPECT_EQ(code, kMciOk);
    EXPECT_EQ(ask(QStringLiteral("set ") + song + QStringLiteral(" time format song pointer")), QString());
    EXPECT_EQ(ask(QStringLiteral("status ") + song + QStringLiteral(" length")), QStringLiteral("240"));
    EXPECT_EQ(ask(QStringLiteral("status ") + song + QStringLiteral(" division type")), QStringLiteral("PPQN"));
    ask(QStringLiteral("set ") + song + QStringLiteral(" port mapper"), &code);
    EXPECT_EQ(code, kMciOk);
    ask(QStringLiteral("set ") + song + QStringLiteral(" time format ms"));
    EXPECT_EQ(ask(QStringLiteral("status ") + song + QStringLiteral(" length")), QStringLiteral("37371"));
    EXPECT_EQ(ask(QStringLiteral("status ") + song + QStringLiteral(" tempo")), QStringLiteral("100"));
    EXPECT_EQ(ask(QStringLiteral("status ") + song + QStringLiteral(" mode")), QStringLiteral("stopped"));
    // The element is the path, whatever its case.
    EXPECT_EQ(ask(QStringLiteral("status ") + song.toUpper() + QStringLiteral(" length")), QStringLiteral("37371"));
    ask(QStringLiteral("close ") + song, &code);
    EXPECT_EQ(code, kMciOk);
    ask(QStringLiteral("status ") + song + QStringLiteral(" length"), &code);
    EXPECT_EQ(code, kMciDeviceNotOpen);
}

TEST_F(Mci, ThePositionPollAndTheJump) {
    MciSendString(QStringLiteral("open ") + song + QStringLiteral(" type sequencer"));
    MciSendString(QStringLiteral("play ") + song);
    renderSeconds(*host, 3.0);
    MciSendString(QStringLiteral("set ") + song + QStringLiteral(" time format song pointer wait"));
    const double sixteenths = LeadingNumber(ask(QStringLiteral("status ") + song + QStringLiteral(" position wait")));
    EXPECT_NEAR(sixteenths, 3.0 * 800 / 120, 0.05);
    MciSendString(QStringLiteral("set ") + song + QStringLiteral(" time format ms wait"));
    EXPECT_NEAR(LeadingNumber(ask(QStringLiteral("status ") + song + QStringLiteral(" position wait"))), 3000, 3);
    // The jump: "seek ... to" with the number in sign-position form.
    MciSendString(QStringLiteral("set ") + song + QStringLiteral(" time format song pointer"));
    int code = -1;
    ask(QStringLiteral("seek ") + song + QStringLiteral(" to  120 wait"), &code);
    EXPECT_EQ(code, kMciOk);
    renderSeconds(*host, 0.05);
    EXPECT_NEAR(LeadingNumber(ask(QStringLiteral("status ") + song + QStringLiteral(" position"))), 120, 0.5);
    MciSendString(QStringLiteral("seek ") + song + QStringLiteral(" to 0"));
    renderSeconds(*host, 0.01);
    EXPECT_LT(LeadingNumber(ask(QStringLiteral("status ") + song + QStringLiteral(" position"))), 0.2);
}

TEST_F(Mci, TempoCommands) {
    MciSendString(QStringLiteral("open ") + song + QStringLiteral(" type sequencer"));
    MciSendString(QStringLiteral("play ") + song);
    // Two blanks: the number comes in sign-position form.
    MciSendString(QStringLiteral("set ") + song + QStringLiteral(" tempo  121"));
    EXPECT_EQ(ask(QStringLiteral("status ") + song + QStringLiteral(" tempo")), QStringLiteral("121"));
    int code = -1;
    ask(QStringLiteral("set ") + song + QStringLiteral(" tempo  0"), &code);
    EXPECT_EQ(code, kMciOutOfRange);
    EXPECT_EQ(ask(QStringLiteral("status ") + song + QStringLiteral(" tempo")), QStringLiteral("121"));
}

TEST_F(Mci, FailuresLeaveTheReplyAsItWas) {
    int code = 0;
    EXPECT_EQ(ask(QStringLiteral("status /no/such.kar length"), &code), QStringLiteral("untouched"));
    EXPECT_EQ(code, kMciDeviceNotOpen);
    EXPECT_EQ(ask(QStringLiteral("open /no/such.kar type sequencer"), &code), QStringLiteral("untouched"));
    EXPECT_EQ(code, kMciInvalidFileName);
    EXPECT_EQ(ask(QStringLiteral("open ") + fixture("not-midi") + QStringLiteral(" type sequencer"), &code), QStringLiteral("untouched"));
    EXPECT_EQ(code, kMciInvalidFileName);
    MciSendString(QStringLiteral("open ") + song + QStringLiteral(" type sequencer"));
    EXPECT_EQ(ask(QStringLiteral("set ") + song + QStringLiteral(" port 99"), &code), QStringLiteral("untouched"));
    EXPECT_EQ(code, kMciInvalidDeviceId);
    EXPECT_EQ(ask(QStringLiteral("record ") + song, &code), QStringLiteral("untouched"));
    EXPECT_EQ(code, kMciIllegalAction);
    EXPECT_EQ(ask(QStringLiteral("status ") + song + QStringLiteral(" colour"), &code), QStringLiteral("untouched"));
    EXPECT_EQ(code, kMciBadKeyword);
    EXPECT_EQ(ask(QStringLiteral("frobnicate ") + song, &code), QStringLiteral("untouched"));
    EXPECT_EQ(code, kMciUnrecognisedCommand);
    EXPECT_EQ(ask(QStringLiteral("open ") + demoSong("oh-susanna") + QStringLiteral(" type videodisc"), &code), QStringLiteral("untouched"));
    EXPECT_EQ(code, kMciDeviceNotOpen);
}

TEST_F(Mci, TheRegistryIsSharedAndCounted) {
    MediaDevice* first = nullptr;
    MediaDevice* second = nullptr;
    ASSERT_EQ(MediaRegistry::instance().open(song, QStringLiteral("sequencer"), &first), kMciOk);
    ASSERT_EQ(MediaRegistry::instance().open(song.toUpper(), QStringLiteral("sequencer"), &second), kMciOk);
    EXPECT_EQ(first, second);
    MciSendString(QStringLiteral("close ") + song);
    EXPECT_EQ(MediaRegistry::instance().find(song), first);
    MciSendString(QStringLiteral("close ") + song);
    EXPECT_EQ(MediaRegistry::instance().find(song), nullptr);
}

// A misconfigured synthesizer is not a broken song: it opens, plays silently on the
// synthesizer's own clock, and the synthesizer says why nothing is heard.
TEST_F(Mci, NoSoundFontStillOpensTheSong) {
    MediaRegistry::instance().setSynthHost(nullptr);
    const SynthHost::Options saved = MediaRegistry::instance().synthOptions;
    MediaRegistry::instance().synthOptions.soundFont = QStringLiteral("/no/such/soundfont.sf2");
    MediaRegistry::instance().synthOptions.audioDriver = QStringLiteral("none");
    int code = -1;
    ask(QStringLiteral("open ") + song + QStringLiteral(" type sequencer"), &code);
    EXPECT_EQ(code, kMciOk);
    SynthHost* host = MediaRegistry::instance().synthHost(nullptr);
    ASSERT_TRUE(host);
    EXPECT_EQ(host->outputProblem(), NoSoundFontText());
    EXPECT_EQ(MciErrorText(kMciCannotLoadDriver), QStringLiteral("Error while loading media device driver"));
    ask(QStringLiteral("close ") + song);
    MediaRegistry::instance().synthOptions = saved;
}

TEST(MciText, ErrorTextsAndNumbers) {
    EXPECT_EQ(MciErrorText(kMciDeviceNotOpen), QStringLiteral("Device not open or unknown"));
    EXPECT_EQ(MciErrorText(kMciInvalidDeviceId), QStringLiteral("Invalid device identificator"));
    EXPECT_EQ(MciErrorText(kMciInvalidFileName), QStringLiteral("Invalid file name"));
    EXPECT_EQ(MciErrorText(kMciIllegalAction), QStringLiteral("Illegal action for this device"));
    EXPECT_EQ(MciErrorText(5), QStringLiteral("Unknown error ( 5)."));
    EXPECT_EQ(MciErrorText(0), QStringLiteral("Unknown error ( 0)."));
    EXPECT_EQ(MciErrorText(-7), QStringLiteral("Unknown error (-7)."));
    EXPECT_EQ(kMciErrorTitle, QStringLiteral("Applicazione di Controllo MCI"));
    EXPECT_DOUBLE_EQ(LeadingNumber(QStringLiteral("  123.5xyz")), 123.5);
    EXPECT_DOUBLE_EQ(LeadingNumber(QStringLiteral("abc")), 0);
    EXPECT_DOUBLE_EQ(LeadingNumber(QStringLiteral("-4")), -4);
    EXPECT_DOUBLE_EQ(LeadingNumber(QString()), 0);
    EXPECT_DOUBLE_EQ(LeadingNumber(QStringLiteral("7.2.3")), 7.2);
    EXPECT_EQ(MciNumber(240), QStringLiteral("240"));
    EXPECT_EQ(MciNumber(26.6666666), QStringLiteral("26.667"));
    EXPECT_EQ(MciNumber(12.5), QStringLiteral("12.5"));
}
