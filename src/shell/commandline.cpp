#include "commandline.h"
#include "verbs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

#include "numbers.h"
#include "songlist.h"
#include "preferences.h"
#include "songsession.h"
#include "singing.h"
#include "startup.h"
#include "render.h"
#include "sequencer.h"
#include "synthhost.h"
#include "songfacts.h"
#include "songmemory.h"
#include "songreader.h"

namespace cantavo {

namespace {

// The measures the melody was chosen by, channel by channel, the chosen first.
QJsonArray melodyReasons(const SongModel& song, const SongEvents& events) {
    QJsonArray out;
    const auto rounded = [](double v) { return std::round(v * 1000) / 1000; };
    for (const MelodyMeasure& m : MelodyMeasures(song, events))
        out.append(QJsonObject{{QStringLiteral("channel"), m.channel + 1},
                               {QStringLiteral("track"), m.track + 1},
                               {QStringLiteral("trackName"), m.trackName},
                               {QStringLiteral("syllablesWithANote"), rounded(m.syllables)},
                               {QStringLiteral("notesBetweenSyllables"), rounded(m.between)},
                               {QStringLiteral("meanPitch"), rounded(m.meanPitch)},
                               {QStringLiteral("nameWeight"), rounded(m.nameWeight)},
                               {QStringLiteral("score"), rounded(m.score)}});
    return out;
}

}  // namespace

int PrintSongInfo(const QString& path, bool json, QTextStream& out, QTextStream& err) {
    SongModel song;
    LoadResult result = LoadSongFile(path, song);
    if (json) {
        QJsonObject facts = SongFactsJson(song, result);
        facts[QStringLiteral("trackCount")] = song.trackCount;
        // The modification dialog's track list, as --modify numbers the tracks.
        QJsonArray tracks;
        QByteArray contents;
        if (ReadInputFile(path, kMaxSongBytes, &contents, nullptr)) {
            // The live key, tempo and mix the player remembers for this song, if any.
            const SongMemory memory(ProgramFile(QStringLiteral("song-live.txt")));
            const QString kept = memory.recall(contents);
            const LiveSettings live = kept.isEmpty() ? LiveSettings{} : LiveSettings::fromJson(QJsonDocument::fromJson(kept.toUtf8()).object());
            if (!kept.isEmpty()) facts[QStringLiteral("remembered")] = live.toJson();
            // The melody a singer is scored against.
            SongEvents events;
            if (LoadSongEvents(contents, events, nullptr)) {
                const Melody m = SongMelody(song, events, ChosenMelodyChannel(SongMemory(ProgramFile(sing::kMelodyFile)), contents), live);
                facts[QStringLiteral("melody")] = m.channel < 0 ? QJsonValue()
                                                                : QJsonObject{{QStringLiteral("channel"), m.channel + 1},
                                                                              {QStringLiteral("track"), m.track + 1},
                                                                              {QStringLiteral("instrument"), ChannelInstrument(events, m.channel)},
                                                                              {QStringLiteral("chosen"), m.chosen},
                                                                              {QStringLiteral("notes"), static_cast<int>(m.notes.size())},
                                                                              {QStringLiteral("lines"), static_cast<int>(m.lines.size())},
                                                                              {QStringLiteral("why"), melodyReasons(song, events)}};
            }
            for (const TrackRow& r : TrackRows(ReadSongChunks(contents), SongEncoding::fromName(song.encoding)))
                tracks.append(QJsonObject{{QStringLiteral("name"), r.name},
                                          {QStringLiteral("channel"), r.channel},
                                          {QStringLiteral("mute"), r.mute},
                                          {QStringLiteral("patch"), r.patch},
                                          {QStringLiteral("program"), r.program}});
        }
        facts[QStringLiteral("tracks")] = tracks;
        out << QJsonDocument(facts).toJson(QJsonDocument::Indented);
    } else {
        out << SongFactsText(song, result);
    }
    out.flush();
    if (result.status == LoadStatus::NotMidiFile || result.status == LoadStatus::ReadFailed) {
        err << path << ": " << result.message << "\n";
        err.flush();
        return 2;
    }
    return 0;
}

namespace {

// Writes an output file, or says in one line which file and why not. 0 or 2.
int writeOutput(const QString& path, const QByteArray& bytes, QTextStream& err) {
    QString error;
    if (WriteFileAtomically(path, bytes, &error)) return 0;
    err << path << ": " << error << "\n";
    return 2;
}

// Refuses an output that is not a regular file before any work is done for it.
bool outputRefused(const QString& path, QTextStream& err) {
    const QString problem = OutputFileProblem(path);
    if (problem.isEmpty()) return false;
    err << path << ": " << problem << "\n";
    return true;
}

}  // namespace

int WriteCatalogue(const QStringList& folders, const QString& list, QTextStream& err) {
    for (const QString& folder : folders) {
        if (!QFileInfo(folder).isDir()) {
            err << folder << ": not a folder\n";
            return 2;
        }
    }
    if (outputRefused(list, err)) return 2;
    QStringList leftOut;
    const QList<SongRow> rows = CatalogueFolders(folders, &leftOut);
    const QByteArray bytes = ListFileBytes(rows, &leftOut);
    for (const QString& line : leftOut) err << line << "\n";
    if (bytes.isEmpty()) {
        err << "No songs found: " << list << " was not written\n";
        return 2;
    }
    return writeOutput(list, bytes, err);
}

int WriteReport(const QString& list, const QString& report, QTextStream& err) {
    if (outputRefused(report, err)) return 2;
    QStringList problems;
    const QList<SongRow> rows = ReadListFile(list, &problems);
    for (const QString& line : problems) err << line << "\n";
    if (rows.isEmpty()) {
        if (problems.isEmpty()) err << list << ": List is Empty (no line of it holds a song)\n";
        return 2;
    }
    return writeOutput(report, ReportBytes(rows, QDateTime::currentDateTime()), err);
}

int RenderSong(const QString& song, const QString& wave, const QString& soundFont, QTextStream& out, QTextStream& err) {
    RenderResult r = RenderSongToWave(song, wave, soundFont);
    if (!r.ok) {
        err << song << ": " << r.error << "\n";
        return 2;
    }
    out << "Rendered " << MinutesSeconds(r.songMs) << " of music (" << QString::number(r.renderedMs / 1000.0, 'f', 2)
        << " s with the tail) to " << wave << " in " << QString::number(r.cpuSeconds, 'f', 2) << " s of CPU time\n";
    return 0;
}

int PlaySong(const QString& song, double seconds, const QString& soundFont, QTextStream& out, QTextStream& err) {
    SynthHost::Options options;
    options.soundFont = soundFont;
    options.audioDriver = qEnvironmentVariable("CANTAVO_AUDIO_DRIVER");
    QString error;
    std::unique_ptr<SynthHost> host = SynthHost::create(options, &error);
    if (!host) {
        err << song << ": " << error << "\n";
        return 2;
    }
    Sequencer sequencer(*host);
    if (!sequencer.open(song, &error)) {
        err << song << ": " << error << "\n";
        return 2;
    }
    QEventLoop loop;
    QObject::connect(&sequencer, &Sequencer::completed, &loop, &QEventLoop::quit);
    QObject::connect(host.get(), &SynthHost::outputChanged, &loop, [&] {
        const QString problem = host->outputProblem();
        if (!problem.isEmpty()) err << problem << "\n";
        err.flush();
    });
    if (seconds > 0) QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    sequencer.play();
    loop.exec();
    out << "Played " << MinutesSeconds(sequencer.positionMs()) << " of " << song << " through " << host->audioDriverName() << " in "
        << QString::number(timer.elapsed() / 1000.0, 'f', 2) << " s\n";
    sequencer.close();
    return 0;
}

namespace {

// A finite number within [low, high]: nan, inf and overflowing values are refused here, before
// they reach a timer or a header.
bool readNumber(const QString& text, double low, double high, double& value) {
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok && std::isfinite(value) && value >= low && value <= high;
}

bool readInt(const QString& text, int low, int high, int& value) {
    bool ok = false;
    value = text.trimmed().toInt(&ok);
    return ok && value >= low && value <= high;
}

// A pair "A=B" of whole numbers in their ranges.
bool readPair(const QString& text, int lowA, int highA, int lowB, int highB, int& a, int& b) {
    const QStringList parts = text.split(QLatin1Char('='));
    return parts.size() == 2 && readInt(parts[0], lowA, highA, a) && readInt(parts[1], lowB, highB, b);
}

// The settings of --modify; empty when they all read, else what is wrong.
QString readModifySettings(const QCommandLineParser& parser, const QList<QCommandLineOption>& o, ModifyRequest& m) {
    const QCommandLineOption &transpose = o[0], &keepChannel = o[1], &tempo = o[2], &volume = o[3], &mute = o[4], &patch = o[5];
    if (parser.isSet(transpose) && !readInt(parser.value(transpose), -127, 127, m.settings.transpose))
        return QStringLiteral("--transpose needs a whole number of half tones, -127..127");
    if (parser.isSet(keepChannel) && !readInt(parser.value(keepChannel), 0, 16, m.settings.keepChannel))
        return QStringLiteral("--keep-channel needs a MIDI channel 1..16 (0: none)");
    if (parser.isSet(tempo) && !readNumber(parser.value(tempo), -100, 10000, m.settings.tempoPercent))
        return QStringLiteral("--tempo needs a percentage, -100..10000");
    for (const QString& v : parser.values(volume)) {
        int channel = 0, percent = 0;
        if (!readPair(v, 1, 16, 0, 200, channel, percent)) return QStringLiteral("--volume needs CH=PCT, a channel 1..16 and 0..200 percent");
        m.settings.mixer[static_cast<size_t>(channel - 1)] = percent;
    }
    for (const QString& v : parser.values(mute)) {
        int track = 0;
        if (!readInt(v, 1, 255, track)) return QStringLiteral("--mute needs a track number");
        m.mute << track;
    }
    for (const QString& v : parser.values(patch)) {
        int track = 0, program = 0;
        if (!readPair(v, 1, 255, 0, 127, track, program)) return QStringLiteral("--patch needs TRACK=PROGRAM, a program 0..127");
        m.patches << qMakePair(track, program);
    }
    return {};
}

constexpr int kMaxSeconds = 86400;

// The parser names the program from the application object, which does not exist yet.
QString helpText(const QCommandLineParser& parser) {
    return parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("cantavo")) + WindowOptionsHelp() + VerbsHelp();
}

}  // namespace

CommandLineRequest ParseCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    CommandLineRequest request;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Cantavo! karaoke player"));
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption info(QStringLiteral("info"), QStringLiteral("Print the facts of a song and exit."));
    QCommandLineOption json(QStringLiteral("json"), QStringLiteral("With --info or --score: print the facts or the score as one JSON object."));
    QCommandLineOption render(QStringLiteral("render"),
                              QStringLiteral("cantavo --render SONG OUT.wav: render SONG offline through the built-in synthesizer into a wave file and exit."));
    QCommandLineOption play(QStringLiteral("play"), QStringLiteral("cantavo --play SONG: play SONG in real time without a window and exit at its end."));
    QCommandLineOption seconds(QStringLiteral("seconds"), QStringLiteral("With --play or --record: stop after this many seconds."), QStringLiteral("N"));
    QCommandLineOption record(QStringLiteral("record"),
                              QStringLiteral("cantavo --record SONG TAKE.wav: play SONG without a window and record the default input, with the "
                                             "music mixed in where it was heard, into a wave file, as the wave control records; exit at the "
                                             "song's end."));
    QCommandLineOption format(QStringLiteral("format"),
                              QStringLiteral("With --record: bits (8, 16), channels (1 mono, 2 stereo) and kHz (11, 22, 44); 16-2-44 unless given."),
                              QStringLiteral("BITS-CHANNELS-KHZ"));
    QCommandLineOption voiceOnly(QStringLiteral("voice-only"), QStringLiteral("With --record: the input alone, without the music."));
    QCommandLineOption score(QStringLiteral("score"),
                             QStringLiteral("cantavo --score SONG TAKE.wav: score a recorded take of SONG (one that starts when the song starts, "
                                            "as the player's recordings do) against its melody, as the player scores singing, and exit."));
    QCommandLineOption difficulty(QStringLiteral("difficulty"), QStringLiteral("With --score: easy, normal or hard (normal unless given)."),
                                  QStringLiteral("LEVEL"));
    QCommandLineOption offset(QStringLiteral("offset"),
                              QStringLiteral("With --score: how much later than the music the singing sits in the take, in ms (may be negative)."),
                              QStringLiteral("MS"));
    QCommandLineOption calibrate(QStringLiteral("calibrate"),
                                 QStringLiteral("Measure the sound's round trip from the speakers to the microphone with a few clicks, keep it for "
                                                "scoring, and exit."));
    QCommandLineOption soundFont(QStringLiteral("soundfont"), QStringLiteral("The General MIDI SoundFont of the built-in synthesizer."),
                                 QStringLiteral("FILE.sf2"));
    QCommandLineOption paths(QStringLiteral("paths"), QStringLiteral("Print where the program finds its data and keeps its preferences."));
    QCommandLineOption modify(QStringLiteral("modify"),
                              QStringLiteral("cantavo --modify SONG -o OUT [settings]: write SONG changed as the \"Modify .KAR\" dialog changes it "
                                             "(the same bytes for the same settings) and exit. Tracks are numbered as the dialog's track "
                                             "list numbers them; with --info --json, \"tracks\" lists them."));
    QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("With --modify: the file to write."),
                              QStringLiteral("OUT"));
    QCommandLineOption transpose(QStringLiteral("transpose"), QStringLiteral("With --modify: half tones to move every note by."), QStringLiteral("N"));
    QCommandLineOption keepChannel(QStringLiteral("keep-channel"),
                                   QStringLiteral("With --modify: the MIDI channel 1..16 that is not transposed (10 unless given; 0: none)."),
                                   QStringLiteral("C"));
    QCommandLineOption tempo(QStringLiteral("tempo"), QStringLiteral("With --modify: the tempo change in percent (+10 plays faster)."),
                             QStringLiteral("PCT"));
    QCommandLineOption volume(QStringLiteral("volume"),
                              QStringLiteral("With --modify: the loudness of MIDI channel CH (1..16) in percent, 0..200; may be repeated."),
                              QStringLiteral("CH=PCT"));
    QCommandLineOption mute(QStringLiteral("mute"), QStringLiteral("With --modify: leave out this track (4 and up); may be repeated."),
                            QStringLiteral("TRACK"));
    QCommandLineOption patch(QStringLiteral("patch"),
                             QStringLiteral("With --modify: give this track's instrument the General MIDI program 0..127; may be repeated."),
                             QStringLiteral("TRACK=PROGRAM"));
    QCommandLineOption catalogue(QStringLiteral("catalogue"),
                                 QStringLiteral("cantavo --catalogue FOLDER... -o LIST.lst: write the song list of every karaoke file "
                                                "under the folders, as \"Add Folder\" makes it, and exit."));
    QCommandLineOption report(QStringLiteral("report"),
                              QStringLiteral("cantavo --report LIST.lst -o REPORT.txt: write the report \"Make Report\" writes for the list and exit."));
    const QList<QCommandLineOption> modifySettings{transpose, keepChannel, tempo, volume, mute, patch};
    for (const QCommandLineOption& o : {info, json, paths, render, play, record, format, voiceOnly, seconds, score, difficulty, offset, calibrate,
                                        soundFont, modify, catalogue, report, output})
        parser.addOption(o);
    for (const QCommandLineOption& o : modifySettings) parser.addOption(o);
    parser.addPositionalArgument(QStringLiteral("song"), QStringLiteral("A .kar or .mid song file to open."), QStringLiteral("[SONG]"));
    const auto usage = [&](const QString& message) {
        err << message << "\n\n" << helpText(parser);
        err.flush();
        request.action = CommandLineRequest::Action::Exit;
        request.exitStatus = 2;
        return request;
    };
    if (!parser.parse(arguments)) return usage(parser.errorText());
    if (parser.isSet(help)) {
        out << helpText(parser);
        return request;
    }
    if (parser.isSet(version)) {
        out << "cantavo " << CANTAVO_VERSION << "\n";
        return request;
    }
    request.songs = parser.positionalArguments();
    request.soundFont = parser.value(soundFont);
    request.json = parser.isSet(json);
    const int actions = parser.isSet(info) + parser.isSet(render) + parser.isSet(play) + parser.isSet(record) + parser.isSet(score) +
                        parser.isSet(calibrate) + parser.isSet(paths) + parser.isSet(modify) + parser.isSet(catalogue) + parser.isSet(report);
    if (actions > 1)
        return usage(QStringLiteral("--info, --render, --play, --record, --score, --calibrate, --modify, --catalogue, --report and --paths go one at a time"));
    if ((parser.isSet(difficulty) || parser.isSet(offset)) && !parser.isSet(score)) return usage(QStringLiteral("--difficulty and --offset go with --score"));
    if (parser.isSet(difficulty) && !ParseDifficulty(parser.value(difficulty), &request.difficulty))
        return usage(QStringLiteral("--difficulty is easy, normal or hard"));
    if (parser.isSet(offset) && !readNumber(parser.value(offset), -60000, 60000, request.offsetMs))
        return usage(QStringLiteral("--offset needs a number of milliseconds, -60000..60000"));
    if ((parser.isSet(format) || parser.isSet(voiceOnly)) && !parser.isSet(record))
        return usage(QStringLiteral("--format and --voice-only go with --record"));
    if (parser.isSet(format)) {
        const QStringList parts = parser.value(format).split(QLatin1Char('-'));
        int bits = 0, channels = 0, khz = 0;
        if (parts.size() != 3 || !readInt(parts[0], 8, 16, bits) || (bits != 8 && bits != 16) || !readInt(parts[1], 1, 2, channels) ||
            !readInt(parts[2], 11, 44, khz) || (khz != 11 && khz != 22 && khz != 44))
            return usage(QStringLiteral("--format needs BITS-CHANNELS-KHZ: 8 or 16, 1 or 2, 11, 22 or 44 (16-2-44)"));
        request.format = {bits, channels, khz == 11 ? 11025 : khz == 22 ? 22050 : 44100};
    }
    request.voiceOnly = parser.isSet(voiceOnly);
    if (parser.isSet(output) && !parser.isSet(modify) && !parser.isSet(catalogue) && !parser.isSet(report))
        return usage(QStringLiteral("-o goes with --modify, --catalogue or --report"));
    for (const QCommandLineOption& o : modifySettings)
        if (parser.isSet(o) && !parser.isSet(modify)) return usage(QStringLiteral("--%1 goes with --modify").arg(o.names().constLast()));
    if (request.json && !parser.isSet(info) && !parser.isSet(score)) return usage(QStringLiteral("--json goes with --info or --score"));
    if (parser.isSet(seconds) && !parser.isSet(play) && !parser.isSet(record)) return usage(QStringLiteral("--seconds goes with --play or --record"));
    if (parser.isSet(seconds) && (!readNumber(parser.value(seconds), 0, kMaxSeconds, request.seconds) || request.seconds <= 0))
        return usage(QStringLiteral("--seconds needs a number of seconds above 0, at most %1 (a day)").arg(kMaxSeconds));
    if (parser.isSet(modify)) {
        if (request.songs.size() != 1 || !parser.isSet(output)) return usage(QStringLiteral("--modify needs one song file and -o OUT"));
        const QString problem = readModifySettings(parser, {transpose, keepChannel, tempo, volume, mute, patch}, request.modify);
        if (!problem.isEmpty()) return usage(problem);
        request.modify.song = request.songs.first();
        request.modify.out = parser.value(output);
        request.action = CommandLineRequest::Action::Modify;
    } else if (parser.isSet(catalogue) || parser.isSet(report)) {
        const bool isReport = parser.isSet(report);
        if (request.songs.isEmpty() || (isReport && request.songs.size() != 1) || !parser.isSet(output))
            return usage(isReport ? QStringLiteral("--report needs one list file and -o REPORT.txt")
                                  : QStringLiteral("--catalogue needs one or more folders and -o LIST.lst"));
        request.output = parser.value(output);
        request.action = isReport ? CommandLineRequest::Action::Report : CommandLineRequest::Action::Catalogue;
    } else if (parser.isSet(paths)) {
        request.action = CommandLineRequest::Action::Paths;
    } else if (parser.isSet(info)) {
        if (request.songs.size() != 1) return usage(QStringLiteral("--info needs one song file"));
        request.action = CommandLineRequest::Action::Info;
    } else if (parser.isSet(render)) {
        if (request.songs.size() != 2) return usage(QStringLiteral("--render needs a song file and a wave file: cantavo --render SONG OUT.wav"));
        request.action = CommandLineRequest::Action::Render;
    } else if (parser.isSet(record)) {
        if (request.songs.size() != 2) return usage(QStringLiteral("--record needs a song file and a wave file: cantavo --record SONG TAKE.wav"));
        request.action = CommandLineRequest::Action::Record;
    } else if (parser.isSet(score)) {
        if (request.songs.size() != 2) return usage(QStringLiteral("--score needs a song file and a wave file: cantavo --score SONG TAKE.wav"));
        request.action = CommandLineRequest::Action::Score;
    } else if (parser.isSet(calibrate)) {
        if (!request.songs.isEmpty()) return usage(QStringLiteral("--calibrate takes no file"));
        request.action = CommandLineRequest::Action::Calibrate;
    } else if (parser.isSet(play)) {
        if (request.songs.size() != 1) return usage(QStringLiteral("--play needs one song file"));
        request.action = CommandLineRequest::Action::Play;
    } else {
        if (request.songs.size() > 1) return usage(QStringLiteral("The player opens one song at a time"));
        // The player changes its current folder (the preferences keep one) before it opens
        // the song: a name relative to where it was started is made whole now.
        for (QString& song : request.songs) song = QFileInfo(song).absoluteFilePath();
        request.action = CommandLineRequest::Action::Window;
    }
    return request;
}

int RunCommandLineAction(const CommandLineRequest& request, QTextStream& out, QTextStream& err) {
    switch (request.action) {
    case CommandLineRequest::Action::Exit: return request.exitStatus;
    case CommandLineRequest::Action::Window: return -1;
    case CommandLineRequest::Action::Paths: {
        const QString dir = ProgramDirectory();
        out << "program directory: " << dir << "\n";
        out << "preferences: " << PreferencesPath(dir, QDir(dir) != QDir(QCoreApplication::applicationDirPath())) << "\n";
        out << "temporary folder: " << SongSession::TemporaryFolder() << "\n";
        return 0;
    }
    case CommandLineRequest::Action::Info: return PrintSongInfo(request.songs.first(), request.json, out, err);
    case CommandLineRequest::Action::Render: return RenderSong(request.songs[0], request.songs[1], request.soundFont, out, err);
    case CommandLineRequest::Action::Play: return PlaySong(request.songs.first(), request.seconds, request.soundFont, out, err);
    case CommandLineRequest::Action::Record:
        return RecordSong(request.songs[0], request.songs[1], request.seconds, request.soundFont, request.format, request.voiceOnly, out, err);
    case CommandLineRequest::Action::Score:
        return ScoreTakeFile(request.songs[0], request.songs[1], request.difficulty, request.offsetMs, request.json, out, err);
    case CommandLineRequest::Action::Calibrate: return CalibrateSound(request.soundFont, out, err);
    case CommandLineRequest::Action::Catalogue: return WriteCatalogue(request.songs, request.output, err);
    case CommandLineRequest::Action::Report: return WriteReport(request.songs.first(), request.output, err);
    case CommandLineRequest::Action::Modify: {
        const QString refused = ModifySongFile(request.modify);
        if (refused.isEmpty()) return 0;
        err << refused << "\n";
        return 2;
    }
    }
    return 2;
}

int RunCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    return RunCommandLineAction(ParseCommandLine(arguments, out, err), out, err);
}

}  // namespace cantavo
