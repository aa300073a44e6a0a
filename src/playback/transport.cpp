#include "transport.h"

#include <algorithm>
#include <cmath>

#include "lyricswindow.h"
#include "mci.h"
#include "mediacontrol.h"
#include "numbers.h"
#include "songsession.h"

namespace cantavo {

namespace {

constexpr int kPollMs = 50;

}  // namespace

Transport::Transport(SongSession& session, SessionView& view, QObject* parent) : QObject(parent), session_(session), view_(view) {
    connect(&session_, &SongSession::songOpened, this, [this] { shownBpm_ = 0; });
}

void Transport::showTempo(int bpm) {
    shownBpm_ = bpm;
    const double live = liveTempoPercent ? liveTempoPercent() / 100.0 : 1.0;
    const int played = live == 1.0 && session_.beatScale == 1.0 ? bpm : static_cast<int>(RoundHalfEven(bpm * live * session_.beatScale));
    view_.setTempoPanel(SignPosition(played) + QStringLiteral(" bpm"));
}

void Transport::refreshTempo() {
    if (shownBpm_ > 0) showTempo(shownBpm_);
    else showSequencerTempo();
}

void Transport::showSequencerTempo() {
    QString reply;
    if (MciSendString(QStringLiteral("status ") + session_.songPath + QStringLiteral(" tempo"), &reply) == kMciOk)
        showTempo(static_cast<int>(std::lround(LeadingNumber(reply))));
}

bool Transport::atEnd() const {
    const MediaControl& control = view_.sequencerControl();
    return control.length() > 0 && control.position() >= control.length();
}

void Transport::PlayClicked() {
    MediaControl& control = view_.sequencerControl();
    // A song played to its end plays again from the start: the displays go back with it.
    if (session_.seekPending != 1 && atEnd()) {
        Rewind();
    }
    if (control.position() == 0) session_.lineIndex = 0;
    // The tempo the sequencer will play, which may be one the user set while stopped.
    showSequencerTempo();
    session_.lastSyllableMs = static_cast<qint32>(control.length());
    if (session_.seekPending == 1) {
        const QString& path = session_.songPath;
        MciSendString(QStringLiteral("set ") + path + QStringLiteral(" time format song pointer"));
        MciSendString(QStringLiteral("seek ") + path + QStringLiteral(" to ") + SignPosition(session_.seekTarget) + QStringLiteral(" wait"));
        MciSendString(QStringLiteral("set ") + path + QStringLiteral(" time format ms"));
        // The syllables, the page, the tempo, the time and the bar of the new position. The
        // bar shows the time reached, which in a song with tempo changes is another
        // fraction than the fraction of its beats clicked.
        Follow();
        // The interrupted play ends here: the engine tells only of songs played to their end,
        // so the jump's own end-of-playback is over. A jump to the very end keeps the flag for
        // the end it brings.
        if (session_.seekTarget < session_.songLengthSixteenths) session_.suppressCompletion = 0;
        session_.seekPending = 0;
        view_.setWaitCursor(false);
    }
    control.setUpdateInterval(kPollMs);
}

void Transport::Poll() {
    MediaControl& control = view_.sequencerControl();
    SongModel& song = session_.song;
    const QString& path = session_.songPath;
    session_.positionMs = static_cast<qint32>(control.position());
    MciSendString(QStringLiteral("set ") + path + QStringLiteral(" time format song pointer wait"));
    QString reply;
    MciSendString(QStringLiteral("status ") + path + QStringLiteral(" position wait"), &reply);
    MciSendString(QStringLiteral("set ") + path + QStringLiteral(" time format ms wait"));
    const double tick = LeadingNumber(reply) * song.division / 4.0;
    if (control.mode() != static_cast<int>(MediaMode::Playing)) {
        // A song that has just played to its end shows it, and ends a running wave recording
        // with it, even when no poll fell between its last note and its end.
        if (session_.songLengthMs > 0 && control.position() >= session_.songLengthMs) {
            view_.waveControl().setCommand(QStringLiteral("stop"));
            Follow();
        }
        control.setUpdateInterval(0);
        return;
    }
    // One tempo step per poll at most; the entries after the last change are 0.
    const int next = session_.tempoIndex + 1;
    if (next <= song.tempoCount && song.tempoTick[next] != 0 && session_.positionMs > song.tempoTick[next]) {
        session_.tempoIndex = next;
        showTempo(song.tempoBpm[next]);
    }
    if (session_.positionMs > session_.lastSyllableMs + 3000 || session_.positionMs >= control.length()) view_.lyricsWindow().setGauge(100);
    view_.lyricsWindow().HighlightStep(tick);
    view_.setCurrentTimePanel(TimeText(session_.positionMs));
    double p = session_.songLengthMs > 0 ? static_cast<float>(session_.positionMs) / static_cast<float>(session_.songLengthMs) * 100.0f : 0;
    if (p >= 100) {
        p = 100;
        // The song's end ends a running wave recording with it.
        view_.waveControl().setCommand(QStringLiteral("stop"));
    }
    view_.setProgress(p);
}

void Transport::Rewind() {
    MediaControl& control = view_.sequencerControl();
    session_.seekTarget = 0;
    session_.lineIndex = 0;
    view_.lyricsWindow().BuildLines();
    MciSendString(QStringLiteral("seek ") + session_.songPath + QStringLiteral(" to 0"));
    view_.lyricsWindow().setGauge(0);
    session_.tempoIndex = 1;
    session_.lyricIndex = 1;
    view_.setCurrentTimePanel(QStringLiteral("00:00"));
    view_.setProgress(0);
    showSequencerTempo();
    control.setUpdateInterval(0);
}

void Transport::ProgressClicked(double f) {
    // Only a jump that happens interrupts a play whose end must not count.
    if (session_.songPath.isEmpty() || !session_.songLoaded()) return;
    session_.suppressCompletion = 1;
    session_.seekPending = 1;
    view_.setWaitCursor(true);
    f = std::clamp(f, 0.0, 1.0);
    MciSendString(QStringLiteral("set ") + session_.songPath + QStringLiteral(" time format song pointer"));
    session_.seekTarget = static_cast<qint32>(RoundHalfEven(session_.songLengthSixteenths * f));
    view_.setProgress(f * 100);
    PlayClicked();
}

void Transport::TempoStep(int delta) {
    QString reply;
    MciSendString(QStringLiteral("status ") + session_.songPath + QStringLiteral(" tempo"), &reply);
    const int status = static_cast<int>(std::lround(LeadingNumber(reply)));
    // The tempo the display follows (the song's tempo map as the poll has passed it).
    const int base = shownBpm_ > 0 ? shownBpm_ : status;
    if (liveTempoPercent && setLiveTempoPercent && base > 0) {
        // One bpm as played, in whole percents of the song's tempo: at least one percent.
        const int percent = liveTempoPercent();
        const double beat = base * session_.beatScale;
        const int shown = static_cast<int>(RoundHalfEven(beat * percent / 100.0));
        int next = static_cast<int>(std::lround(100.0 * (shown + delta) / beat));
        if (next == percent) next += delta > 0 ? 1 : -1;
        setLiveTempoPercent(next);
        showTempo(base);
        return;
    }
    const int next = status + delta;
    MciSendString(QStringLiteral("set ") + session_.songPath + QStringLiteral(" tempo ") + SignPosition(next));
    showTempo(next);
}

void Transport::ButtonDone(int button) {
    switch (static_cast<MediaButton>(button)) {
    case MediaButton::Prev:
        // Rewinding while the song plays goes on playing from the start: so does the poll.
        if (view_.sequencerControl().mode() == static_cast<int>(MediaMode::Playing)) view_.sequencerControl().setUpdateInterval(kPollMs);
        break;
    case MediaButton::Next:
    case MediaButton::Back:
    case MediaButton::Step: Follow(); break;
    default: break;
    }
}

void Transport::Follow() {
    MediaControl& control = view_.sequencerControl();
    const SongModel& song = session_.song;
    if (!session_.songLoaded()) return;
    session_.positionMs = static_cast<qint32>(control.position());
    QString reply;
    MciSendString(QStringLiteral("set ") + session_.songPath + QStringLiteral(" time format song pointer wait"));
    MciSendString(QStringLiteral("status ") + session_.songPath + QStringLiteral(" position wait"), &reply);
    MciSendString(QStringLiteral("set ") + session_.songPath + QStringLiteral(" time format ms wait"));
    const double tick = LeadingNumber(reply) * song.division / 4.0;
    const bool end = atEnd();
    // Every syllable due by now counts as sung, and each line mark among them as a new line.
    session_.lineIndex = 0;
    for (session_.lyricIndex = 1; session_.lyricIndex <= song.lyricCount; ++session_.lyricIndex) {
        if (!end && song.lyricTick[session_.lyricIndex] > tick) break;
        const QString& t = song.lyricText[session_.lyricIndex];
        if (t.startsWith(QLatin1Char('\\')) || t.startsWith(QLatin1Char('/'))) session_.lineIndex += 1;
    }
    session_.tempoIndex = 1;
    while (session_.tempoIndex < song.tempoCount && song.tempoTick[session_.tempoIndex + 1] != 0 &&
           session_.positionMs > song.tempoTick[session_.tempoIndex + 1])
        session_.tempoIndex += 1;
    if (session_.lineIndex == 0) view_.lyricsWindow().BuildLines(false);
    else view_.lyricsWindow().RedrawPage(-1);
    view_.lyricsWindow().setGauge(end ? 100 : 0);
    view_.setCurrentTimePanel(TimeText(end ? session_.songLengthMs : session_.positionMs));
    view_.setProgress(end || session_.songLengthMs <= 0 ? (end ? 100 : 0) : std::min(100.0, 100.0 * session_.positionMs / session_.songLengthMs));
    showSequencerTempo();
    session_.lastSyllableMs = static_cast<qint32>(control.length());
    if (control.mode() == static_cast<int>(MediaMode::Playing)) control.setUpdateInterval(kPollMs);
}

void Transport::Completed() {
    if (session_.suppressCompletion != 1) {
        view_.lyricsWindow().setGauge(100);
        emit songCompleted();
    }
    session_.suppressCompletion = 0;
}

}  // namespace cantavo
