// The multimedia control as a widget, over the offline synthesizer.
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QSignalSpy>
#include <QFileInfo>
#include <QTest>

#include "engine.h"
#include "mediacontrol.h"

using namespace cantavo;
using namespace cantavo::test;

namespace {

class Control : public ::testing::Test {
protected:
    void SetUp() override { MediaRegistry::instance().setSynthHost(host.get()); }
    void TearDown() override {
        control.setCommand(QStringLiteral("close"));
        MediaRegistry::instance().closeAll();
        MediaRegistry::instance().setSynthHost(nullptr);
    }
    std::unique_ptr<SynthHost> host = offlineHost();
    MediaControl control{MediaControl::DeviceType::Sequencer};
    const QString song = demoSong("oh-susanna");
};

}  // namespace

TEST_F(Control, ButtonsByNameAndByMode) {
    for (const char* name : {"Prev", "Next", "Play", "Pause", "Back", "Step", "Stop", "Record", "Eject"}) {
        auto* b = control.findChild<QToolButton*>(QString::fromLatin1(name));
        ASSERT_TRUE(b) << name;
        EXPECT_FALSE(b->isEnabled()) << name << " enabled with nothing open";
    }
    EXPECT_EQ(control.mode(), 524);
    control.setFileName(song);
    ASSERT_TRUE(control.setCommand(QStringLiteral("Open"))) << control.errorDetail().toStdString();
    EXPECT_EQ(control.mode(), 525);
    EXPECT_TRUE(control.button(MediaButton::Play)->isEnabled());
    EXPECT_FALSE(control.button(MediaButton::Pause)->isEnabled());
    EXPECT_FALSE(control.button(MediaButton::Record)->isEnabled());
    control.setCommand(QStringLiteral("play"));
    EXPECT_EQ(control.mode(), 526);
    EXPECT_FALSE(control.button(MediaButton::Play)->isEnabled());
    EXPECT_TRUE(control.button(MediaButton::Pause)->isEnabled());
    EXPECT_TRUE(control.button(MediaButton::Stop)->isEnabled());
    control.setCommand(QStringLiteral("pause"));
    EXPECT_EQ(control.mode(), 529);
    EXPECT_TRUE(control.button(MediaButton::Play)->isEnabled());
}

TEST_F(Control, ButtonEventsComeBeforeTheActionAndCanCancelIt) {
    control.setFileName(song);
    control.setCommand(QStringLiteral("open"));
    std::vector<int> modesSeen;
    bool cancelNext = true;
    QObject::connect(&control, &MediaControl::buttonClicked, [&](MediaButton b, bool* cancel) {
        EXPECT_EQ(b, MediaButton::Play);
        modesSeen.push_back(control.mode());
        *cancel = cancelNext;
    });
    QTest::mouseClick(control.button(MediaButton::Play), Qt::LeftButton);
    EXPECT_EQ(control.mode(), 525);
    cancelNext = false;
    QTest::mouseClick(control.button(MediaButton::Play), Qt::LeftButton);
    EXPECT_EQ(control.mode(), 526);
    EXPECT_EQ(modesSeen, (std::vector<int>{525, 525}));
}

TEST_F(Control, StatusEventsAtTheIntervalAndCompletion) {
    control.setFileName(song);
    control.setCommand(QStringLiteral("open"));
    control.setTimeFormat(0);
    EXPECT_NEAR(control.length(), 17964, 1);  // ten bars of 2/4 at 116 bpm, eight at 126
    QSignalSpy status(&control, &MediaControl::statusUpdate);
    QSignalSpy done(&control, &MediaControl::completed);
    control.setUpdateInterval(50);
    QElapsedTimer clock;
    clock.start();
    control.setCommand(QStringLiteral("play"));
    // A busy machine delays timers; it never brings them early.
    ASSERT_TRUE(QTest::qWaitFor([&] { return status.count() >= 3; }, 5000)) << status.count() << " status events";
    EXPECT_GE(clock.elapsed(), 3 * 50 - 10);
    EXPECT_LE(status.count(), clock.elapsed() / 50 + 1);
    control.setUpdateInterval(0);
    const int seen = status.count();
    QTest::qWait(120);
    EXPECT_EQ(status.count(), seen);
    renderSeconds(*host, control.length() / 1000.0 + 0.5);
    ASSERT_EQ(done.count(), 1);
    EXPECT_EQ(done.first().first().toInt(), kNotifySuccessful);
    EXPECT_EQ(control.mode(), 525);
}

TEST_F(Control, CommandStringsSeeTheControlsDevice) {
    control.setFileName(song);
    control.setCommand(QStringLiteral("open"));
    control.setCommand(QStringLiteral("play"));
    renderSeconds(*host, 1.0);
    QString reply;
    ASSERT_EQ(MciSendString(QStringLiteral("status ") + song + QStringLiteral(" position"), &reply), kMciOk);
    EXPECT_NEAR(LeadingNumber(reply), 1000, 3);
    EXPECT_NEAR(control.position(), 1000, 3);
    control.setCommand(QStringLiteral("prev"));
    EXPECT_NEAR(control.position(), 0, 1);
}

TEST_F(Control, FailuresReportTheirError) {
    control.setFileName(QStringLiteral("/no/such/song.kar"));
    EXPECT_FALSE(control.setCommand(QStringLiteral("open")));
    EXPECT_EQ(control.error(), kMciInvalidFileName);
    EXPECT_FALSE(control.setCommand(QStringLiteral("play")));
    EXPECT_EQ(control.error(), kMciDeviceNotOpen);
    control.setFileName(song);
    control.setCommand(QStringLiteral("open"));
    EXPECT_FALSE(control.setCommand(QStringLiteral("record")));
    EXPECT_EQ(control.error(), kMciIllegalAction);
}

TEST(MciErrorBox, TextIconAndTitle) {
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        text = box->text();
        title = box->windowTitle();
        icon = box->icon();
        box->accept();
    });
    ShowMciError(nullptr, 5);
    EXPECT_EQ(text, QStringLiteral("Unknown error ( 5)."));
    EXPECT_EQ(title, QStringLiteral("Applicazione di Controllo MCI"));
    EXPECT_EQ(icon, QMessageBox::Warning);
}

TEST(MidiOut, TheBuiltInSynthesizerComesFirst) {
    const QList<MidiOutDevice> devices = ListMidiOutputs();
    ASSERT_GE(devices.size(), 1);
    EXPECT_TRUE(devices[0].builtIn);
    if (!QFileInfo::exists(QStringLiteral("/dev/snd/seq"))) {
        EXPECT_EQ(devices.size(), 1);
    }
    for (qsizetype i = 1; i < devices.size(); ++i) {
        EXPECT_FALSE(devices[i].builtIn);
        EXPECT_GE(devices[i].alsaClient, 0);
        EXPECT_FALSE(devices[i].name.isEmpty());
    }
}
