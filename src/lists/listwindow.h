#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include <functional>

#include "cataloguescan.h"
#include "listdialogs.h"
#include "listpanes.h"
#include "songlist.h"

namespace cantavo {

class MediaControl;
class SongSession;
class SessionView;

// "Edit List / Compilation": the catalogue of songs (kept in ".lst" files, printed as a
// report, sung from) and the compilation of an evening (kept in ".cpl" files).
class ListWindow : public QDialog {
    Q_OBJECT
public:
    ListWindow(SongSession& session, SessionView& view, QWidget* parent = nullptr);
    ~ListWindow() override;

    // The main window's part.
    std::function<void()> restoreMainView;                 // toolbar and panel as they were
    std::function<void()> showMainView;                    // toolbar and panel shown, lyrics in front
    std::function<void(const QStringList&)> accepted;      // "&OK": the compilation's entries
    std::function<void(bool)> enableAutoplay;              // "Play &Compilation" and "&Autoplay"
    // The file dialogs: (title, filter as "Name|pattern|Name|pattern", save) and the folder
    // dialog. Tests replace them; empty means cancelled.
    std::function<QString(const QString&, const QString&, bool)> chooseFile;
    std::function<QString()> chooseFolder;
    // "CANTAVO.LST": the list the window starts with.
    QString defaultListPath;

    // Shows the window with its file list read again; the first time, the default list.
    void Present();

    void AddToList();
    void AddFolder();
    void addFolders(const QStringList& folders);
    void ClearList();
    void Sing();
    void OpenList();
    // A list given from outside (the file manager, the command line): read in place of the
    // rows shown, once the user agrees to clear them.
    void OpenListFile(const QString& path);
    void SaveList();
    void OpenCompilation();
    void SaveCompilation();
    void MakeReport();
    void CloseWindow();        // "C&lose"
    void AcceptCompilation();  // "&OK"
    void DiscardCompilation(); // "&Cancel"
    // Puts an entry and its line end at the caret of the compilation text.
    void insertEntry(const QString& line);

    // The rows as the grid orders them, hidden ones included.
    QList<SongRow> rows() const;
    void setRows(const QList<SongRow>& rows);
    void appendRows(const QList<SongRow>& rows);
    // Appends the rows whose songs (folder and name) are not in the list yet, and says how
    // many were; returns how many were added.
    int appendNewRows(const QList<SongRow>& rows);
    void filterRows(const QString& text);
    int currentRow() const;
    CatalogueScan& scan() { return scan_; }

    QMenuBar* menu;
    FilePanes* panes;               // Drive1, Dir1, File1
    QLineEdit* search;
    QTableWidget* grid;             // Grid1
    MediaControl* preview;          // MMControl1
    QPlainTextEdit* compilation;    // Text1
    QProgressBar* progress;
    QPushButton* cancelScanButton;
    QLabel* addedNote;  // how many songs the last Add or Add Folder added, and how many were there
    QPushButton* addButton;         // Command1
    QPushButton* addFolderButton;
    QPushButton* clearButton;       // Command9
    QPushButton* singButton;        // Command7
    QPushButton* commentButton;     // Command5
    QPushButton* pauseButton;       // Command3
    QPushButton* soundButton;       // Command4
    QPushButton* pictureButton;     // Command8
    QPushButton* okButton;          // Command6
    QPushButton* cancelButton;      // Command2
    CommentDialog* commentDialog;   // Form11
    PauseDialog* pauseDialog;       // Form12

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildLayout();
    void buildMenus();
    void connectSignals();
    void setRow(int row, const SongRow& r);
    SongRow rowAt(int row) const;
    void previewSong(const QString& path);
    void scanFinished(const QList<SongRow>& rows, const QStringList& leftOut);
    void tellLeftOut(const QStringList& leftOut);
    void tellProblems(const QString& heading, const QStringList& problems);
    void readList(const QString& path);
    void editCommand(int which);
    // A file dialog; empty when cancelled. Saving asks before writing over a file.
    QString fileFor(const QString& title, const QString& filter, bool save);
    bool writeFile(const QString& path, const QByteArray& bytes);
    void reopenSong();

    SongSession& session_;
    SessionView& view_;
    CatalogueScan scan_;
    bool loaded_ = false;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

}  // namespace cantavo
