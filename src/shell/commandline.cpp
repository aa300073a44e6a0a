#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>

#include "numbers.h"
#include "preferences.h"
#include "songsession.h"
#include "startup.h"
#include "render.h"
#include "songfacts.h"
#include "songreader.h"

namespace cantavo {

int PrintSongInfo(const QString& path, bool json, QTextStream& out, QTextStream& err) {
    SongModel song;
    LoadResult result = LoadSongFile(path, song);
    if (json) {
        out << QJsonDocument(SongFactsJson(song, result)).toJson(QJsonDocument::Indented);
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

int RunCommandLine(const QStringList& arguments, QTextStream& out, QTextStream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Cantavo! karaoke player"));
    QCommandLineOption help = parser.addHelpOption();
    QCommandLineOption version = parser.addVersionOption();
    QCommandLineOption info(QStringLiteral("info"), QStringLiteral("Print the facts of a song and exit."));
    QCommandLineOption json(QStringLiteral("json"), QStringLiteral("With --info: print them as one JSON object."));
    QCommandLineOption render(QStringLiteral("render"),
                              QStringLiteral("cantavo --render SONG OUT.wav: render SONG offline through the built-in synthesizer into a wave file and exit."));
    QCommandLineOption soundFont(QStringLiteral("soundfont"), QStringLiteral("The General MIDI SoundFont of the built-in synthesizer."),
                                 QStringLiteral("FILE.sf2"));
    QCommandLineOption paths(QStringLiteral("paths"), QStringLiteral("Print where the program finds its data and keeps its preferences."));
    parser.addOption(info);
    parser.addOption(json);
    parser.addOption(paths);
    parser.addOption(render);
    parser.addOption(soundFont);
    parser.addPositionalArgument(QStringLiteral("song"), QStringLiteral("A .kar or .mid song file to open."), QStringLiteral("[SONG]"));
    if (!parser.parse(arguments)) {
        err << parser.errorText() << "\n";
        return 2;
    }
    if (parser.isSet(help)) {
        out << parser.helpText();
        return 0;
    }
    if (parser.isSet(version)) {
        out << QCoreApplication::applicationName() << " " << QCoreApplication::applicationVersion() << "\n";
        return 0;
    }
    const QStringList songs = parser.positionalArguments();
    if (parser.isSet(paths)) {
        const QString dir = ProgramDirectory();
        out << "program directory: " << dir << "\n";
        out << "preferences: " << PreferencesPath(dir, QDir(dir) != QDir(QCoreApplication::applicationDirPath())) << "\n";
        out << "temporary folder: " << SongSession::TemporaryFolder() << "\n";
        return 0;
    }
    if (parser.isSet(info)) {
        if (songs.size() != 1) {
            err << "--info needs one song file\n";
            return 2;
        }
        return PrintSongInfo(songs.first(), parser.isSet(json), out, err);
    }
    if (parser.isSet(render)) {
        if (songs.size() != 2) {
            err << "--render needs a song file and a wave file: cantavo --render SONG OUT.wav\n";
            return 2;
        }
        return RenderSong(songs[0], songs[1], parser.value(soundFont), out, err);
    }
    return -1;
}

}  // namespace cantavo
