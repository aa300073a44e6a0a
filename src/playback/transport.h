#pragma once

#include <QObject>

#include <functional>

namespace cantavo {

class SessionView;
class SongSession;

// What the program adds to the sequencer control's buttons: the 50 ms position poll that
// drives the displays and the lyric highlighting, rewinding, jumping from the progress
// indicator, the tempo buttons and the end of the song.
class Transport : public QObject {
    Q_OBJECT
public:
    Transport(SongSession& session, SessionView& view, QObject* parent = nullptr);

    // The Play button was clicked (before the control plays).
    void PlayClicked();
    // The status event of the sequencer control.
    void Poll();
    // The Prev button: back to the start.
    void Rewind();
    // A click on the progress indicator at fraction `f` of its width.
    void ProgressClicked(double f);
    // Spin1: -1 lowers the tempo by one, +1 raises it.
    void TempoStep(int delta);
    // The live tempo, in percent of the song's own, where the program has one: the arrows
    // then move it (by a bpm as played, so that a replay keeps it), and every tempo shown is
    // the one played. Unset: the arrows set the sequencer's tempo, and tempos show as the
    // song has them.
    std::function<int()> liveTempoPercent;
    std::function<void(int)> setLiveTempoPercent;
    // Shows the tempo the sequencer plays at its position now.
    void showSequencerTempo();
    // Shows the tempo shown last again, as played now (after the live tempo moved); the
    // sequencer's when none was shown since the song opened.
    void refreshTempo();
    // The sequencer control reports that its play command has ended.
    void Completed();
    // A button of the sequencer control has done its action: the displays and the lyrics
    // follow where it left the song.
    void ButtonDone(int button);
    // Sets the lyric, line and tempo positions and every display from where the song is
    // now, and keeps polling while it plays.
    void Follow();

signals:
    // The end of a song that a compilation goes on from (not after a seek, a rewind or an
    // audience sound).
    void songCompleted();

private:
    void showTempo(int bpm);
    bool atEnd() const;

    SongSession& session_;
    SessionView& view_;
    int shownBpm_ = 0;  // the song's own tempo the display shows, 0: none since the song opened
};

}  // namespace cantavo
