#pragma once

#include <QJsonObject>
#include <QString>

#include <vector>

#include "melody.h"
#include "pitchtracker.h"

namespace cantavo {

enum class Difficulty { Easy, Normal, Hard };

// How far from the note's pitch a sung pitch still counts, in half tones.
double Tolerance(Difficulty d);
QString DifficultyName(Difficulty d);  // "easy", "normal", "hard"
bool ParseDifficulty(const QString& name, Difficulty* d);

// The sung pitch moved by whole octaves to lie nearest `target`: a low voice singing a
// high tune is in tune.
float Folded(float pitch, int target);

struct ScoreResult {
    int total = 0;        // 0..10000
    int notePoints = 0;   // 0..9000
    int linePoints = 0;   // 0..1000
    std::vector<double> noteShares;  // per melody note, 0..1
    std::vector<double> lineShares;  // per melody line, 0..1
    // What was heard, for the verdict (over the notes that ended):
    double voicedShare = 0;   // of the measurements in notes, those with a voice
    double offTuneShare = 0;  // of those, out of tune
    double meanOffset = 0;    // their mean distance from the note, in semitones (+: sharp), octaves folded
    double lagMs = 0;         // how late the voice comes (-: early), when that explains it clearly; else 0
    // From what was heard: no voice at all, a voice mostly out of tune (sharp or flat, by how
    // much), late or early (by how much), or the score's band.
    QString verdict() const;
    QJsonObject toJson(const Melody& melody, Difficulty d) const;
};

// Scores one singing of a melody. Each note earns the share of its length sung within
// the tolerance of its pitch; the notes share 9000 points by their lengths. Each line
// adds its part of 1000 points when it is sung well as a whole: nothing up to half of it
// in tune, all of it from 85 %, in proportion between, so that one wobble more or less
// does not swing the score.
//
// The first and last moments of every note (a fifth of it, at most 50 ms, at each end) are
// not counted: a singer needs that long to arrive on a new pitch and takes breath before
// the next, and the detector's window holds both notes there.
class ScoreKeeper {
public:
    ScoreKeeper(const Melody& melody, Difficulty difficulty);

    // One measurement, at `songMs` of the song's own time.
    void add(double songMs, float pitch);
    void add(double songMs, const PitchFrame& f) { add(songMs, f.pitch); }

    // The score of the notes that end by `ms` (all of them by default).
    ScoreResult result(double ms = HUGE_VAL) const;

    // The share of note `i` sung in tune so far.
    double noteShare(int i) const;
    const Melody& melody() const { return melody_; }
    Difficulty difficulty() const { return difficulty_; }
    // Whether anything was heard in a note yet.
    bool heardAny() const;
    void clear();

    // What was sung so far, judged again: at another difficulty, or against the same notes
    // moved to another key (false, and nothing changed, when `melody` has other notes).
    void setDifficulty(Difficulty d);
    bool retarget(const Melody& melody);

private:
    struct Heard {
        int note;
        float pitch;
    };
    struct Measured {
        double ms;
        float pitch;
    };
    // The shift of the voice against the notes (a multiple of 20 ms within 800 ms) under which
    // most of it is in tune, when it is clearly better than none; else 0.
    double bestLag() const;
    std::vector<Measured> measured_;  // every voiced measurement, where it fell
    static double margin(const MelodyNote& n);
    void count(const Heard& h);
    void recount();
    Melody melody_;
    Difficulty difficulty_;
    double tolerance_;
    std::vector<Heard> sung_;  // every measurement that fell in a note's counted part
    std::vector<int> heard_;   // measurements in each note's counted part
    std::vector<int> inTune_;  // of which in tune
};

// Scores a take (interleaved float frames) that starts with the song, shifted by
// `offsetMs` (positive: the singing in the take comes that much later than the music).
// `speed`: the live tempo the take was sung at (1.2: 20 % faster).
ScoreResult ScoreTake(const Melody& melody, Difficulty difficulty, const float* interleaved, size_t frames, int channels, int rate,
                      double offsetMs = 0, double speed = 1);

}  // namespace cantavo
