#pragma once

#include <QObject>

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
    void showSequencerTempo();
    bool atEnd() const;

    SongSession& session_;
    SessionView& view_;
};

}  // namespace cantavo
