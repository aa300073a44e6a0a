// The lyrics file and printing, through the main window.
#include <QCheckBox>
#include <QProcess>
#include <QTemporaryDir>

#include "../shell/window.h"
#include "listpanes.h"
#include "lyricsexport.h"
#include "printdialog.h"
#include "smfbytes.h"

namespace cantavo::test {
namespace {

class Output : public Window {
protected:
    QByteArray bytesOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir;
};

TEST_F(Output, LyricsFileOfADemoSong) {
    const QString song = dir.filePath(QStringLiteral("Frere Song.kar"));
    QFile::copy(demoSong("frere-jacques"), song);
    open(song);
    QString proposed;
    const QString target = dir.filePath(QStringLiteral("Frere Words.txt"));
    window->chooseLyricsFile = [&](const QString& proposal) {
        proposed = proposal;
        return target;
    };
    window->commands()[QStringLiteral("mnfileitem2")]->trigger();
    // The proposal keeps the song's folder and name (here its blank-free copy's).
    EXPECT_TRUE(proposed.endsWith(QStringLiteral("Frere_Song.txt"))) << proposed.toStdString();
    const QByteArray written = bytesOf(target);
    QString lines;
    for (int i = 1; i <= window->session().lines.lineCount(); ++i)
        lines += (i > 1 ? QStringLiteral("\r\n") : QString()) + window->session().lines.lines[i];
    const QByteArray expected = "Fr\xc3\xa8re Jacques\r\nChanson traditionnelle\r\n\r\n\r\n" + lines.toUtf8() +
                                "\r\n\r\n\r\nThis file was automatically created with Cantavo! 3.0 for Windows95\r\n"
                                "Cantavo! karaoke player: sing along, and keep the words\r\n";
    EXPECT_EQ(written, expected);
    EXPECT_TRUE(written.contains("Dormez-vous")) << written.constData();

    // The toolbar upper-cases only the extension; an existing file is asked about.
    window->commands()[QStringLiteral("tb8")]->setEnabled(true);
    {
        BoxCatcher no(QMessageBox::No);
        QFile(target).open(QIODevice::WriteOnly | QIODevice::Truncate);
        window->commands()[QStringLiteral("tb8")]->trigger();
        EXPECT_EQ(no.texts, QStringList(QStringLiteral("Overwrite existing file?")));
        EXPECT_TRUE(bytesOf(target).isEmpty());
    }
    EXPECT_TRUE(proposed.endsWith(QStringLiteral("Frere_Song.TXT")));
    {
        BoxCatcher yes(QMessageBox::Yes);
        window->commands()[QStringLiteral("tb8")]->trigger();
    }
    EXPECT_EQ(bytesOf(target), expected);
    // A file that cannot be written.
    BoxCatcher boxes;
    window->ExportLyrics(dir.filePath(QStringLiteral("no/such/folder/words.txt")));
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts[0].startsWith(QStringLiteral("Can't close the file. Please correct the error and retry\n\n")));
    EXPECT_TRUE(boxes.texts[0].endsWith(QStringLiteral("words.txt: No such file or directory"))) << boxes.texts[0].toStdString();
}

TEST_F(Output, ASongWithoutTitleTagsStartsWithThreeLineBreaks) {
    SmfBuilder b;
    b.beginTrack();
    b.tempo(0, 500000);
    b.endTrack();
    b.beginTrack();
    b.meta(0, 0x01, "/Hello ");
    b.meta(480, 0x01, "world");
    b.endTrack();
    b.beginTrack();
    b.bytes({0x00, 0x90, 60, 90, 0x83, 0x60, 0x80, 60, 0});
    b.endTrack();
    const QString song = dir.filePath(QStringLiteral("untitled.kar"));
    QFile f(song);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(b.data());
    f.close();
    open(song);
    ASSERT_TRUE(window->ExportLyrics(dir.filePath(QStringLiteral("untitled.txt"))));
    EXPECT_TRUE(bytesOf(dir.filePath(QStringLiteral("untitled.txt"))).startsWith("\r\n\r\n\r\n Hello world\r\n"));
    EXPECT_EQ(LyricsFileProposal(QStringLiteral("/songs/LOVE.KAR"), false), QStringLiteral("/songs/LOVE.txt"));
    EXPECT_EQ(LyricsFileProposal(QStringLiteral("/songs/love.kar"), true), QStringLiteral("/songs/love.TXT"));
}

TEST_F(Output, PrintingAFileInTheChosenFont) {
    window->commands()[QStringLiteral("mnfileitem4")]->trigger();
    PrintDialog& p = window->printDialog();
    ASSERT_TRUE(p.isVisible());
    EXPECT_EQ(p.objectName(), QStringLiteral("Form5"));
    EXPECT_EQ(p.height(), 297);
    EXPECT_EQ(p.points->count(), 8);
    EXPECT_EQ(p.points->currentText(), QStringLiteral("12"));
    EXPECT_EQ(p.pointsLabel->text(), QStringLiteral("Points"));
    EXPECT_FALSE(p.fonts->isVisible());
    QDir().mkpath(QStringLiteral(CANTAVO_SHOTS_DIR));
    p.grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/print-dialog.png"));
    p.chooseFont->setChecked(true);
    EXPECT_EQ(p.height(), 419);
    EXPECT_TRUE(p.fonts->isVisible());
    const QList<QListWidgetItem*> serif = p.fonts->findItems(QStringLiteral("DejaVu Serif"), Qt::MatchExactly);
    ASSERT_FALSE(serif.isEmpty());
    p.fonts->setCurrentItem(serif.first());
    p.points->setEditText(QStringLiteral("11.5 pt"));
    p.grab().save(QStringLiteral(CANTAVO_SHOTS_DIR "/print-dialog-fonts.png"));
    p.chooseFont->setChecked(false);
    EXPECT_EQ(p.height(), 297);
    // Hidden, the choice holds.
    EXPECT_EQ(p.printFont().family(), QStringLiteral("DejaVu Serif"));
    EXPECT_DOUBLE_EQ(p.printFont().pointSizeF(), 11.5);
    {
        BoxCatcher boxes;
        EXPECT_FALSE(p.PrintFile());
        EXPECT_EQ(boxes.texts, QStringList(QStringLiteral("Please select the text file to be printed")));
    }
    const QString text = dir.filePath(QStringLiteral("words.txt"));
    QFile f(text);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Twinkle, twinkle, little star\r\nHow I wonder what you are\r\n");
    f.close();
    p.panes->setFolder(dir.path());
    ASSERT_EQ(p.panes->files->count(), 1);
    emit p.panes->files->itemClicked(p.panes->files->item(0));
    EXPECT_EQ(p.printFilePath(), text);
    // A cancelled printer dialog prints nothing and keeps the dialog.
    p.setupPrinter = [](QPrinter&) { return false; };
    EXPECT_FALSE(p.PrintFile());
    EXPECT_TRUE(p.isVisible());
    const QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
    p.setupPrinter = [&](QPrinter& printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    };
    p.print->click();
    EXPECT_FALSE(p.isVisible());
    QProcess toText;
    toText.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    ASSERT_TRUE(toText.waitForFinished(10000));
    const QString printed = QString::fromUtf8(toText.readAllStandardOutput());
    EXPECT_TRUE(printed.contains(QStringLiteral("Twinkle, twinkle, little star"))) << printed.toStdString();
    EXPECT_TRUE(printed.contains(QStringLiteral("How I wonder what you are")));
    QProcess fonts;
    fonts.start(QStringLiteral("pdffonts"), {pdf});
    ASSERT_TRUE(fonts.waitForFinished(10000));
    EXPECT_TRUE(fonts.readAllStandardOutput().contains("DejaVuSerif"));
}

}  // namespace
}  // namespace cantavo::test
