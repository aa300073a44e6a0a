#include "rotationdialogs.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

#include "livesettings.h"

namespace cantavo {

namespace {


QLineEdit* searchBox(QDialog* d, const char* name, const QString& hint) {
    auto* search = new QLineEdit(d);
    search->setObjectName(QString::fromLatin1(name));
    search->setPlaceholderText(hint);
    search->setClearButtonEnabled(true);
    return search;
}

}  // namespace

HistoryDialog::HistoryDialog(const RotationStore& store, const QString& singer, QWidget* parent) : QDialog(parent), store_(store), singer_(singer) {
    setObjectName(QStringLiteral("HistoryDialog"));
    setWindowTitle(singer.isEmpty() ? QStringLiteral("History") : QStringLiteral("History of %1").arg(singer));
    auto* column = new QVBoxLayout(this);
    search_ = searchBox(this, "HistorySearch", QStringLiteral("Search titles and files"));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("HistoryList"));
    list_->setRootIsDecorated(false);
    QStringList headers{QStringLiteral("Sung"), QStringLiteral("Song"), QStringLiteral("Key"), QStringLiteral("Tempo"), QStringLiteral("Score")};
    if (singer.isEmpty()) headers.insert(1, QStringLiteral("Singer"));
    list_->setHeaderLabels(headers);
    connect(search_, &QLineEdit::textChanged, this, &HistoryDialog::fill);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(search_);
    column->addWidget(list_, 1);
    column->addWidget(buttons);
    resize(640, 420);
    fill();
}

void HistoryDialog::fill() {
    list_->clear();
    for (const SungSong& s : store_.history(singer_, search_->text().trimmed(), 500)) {
        QStringList cells{s.sungAt.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm")), s.title, KeyText(s.key),
                          QStringLiteral("%1 %").arg(s.tempo), s.score ? QString::number(*s.score) : QString()};
        if (singer_.isEmpty()) cells.insert(1, s.singer);
        auto* row = new QTreeWidgetItem(list_, cells);
        row->setToolTip(singer_.isEmpty() ? 2 : 1, s.path);
    }
}

CatalogueDialog::CatalogueDialog(const QList<SongRow>& rows, const QString& singer, QWidget* parent) : QDialog(parent), rows_(rows) {
    setObjectName(QStringLiteral("CatalogueDialog"));
    setWindowTitle(QStringLiteral("Songs for %1").arg(singer));
    auto* column = new QVBoxLayout(this);
    search_ = searchBox(this, "CatalogueSearch", QStringLiteral("Search titles, authors and file names"));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("CatalogueList"));
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setHeaderLabels({QStringLiteral("Title"), QStringLiteral("Author"), QStringLiteral("Length"), QStringLiteral("File")});
    list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    list_->header()->setStretchLastSection(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    QPushButton* add = buttons->addButton(QStringLiteral("&Add"), QDialogButtonBox::AcceptRole);
    add->setObjectName(QStringLiteral("CatalogueAdd"));
    add->setEnabled(false);
    connect(list_, &QTreeWidget::itemSelectionChanged, add, [this, add] { add->setEnabled(!list_->selectedItems().isEmpty()); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(search_, &QLineEdit::textChanged, this, &CatalogueDialog::fill);
    column->addWidget(search_);
    column->addWidget(list_, 1);
    if (rows.isEmpty()) {
        auto* empty = new QLabel(QStringLiteral("The catalogue is empty: fill it with Add Folder in the song list."), this);
        empty->setWordWrap(true);
        column->addWidget(empty);
    }
    column->addWidget(buttons);
    resize(720, 480);
    fill();
}

void CatalogueDialog::fill() {
    list_->clear();
    const QStringList words = search_->text().simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    int shown = 0;
    for (int i = 0; i < rows_.size() && shown < kShown; ++i) {
        const SongRow& r = rows_[i];
        // Every word typed is somewhere in the title, the author or the file name.
        const bool match = std::all_of(words.begin(), words.end(), [&r](const QString& w) {
            return r.title.contains(w, Qt::CaseInsensitive) || r.author.contains(w, Qt::CaseInsensitive) || r.fileName.contains(w, Qt::CaseInsensitive);
        });
        if (!match) continue;
        auto* row = new QTreeWidgetItem(list_, {r.title, r.author, r.length, r.fileName});
        row->setData(0, Qt::UserRole, i);
        row->setToolTip(3, r.fullPath());
        ++shown;
    }
}

QStringList CatalogueDialog::chosen() const {
    // In the catalogue's order, whatever order they were picked in.
    std::vector<int> picked;
    for (const QTreeWidgetItem* item : list_->selectedItems()) picked.push_back(item->data(0, Qt::UserRole).toInt());
    std::sort(picked.begin(), picked.end());
    QStringList paths;
    for (int i : picked) paths << rows_.value(i).fullPath();
    return paths;
}

}  // namespace cantavo
