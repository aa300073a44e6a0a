#include "rotationwindow.h"

#include <QCompleter>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace cantavo {

namespace {

// What each row stands for: a singer's id, or a song's id with its singer's.
constexpr int kSingerRole = Qt::UserRole;
constexpr int kSongRole = Qt::UserRole + 1;

QString signedKey(int key) { return key > 0 ? QStringLiteral("+%1").arg(key) : QString::number(key); }

}  // namespace

RotationTree::RotationTree(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("RotationList"));
    setColumnCount(3);
    setHeaderLabels({QStringLiteral("Singer / song"), QStringLiteral("Key"), QStringLiteral("Tempo")});
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    header()->setStretchLastSection(false);
    setDragDropMode(QAbstractItemView::InternalMove);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setRootIsDecorated(true);
}

void RotationTree::dropEvent(QDropEvent* e) {
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
    auto* column = new QVBoxLayout(this);
    column->addWidget(tree_, 1);
    const auto button = [this](const char* name, const QString& text, const QString& tip) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        return b;
    };
    addSinger_ = button("AddSinger", QStringLiteral("Add &Singer..."), QStringLiteral("A singer joins at the end of the rotation"));
    addSongs_ = button("AddSongs", QStringLiteral("Add S&ongs..."), QStringLiteral("Songs for the selected singer, in the key and tempo they sang them last"));
    remove_ = button("Remove", QStringLiteral("&Remove"), QStringLiteral("The selected song, or the singer (their history is kept)"));
    away_ = button("Away", QStringLiteral("A&way"), QStringLiteral("Skipped, kept in place, until back"));
    history_ = button("History", QStringLiteral("&History..."), QStringLiteral("What the selected singer sang, and in which key"));
    singNext_ = button("SingNext", QStringLiteral("Sing &Next"), QStringLiteral("Loads the next singer's song in their key and tempo"));
    auto* row1 = new QHBoxLayout;
    for (QPushButton* b : {addSinger_, addSongs_, remove_, away_, history_}) row1->addWidget(b);
    column->addLayout(row1);
    auto* row2 = new QHBoxLayout;
    startAfter_ = new QSpinBox(this);
    startAfter_->setObjectName(QStringLiteral("StartAfter"));
    startAfter_->setRange(0, 120);
    startAfter_->setSuffix(QStringLiteral(" s"));
    startAfter_->setSpecialValueText(QStringLiteral("wait for Play"));
    auto* startLabel = new QLabel(QStringLiteral("Start after:"), this);
    startLabel->setBuddy(startAfter_);
    row2->addWidget(singNext_);
    row2->addWidget(startLabel);
    row2->addWidget(startAfter_);
    row2->addStretch(1);
    column->addLayout(row2);
    announcement_ = new QLabel(this);
    announcement_->setObjectName(QStringLiteral("Announcement"));
    announcement_->setWordWrap(true);
    column->addWidget(announcement_);

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
    askSongs = [this] {
        return QFileDialog::getOpenFileNames(this, QStringLiteral("Add Songs"), QString(), QStringLiteral("Karaoke songs (*.kar *.mid *.KAR *.MID);;All files (*)"));
    };
    tell = [this](const QString& title, const QString& text) {
        QMessageBox::warning(this, title, text);
        return true;
    };

    connect(addSinger_, &QPushButton::clicked, this, &RotationWindow::addSinger);
    connect(addSongs_, &QPushButton::clicked, this, &RotationWindow::addSongs);
    connect(remove_, &QPushButton::clicked, this, &RotationWindow::removeSelected);
    connect(away_, &QPushButton::clicked, this, &RotationWindow::toggleAway);
    connect(history_, &QPushButton::clicked, this, &RotationWindow::showHistory);
    connect(singNext_, &QPushButton::clicked, this, &RotationWindow::singNext);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &RotationWindow::updateButtons);
    tree_->moved = [this](QTreeWidgetItem* item, int place) {
        const bool ok = item->parent() ? store_.moveSong(item->data(0, kSongRole).toLongLong(), place)
                                       : store_.moveSinger(item->data(0, kSingerRole).toLongLong(), place);
        if (!ok) tell(QStringLiteral("Rotation"), QStringLiteral("The move was not kept: %1").arg(store_.lastError()));
        reload();
        emit changedByHost();
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

void RotationWindow::reload() {
    // The selection and the open rows stay across a reload.
    const qint64 singer = selectedSinger();
    const QTreeWidgetItem* current = tree_->currentItem();
    const qint64 song = current && current->parent() ? current->data(0, kSongRole).toLongLong() : 0;
    tree_->clear();
    int n = 0;
    for (const Singer& s : store_.rotation()) {
        auto* top = new QTreeWidgetItem(tree_, {QStringLiteral("%1. %2%3").arg(++n).arg(s.name, s.away ? QStringLiteral(" (away)") : QString())});
        top->setData(0, kSingerRole, s.id);
        top->setFlags(top->flags() | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
        if (s.away) top->setForeground(0, palette().color(QPalette::Disabled, QPalette::Text));
        for (const QueuedSong& q : s.queue) {
            auto* child = new QTreeWidgetItem(top, {q.title, signedKey(q.key), QStringLiteral("%1 %").arg(q.tempo)});
            child->setData(0, kSingerRole, s.id);
            child->setData(0, kSongRole, q.id);
            child->setToolTip(0, q.path);
            child->setFlags((child->flags() | Qt::ItemIsDragEnabled) & ~Qt::ItemIsDropEnabled);
            if (q.id == song) tree_->setCurrentItem(child);
        }
        top->setExpanded(true);
        if (s.id == singer && !song) tree_->setCurrentItem(top);
    }
    updateButtons();
}

qint64 RotationWindow::selectedSinger() const {
    const QTreeWidgetItem* item = tree_->currentItem();
    return item ? item->data(0, kSingerRole).toLongLong() : 0;
}

void RotationWindow::updateButtons() {
    const QTreeWidgetItem* item = tree_->currentItem();
    addSongs_->setEnabled(item != nullptr);
    remove_->setEnabled(item != nullptr);
    away_->setEnabled(item != nullptr);
    history_->setEnabled(item != nullptr);
    const QTreeWidgetItem* singer = item ? (item->parent() ? item->parent() : item) : nullptr;
    away_->setText(singer && singer->text(0).endsWith(QStringLiteral(" (away)")) ? QStringLiteral("&Back") : QStringLiteral("A&way"));
    singNext_->setEnabled(store_.next().has_value());
}

void RotationWindow::setAnnouncement(const QString& text) { announcement_->setText(text); }

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
    const qint64 singer = selectedSinger();
    if (!singer) return;
    QStringList failed;
    for (const QString& path : askSongs())
        if (!store_.addSong(singer, path)) failed << QStringLiteral("%1: %2").arg(path, store_.lastError());
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
    store_.setAway(singer, !away);
    reload();
    emit changedByHost();
}

void RotationWindow::showHistory() {
    const qint64 singer = selectedSinger();
    QString name;
    for (const Singer& s : store_.rotation())
        if (s.id == singer) name = s.name;
    QDialog d(this);
    d.setObjectName(QStringLiteral("HistoryDialog"));
    d.setWindowTitle(name.isEmpty() ? QStringLiteral("History") : QStringLiteral("History of %1").arg(name));
    auto* column = new QVBoxLayout(&d);
    auto* search = new QLineEdit(&d);
    search->setObjectName(QStringLiteral("HistorySearch"));
    search->setPlaceholderText(QStringLiteral("Search titles and files"));
    search->setClearButtonEnabled(true);
    auto* list = new QTreeWidget(&d);
    list->setObjectName(QStringLiteral("HistoryList"));
    list->setRootIsDecorated(false);
    list->setHeaderLabels({QStringLiteral("Sung"), QStringLiteral("Song"), QStringLiteral("Key"), QStringLiteral("Tempo"), QStringLiteral("Score")});
    const auto fill = [&] {
        list->clear();
        for (const SungSong& s : store_.history(name, search->text().trimmed(), 500))
            new QTreeWidgetItem(list, {s.sungAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")), s.title, signedKey(s.key),
                                       QStringLiteral("%1 %").arg(s.tempo), s.score ? QString::number(*s.score) : QString()});
    };
    connect(search, &QLineEdit::textChanged, &d, fill);
    fill();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &d);
    connect(buttons, &QDialogButtonBox::rejected, &d, &QDialog::reject);
    column->addWidget(search);
    column->addWidget(list, 1);
    column->addWidget(buttons);
    d.resize(640, 420);
    d.exec();
}

}  // namespace cantavo
