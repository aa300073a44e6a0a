#pragma once

#include <QByteArray>
#include <QString>

#include "songmodel.h"

namespace cantavo {

// What the reader tells the user. The windows implement it with message boxes; tests
// record the calls.
class SongReadReporter {
public:
    virtual ~SongReadReporter() = default;
    // A message box with the exclamation icon.
    virtual void showWarning(const QString& text) = 0;
    // The song session's close-song operation, run for a file that is not a MIDI file.
    virtual void closeSong(const QString& path) = 0;
};

enum class LoadStatus {
    Loaded,          // the model holds the song (with or without lyrics)
    NotMidiFile,     // no "MThd" header; the user was told and the song closed
    NotKaraokeFile,  // a single-track or two-track file without lyrics; the user was warned
    ReadFailed,      // a run-time error while reading: the caller reports it and abandons the open
};

struct LoadResult {
    LoadStatus status = LoadStatus::Loaded;
    QString message;  // the run-time error's text for ReadFailed
};

extern const QString kNotMidiFileMessage;
extern const QString kNotKaraokeFileMessage;
extern const QString kNotMidiFileTitle;
extern const QString kNotKaraokeFileTitle;

// What is wrong with a song the reader could not read, in words a singer understands ("not a
// MIDI file", "cut off after 3 KB"); `data` is the file's contents, `r` the reader's answer.
QString SongReadProblem(const QByteArray& data, const LoadResult& r);

// Reads a song into the model (which the caller has emptied). Never throws. `encoding`
// names the encoding of the song's texts (see SongEncoding); empty: chosen from the texts.
LoadResult LoadSongFile(const QString& path, SongModel& model, SongReadReporter* reporter = nullptr, const QString& encoding = {});
// The same on bytes already in memory (`path` is only what the reporter is given).
LoadResult LoadSongData(const QByteArray& data, const QString& path, SongModel& model, SongReadReporter* reporter = nullptr,
                        const QString& encoding = {});

// Learns the title lines of a file that is not being played: only `titleLines` changes.
// Errors are returned, not shown.
LoadResult ScanSongTitles(const QString& path, SongModel& model);
LoadResult ScanSongTitlesData(const QByteArray& data, SongModel& model);

// The key name for a sharps/flats count -7..7 in major or minor; empty outside that range.
QString KeyName(int sharpsFlats, bool minor);

}  // namespace cantavo
