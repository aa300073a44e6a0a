#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QToolButton>

#include <array>
#include <functional>

#include "patchdialog.h"
#include "rewriter.h"
#include "songencoding.h"

namespace cantavo {

class SongSession;
class SessionView;

// An up/down pair stepping a text field (Spin1, Spin2).
class SpinButtons : public QWidget {
    Q_OBJECT
public:
    explicit SpinButtons(const QString& name, QWidget* parent = nullptr);
    QToolButton* upButton;
    QToolButton* downButton;
};

// "Modify .KAR": the loudness of each channel, the key, the tempo, muted tracks and track
// instruments of the current song, written as a new song that becomes the current one.
class ModifyDialog : public QDialog, private RewriteProgress {
    Q_OBJECT
public:
    ModifyDialog(SongSession& session, SessionView& view, QWidget* parent = nullptr);

    // The main window's part: hiding its toolbar and panel for the dialog, and showing them
    // again with the lyrics window in front.
    std::function<void()> hideMainView;
    std::function<void()> restoreMainView;

    // Closes the current song, reads its chunks and fills the track list.
    void PrepareModify();
    void ApplyModification();  // "&Modify"
    void CancelModification(); // "&Cancel"
    // A double-click on the track list's cell (row from 1, as the tracks are numbered).
    void cellDoubleClicked(int track, int column);

    const SongChunks& chunks() const { return chunks_; }
    const QList<int>& patchChanged() const { return patchChanged_; }
    PatchDialog& patchDialog() { return *patch_; }

    QTableWidget* grid;                    // Grid1
    std::array<QSlider*, 16> sliders{};    // Slider1(0..15)
    QLineEdit* tempo;                      // Text1
    QLineEdit* transpose;                  // Text2
    QLineEdit* keepChannel;                // Text3
    QCheckBox* keepCheck;                  // Check3D1
    SpinButtons* tempoSpin;                // Spin1
    SpinButtons* transposeSpin;            // Spin2
    QPushButton* modifyButton;             // Command1
    QPushButton* cancelButton;             // Command2

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildLayout();
    void showMixerValue(int k);
    void fillRow(int track);
    ModifySettings settings() const;
    QList<TrackEdit> edits() const;
    QString cell(int track, int column) const;
    void setCell(int track, int column, const QString& text);
    void failed(const QString& message);
    void restore();
    // RewriteProgress.
    void rewriting(int track) override;
    void illegalData(int track, const IllegalData& where) override;

    SongSession& session_;
    SessionView& view_;
    PatchDialog* patch_;
    SongChunks chunks_;
    QList<int> patchChanged_;
    QString sourcePath_;
    SongEncoding encoding_;
    int patchTrack_ = 0;
    QLabel* mixerValue_ = nullptr;
    QHash<int, QString> channelTracks_;  // channel: the names of the tracks that play on it
    // The dialog closed the song and has not opened one since: closing it opens the song again.
    bool songClosed_ = false;
};

}  // namespace cantavo
