#include "rotationwindow.h"

#include <QCheckBox>
#include <QCompleter>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "livesettings.h"
#include "rotationdialogs.h"

namespace cantavo {

namespace {

// What each row stands for: a singer's id, or a song's id with its singer's.
constexpr int kSingerRole = Qt::UserRole;
constexpr int kSongRole = Qt::UserRole + 1;

// The number in "+2", "-3" or "90 %".
int NumberIn(QString text) { return text.remove(QLatin1Char('%')).remove(QLatin1Char('+')).trimmed().toInt(); }

}  // namespace

RotationTree::RotationTree(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("RotationList"));
    setColumnCount(3);
    setHeaderLabels({QStringLiteral("Singer / song"), QStringLiteral("Key"), QStringLiteral("Tempo")});
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setStretchLastSection(false);
    // Rows move within the list; song files come in from outside it.
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setRootIsDecorated(true);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
}

namespace {

bool fromOutside(const QDropEvent* e, const QObject* tree) { return e->source() != tree && e->mimeData()->hasUrls(); }

QStringList localFiles(const QMimeData* data) {
    QStringList paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}

// The key and tempo of a queued song are edited with a spin box; nothing else is edited.
class KeyTempoDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex& index) const override {
        if (index.column() == 0 || !index.parent().isValid()) return nullptr;
        auto* spin = new QSpinBox(parent);
        spin->setObjectName(index.column() == 1 ? QStringLiteral("KeyEditor") : QStringLiteral("TempoEditor"));
        if (index.column() == 1) {
            spin->setRange(LiveSettings::kMinKey, LiveSettings::kMaxKey);
        } else {
            spin->setRange(LiveSettings::kMinTempo, LiveSettings::kMaxTempo);
            spin->setSuffix(QStringLiteral(" %"));
            spin->setSingleStep(5);
        }
        return spin;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        static_cast<QSpinBox*>(editor)->setValue(NumberIn(index.data().toString()));
    }
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override {
        const int value = static_cast<QSpinBox*>(editor)->value();
        model->setData(index, index.column() == 1 ? KeyText(value) : QStringLiteral("%1 %").arg(value));
    }
};

}  // namespace

void RotationTree::dragEnterEvent(QDragEnterEvent* e) {
    if (fromOutside(e, this)) e->acceptProposedAction();
    else QTreeWidget::dragEnterEvent(e);
}

void RotationTree::dragMoveEvent(QDragMoveEvent* e) {
    if (fromOutside(e, this)) e->acceptProposedAction();
    else QTreeWidget::dragMoveEvent(e);
}

void RotationTree::dropEvent(QDropEvent* e) {
    if (fromOutside(e, this)) {
        e->acceptProposedAction();
        if (filesDropped) filesDropped(itemAt(e->position().toPoint()), localFiles(e->mimeData()));
        return;
    }
    // The tree does not move anything itself: the store does, and the list is read back.
    e->setDropAction(Qt::IgnoreAction);
    e->accept();
    dropOn(currentItem(), itemAt(e->position().toPoint()));
}

void RotationTree::dropOn(QTreeWidgetItem* item, QTreeWidgetItem* target) {
    if (!item || !moved) return;
    const bool song = item->parent() != nullptr;
    int place;
    if (!target) {
        place = song ? item->parent()->childCount() : topLevelItemCount();
    } else if (song) {
        // A song moves within its own singer's queue only.
        if (target->parent() != item->parent()) return;
        place = item->parent()->indexOfChild(target);
    } else {
        QTreeWidgetItem* singer = target->parent() ? target->parent() : target;
        place = indexOfTopLevelItem(singer);
    }
    moved(item, place);
}

RotationWindow::RotationWindow(RotationStore& store, QWidget* parent) : QWidget(parent), store_(store) {
    setObjectName(QStringLiteral("RotationWindow"));
    setWindowTitle(QStringLiteral("Rotation"));
    tree_ = new RotationTree(this);
    tree_->setItemDelegate(new KeyTempoDelegate(tree_));
    auto* column = new QVBoxLayout(this);
    column->addWidget(tree_, 1);
    const auto button = [this](const char* name, const QString& text, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        return b;
    };
    addSinger_ = button("AddSinger", QStringLiteral("Add &Singer..."), QStringLiteral("A singer joins at the end of the rotation"));
    addSongs_ = button("AddSongs", QStringLiteral("Add S&ongs..."), QStringLiteral("Song files for the selected singer, in the key and tempo they sang them last"));
    fromCatalogue_ = button("AddFromCatalogue", QStringLiteral("From &Catalogue..."), QStringLiteral("Songs from the catalogue for the selected singer"));
    remove_ = button("Remove", QStringLiteral("&Remove"), QStringLiteral("The selected song, or the singer (their history is kept)"));
    away_ = button("Away", QStringLiteral("A&way"), QStringLiteral("Skipped, kept in place, until back"));
    history_ = button("History", QStringLiteral("&History..."), QStringLiteral("What the selected singer sang, and in which key (or everyone, with nobody selected)"));
    singNext_ = button("SingNext", QStringLiteral("Sing &Next"), QStringLiteral("Loads the next singer's song in their key and tempo"));
    auto* row1 = new QHBoxLayout;
    for (QPushButton* b : {addSinger_, addSongs_, fromCatalogue_, remove_, away_, history_}) row1->addWidget(b);
    column->addLayout(row1);
    auto* row2 = new QHBoxLayout;
    startAfter_ = new QSpinBox(this);
    startAfter_->setObjectName(QStringLiteral("StartAfter"));
    startAfter_->setRange(0, 120);
    startAfter_->setSuffix(QStringLiteral(" s"));
    startAfter_->setSpecialValueText(QStringLiteral("wait for Play"));
    startAfter_->setValue(store_.setting(QStringLiteral("start after"), QStringLiteral("0")).toInt());
    auto* startLabel = new QLabel(QStringLiteral("Start after:"), this);
    startLabel->setBuddy(startAfter_);
    row2->addWidget(singNext_);
    row2->addWidget(startLabel);
    row2->addWidget(startAfter_);
    row2->addStretch(1);
    column->addLayout(row2);
    buildBreakRow(column);
    announcement_ = new QLabel(this);
    announcement_->setObjectName(QStringLiteral("Announcement"));
    announcement_->setWordWrap(true);
    column->addWidget(announcement_);
    column_ = column;

    askSingerName = [this] {
        QInputDialog d(this);
        d.setWindowTitle(QStringLiteral("Add Singer"));
        d.setLabelText(QStringLiteral("Name:"));
        // Names sung here before complete as they are typed.
        if (auto* edit = d.findChild<QLineEdit*>()) {
            auto* completer = new QCompleter(store_.knownSingers(), edit);
            completer->setCaseSensitivity(Qt::CaseInsensitive);
            edit->setCompleter(completer);
        }
        return d.exec() == QDialog::Accepted ? d.textValue() : QString();
    };
    const QString songFilter = QStringLiteral("Karaoke songs (*.kar *.mid *.midi *.KAR *.MID *.MIDI);;All files (*)");
    askSongs = [this, songFilter] { return QFileDialog::getOpenFileNames(this, QStringLiteral("Add Songs"), QString(), songFilter); };
    askBreakSongs = [this, songFilter] { return QFileDialog::getOpenFileNames(this, QStringLiteral("Break Music"), QString(), songFilter); };
    askCatalogueSongs = [this](const QString& singer) {
        const QList<SongRow> rows = catalogue ? catalogue() : QList<SongRow>();
        CatalogueDialog d(rows, singer, this);
        return d.exec() == QDialog::Accepted ? d.chosen() : QStringList();
    };
    tell = [this](const QString& title, const QString& text) {
        QMessageBox::warning(this, title, text);
        return true;
    };

    connect(addSinger_, &QPushButton::clicked, this, &RotationWindow::addSinger);
    connect(addSongs_, &QPushButton::clicked, this, &RotationWindow::addSongs);
    connect(fromCatalogue_, &QPushButton::clicked, this, &RotationWindow::addFromCatalogue);
    connect(remove_, &QPushButton::clicked, this, &RotationWindow::removeSelected);
    connect(away_, &QPushButton::clicked, this, &RotationWindow::toggleAway);
    connect(history_, &QPushButton::clicked, this, &RotationWindow::showHistory);
    connect(singNext_, &QPushButton::clicked, this, &RotationWindow::singNext);
    connect(startAfter_, &QSpinBox::valueChanged, this, [this](int s) { keep(QStringLiteral("start after"), QString::number(s)); });
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &RotationWindow::updateButtons);
    connect(tree_, &QTreeWidget::itemChanged, this, &RotationWindow::keyOrTempoEdited);
    // A singer's history is a double click on their name away.
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int) {
        if (!item->parent()) showHistory();
    });
    tree_->moved = [this](QTreeWidgetItem* item, int place) {
        const bool ok = item->parent() ? store_.moveSong(item->data(0, kSongRole).toLongLong(), place)
                                       : store_.moveSinger(item->data(0, kSingerRole).toLongLong(), place);
        if (!ok) tell(QStringLiteral("Rotation"), QStringLiteral("The move was not kept: %1").arg(store_.lastError()));
        reload();
        emit changedByHost();
    };
    tree_->filesDropped = [this](QTreeWidgetItem* target, const QStringList& paths) {
        if (!target) {
            tell(QStringLiteral("Add Songs"), QStringLiteral("Drop songs on the singer who sings them."));
            return;
        }
        addSongsTo(target->data(0, kSingerRole).toLongLong(), paths);
    };
    // Songs added from the command line (a sign-up script) show up here within a second.
    watch_.setInterval(1000);
    connect(&watch_, &QTimer::timeout, this, [this] {
        if (store_.changed()) reload();
    });
    watch_.start();
    store_.changed();
    reload();
}

void RotationWindow::buildBreakRow(QVBoxLayout* column) {
    auto* row = new QHBoxLayout;
    breakOn_ = new QCheckBox(QStringLiteral("&Break music between singers"), this);
    breakOn_->setObjectName(QStringLiteral("BreakMusic"));
    breakOn_->setToolTip(QStringLiteral("Songs played without lyrics, quieter, from the end of a singer's song until Sing Next"));
    breakOn_->setChecked(store_.setting(QStringLiteral("break music")) == QLatin1String("on"));
    breakSongs_ = new QPushButton(QStringLiteral("Break Son&gs..."), this);
    breakSongs_->setObjectName(QStringLiteral("BreakSongs"));
    breakLoudness_ = new QSpinBox(this);
    breakLoudness_->setObjectName(QStringLiteral("BreakLoudness"));
    breakLoudness_->setRange(10, 100);
    breakLoudness_->setSingleStep(10);
    breakLoudness_->setSuffix(QStringLiteral(" %"));
    breakLoudness_->setToolTip(QStringLiteral("How loud the break music plays, of its songs' own loudness"));
    breakLoudness_->setValue(store_.setting(QStringLiteral("break loudness"), QStringLiteral("50")).toInt());
    row->addWidget(breakOn_);
    row->addWidget(breakSongs_);
    row->addWidget(breakLoudness_);
    breakPlaying_ = new QLabel(this);
    breakPlaying_->setObjectName(QStringLiteral("BreakPlaying"));
    row->addWidget(breakPlaying_, 1);
    column->addLayout(row);
    const auto count = [this] {
        const int n = static_cast<int>(store_.breakMusic().size());
        breakSongs_->setToolTip(n ? QStringLiteral("%1 songs: choose others").arg(n) : QStringLiteral("Choose the songs played between singers"));
    };
    count();
    connect(breakSongs_, &QPushButton::clicked, this, [this, count] {
        chooseBreakSongs();
        count();
    });
    connect(breakOn_, &QCheckBox::toggled, this, [this](bool on) {
        keep(QStringLiteral("break music"), on ? QStringLiteral("on") : QStringLiteral("off"));
        emit breakMusicChanged();
    });
    connect(breakLoudness_, &QSpinBox::valueChanged, this, [this](int percent) {
        keep(QStringLiteral("break loudness"), QString::number(percent));
        emit breakMusicChanged();
    });
}

int RotationWindow::startAfterSeconds() const { return startAfter_->value(); }
void RotationWindow::setStartAfterSeconds(int s) { startAfter_->setValue(s); }
bool RotationWindow::breakMusicOn() const { return breakOn_->isChecked(); }
void RotationWindow::setBreakMusicOn(bool on) { breakOn_->setChecked(on); }
int RotationWindow::breakLoudness() const { return breakLoudness_->value(); }
void RotationWindow::setBreakLoudness(int percent) { breakLoudness_->setValue(percent); }

void RotationWindow::keep(const QString& setting, const QString& value) {
    if (!store_.setSetting(setting, value)) tell(QStringLiteral("Rotation"), QStringLiteral("The setting was not kept: %1").arg(store_.lastError()));
}

void RotationWindow::chooseBreakSongs() {
    const QStringList paths = askBreakSongs();
    if (paths.isEmpty()) return;
    if (!store_.setBreakMusic(paths)) {
        tell(QStringLiteral("Break Music"), QStringLiteral("The break music was not kept: %1").arg(store_.lastError()));
        return;
    }
    emit breakMusicChanged();
}

void RotationWindow::reload() {
    // The selection and the open rows stay across a reload.
    const qint64 singer = selectedSinger();
    const QTreeWidgetItem* current = tree_->currentItem();
    const qint64 song = current && current->parent() ? current->data(0, kSongRole).toLongLong() : 0;
    filling_ = true;
    tree_->clear();
    int n = 0;
    for (const Singer& s : store_.rotation()) {
        auto* top = new QTreeWidgetItem(tree_, {QStringLiteral("%1. %2%3").arg(++n).arg(s.name, s.away ? QStringLiteral(" (away)") : QString())});
        top->setData(0, kSingerRole, s.id);
        top->setFlags((top->flags() | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled) & ~Qt::ItemIsEditable);
        if (s.away) top->setForeground(0, palette().color(QPalette::Disabled, QPalette::Text));
        for (const QueuedSong& q : s.queue) {
            auto* child = new QTreeWidgetItem(top, {q.title, KeyText(q.key), QStringLiteral("%1 %").arg(q.tempo)});
            child->setData(0, kSingerRole, s.id);
            child->setData(0, kSongRole, q.id);
            child->setToolTip(0, q.path);
            child->setToolTip(1, QStringLiteral("Double-click to change the key"));
            child->setToolTip(2, QStringLiteral("Double-click to change the tempo"));
            child->setFlags((child->flags() | Qt::ItemIsDragEnabled | Qt::ItemIsEditable) & ~Qt::ItemIsDropEnabled);
            if (q.id == song) tree_->setCurrentItem(child);
        }
        top->setExpanded(true);
        if (s.id == singer && !song) tree_->setCurrentItem(top);
    }
    filling_ = false;
    updateButtons();
}

void RotationWindow::keyOrTempoEdited(QTreeWidgetItem* item, int column) {
    if (filling_ || !item->parent() || column == 0) return;
    const qint64 song = item->data(0, kSongRole).toLongLong();
    const int key = NumberIn(item->text(1)), tempo = NumberIn(item->text(2));
    if (!store_.setSongKeyTempo(song, key, tempo)) tell(QStringLiteral("Rotation"), QStringLiteral("The change was not kept: %1").arg(store_.lastError()));
    // The row shows what is kept. It is not rebuilt: another cell of it may be edited next.
    filling_ = true;
    for (const Singer& s : store_.rotation())
        for (const QueuedSong& q : s.queue)
            if (q.id == song) {
                item->setText(1, KeyText(q.key));
                item->setText(2, QStringLiteral("%1 %").arg(q.tempo));
            }
    filling_ = false;
    emit changedByHost();
}

qint64 RotationWindow::selectedSinger() const {
    const QTreeWidgetItem* item = tree_->currentItem();
    return item ? item->data(0, kSingerRole).toLongLong() : 0;
}

void RotationWindow::updateButtons() {
    const QTreeWidgetItem* item = tree_->currentItem();
    for (QPushButton* b : {addSongs_, fromCatalogue_, remove_, away_}) b->setEnabled(item != nullptr);
    const QTreeWidgetItem* singer = item ? (item->parent() ? item->parent() : item) : nullptr;
    away_->setText(singer && singer->text(0).endsWith(QStringLiteral(" (away)")) ? QStringLiteral("&Back") : QStringLiteral("A&way"));
    singNext_->setEnabled(store_.next().has_value());
}

void RotationWindow::addPane(QWidget* pane) { column_->addWidget(pane); }

void RotationWindow::setAnnouncement(const QString& text) { announcement_->setText(text); }

void RotationWindow::setBreakPlaying(const QString& title) {
    breakPlaying_->setText(title.isEmpty() ? QString() : QStringLiteral("♪ ") + title);
    breakPlaying_->setToolTip(breakPlaying_->text());
}

void RotationWindow::addSinger() {
    const QString name = askSingerName().simplified();
    if (name.isEmpty()) return;
    const qint64 id = store_.addSinger(name);
    if (!id) {
        tell(QStringLiteral("Add Singer"), QStringLiteral("%1 was not added: %2").arg(name, store_.lastError()));
        return;
    }
    reload();
    for (int i = 0; i < tree_->topLevelItemCount(); ++i)
        if (tree_->topLevelItem(i)->data(0, kSingerRole).toLongLong() == id) tree_->setCurrentItem(tree_->topLevelItem(i));
    emit changedByHost();
}

void RotationWindow::addSongs() {
    if (const qint64 singer = selectedSinger()) addSongsTo(singer, askSongs());
}

void RotationWindow::addFromCatalogue() {
    const qint64 singer = selectedSinger();
    QString name;
    for (const Singer& s : store_.rotation())
        if (s.id == singer) name = s.name;
    if (!name.isEmpty()) addSongsTo(singer, askCatalogueSongs(name));
}

void RotationWindow::addSongsTo(qint64 singerId, const QStringList& paths) {
    if (!singerId || paths.isEmpty()) return;
    QStringList failed;
    for (const QString& path : paths)
        if (!store_.addSong(singerId, path)) failed << QStringLiteral("%1: %2").arg(path, store_.lastError());
    reload();
    emit changedByHost();
    if (!failed.isEmpty()) tell(QStringLiteral("Add Songs"), QStringLiteral("These songs were not added:\n") + failed.join(QLatin1Char('\n')));
}

void RotationWindow::removeSelected() {
    const QTreeWidgetItem* item = tree_->currentItem();
    if (!item) return;
    const bool ok = item->parent() ? store_.removeSong(item->data(0, kSongRole).toLongLong()) : store_.removeSinger(item->data(0, kSingerRole).toLongLong());
    if (!ok) tell(QStringLiteral("Remove"), QStringLiteral("Nothing was removed: %1").arg(store_.lastError()));
    reload();
    emit changedByHost();
}

void RotationWindow::toggleAway() {
    const qint64 singer = selectedSinger();
    if (!singer) return;
    bool away = false;
    for (const Singer& s : store_.rotation())
        if (s.id == singer) away = s.away;
    if (!store_.setAway(singer, !away)) tell(QStringLiteral("Rotation"), QStringLiteral("The change was not kept: %1").arg(store_.lastError()));
    reload();
    emit changedByHost();
}

void RotationWindow::showHistory() {
    const qint64 singer = selectedSinger();
    QString name;
    for (const Singer& s : store_.rotation())
        if (s.id == singer) name = s.name;
    HistoryDialog d(store_, name, this);
    d.exec();
}

}  // namespace cantavo
