#pragma once

#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <functional>

#include "rotationstore.h"
#include "songlist.h"

class QCheckBox;
class QVBoxLayout;
class QLabel;
class QPushButton;

namespace cantavo {

// The singers in order, each with their queue. Dragging a singer or a song moves it; the
// store decides, and the list is read back from it.
class RotationTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit RotationTree(QWidget* parent = nullptr);
    // A singer (its place among singers) or a song (its place in the singer's queue) was
    // dropped at `place`.
    std::function<void(QTreeWidgetItem* moved, int place)> moved;
    // `item` dropped on `target` (null: below the last row).
    void dropOn(QTreeWidgetItem* item, QTreeWidgetItem* target);
    // Song files dropped from elsewhere (the file manager, the song list) on `target`.
    std::function<void(QTreeWidgetItem* target, const QStringList& paths)> filesDropped;

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
};

// The rotation window: add a singer or songs, move, remove, mark away and back, sing next,
// and a singer's history. It reads the store again when another program (the command line)
// changed it.
class RotationWindow : public QWidget {
    Q_OBJECT
public:
    explicit RotationWindow(RotationStore& store, QWidget* parent = nullptr);

    // The dialogs, replaced by tests.
    std::function<QString()> askSingerName;
    std::function<QStringList()> askSongs;
    // Songs from the catalogue for the singer named.
    std::function<QStringList(const QString& singer)> askCatalogueSongs;
    std::function<QStringList()> askBreakSongs;
    std::function<bool(const QString& title, const QString& text)> tell;
    // The catalogue's rows (the default song list), read when songs are picked from it.
    std::function<QList<SongRow>()> catalogue;

    // Seconds between "Sing next" and the song starting by itself; 0: it waits for Play.
    int startAfterSeconds() const;
    void setStartAfterSeconds(int s);
    // Music between singers: on or off, its loudness (percent), its songs.
    bool breakMusicOn() const;
    void setBreakMusicOn(bool on);
    int breakLoudness() const;
    void setBreakLoudness(int percent);
    QStringList breakSongs() const { return store_.breakMusic(); }

    // Reads the rotation from the store again.
    void reload();
    // The singer selected (or whose song is selected), 0 when none.
    qint64 selectedSinger() const;
    RotationTree& tree() { return *tree_; }

    void addSinger();
    void addSongs();
    void addFromCatalogue();
    // Adds songs to a singer's queue, saying which could not be added.
    void addSongsTo(qint64 singerId, const QStringList& paths);
    void chooseBreakSongs();
    void removeSelected();
    void toggleAway();
    void showHistory();
    // "Now singing" / "Next" line under the list.
    void setAnnouncement(const QString& text);
    // A part shown under the rotation (the guests' requests).
    void addPane(QWidget* pane);
    // The break music's song playing, or empty.
    void setBreakPlaying(const QString& title);

signals:
    void singNext();
    void changedByHost();
    // Break music was turned on or off, or its songs or loudness changed.
    void breakMusicChanged();

private:
    void updateButtons();
    void keyOrTempoEdited(QTreeWidgetItem* item, int column);
    void keep(const QString& setting, const QString& value);
    void buildBreakRow(QVBoxLayout* column);

    RotationStore& store_;
    RotationTree* tree_;
    QPushButton *addSinger_, *addSongs_, *fromCatalogue_, *remove_, *away_, *singNext_, *history_, *breakSongs_;
    QSpinBox *startAfter_, *breakLoudness_;
    QCheckBox* breakOn_;
    QLabel *announcement_, *breakPlaying_;
    QVBoxLayout* column_ = nullptr;
    QTimer watch_;
    bool filling_ = false;
};

}  // namespace cantavo
