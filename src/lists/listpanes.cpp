#include "listpanes.h"

#include <QDir>
#include <QStorageInfo>
#include <QVBoxLayout>

namespace cantavo {

namespace {

// Mounts that hold no one's songs.
bool isSystemMount(const QStorageInfo& s) {
    static const QStringList types{"proc", "sysfs", "tmpfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "mqueue", "debugfs",
                                   "tracefs", "securityfs", "pstore", "bpf", "autofs", "hugetlbfs", "fusectl", "configfs",
                                   "binfmt_misc", "efivarfs", "nsfs", "squashfs"};
    const QString root = s.rootPath();
    if (types.contains(QString::fromLatin1(s.fileSystemType()))) return true;
    for (const char* p : {"/proc", "/sys", "/dev", "/boot", "/snap", "/etc"})
        if (root == QLatin1String(p) || root.startsWith(QLatin1String(p) + QLatin1Char('/'))) return true;
    return root.startsWith(QLatin1String("/run/")) && !root.startsWith(QLatin1String("/run/media/"));
}

}  // namespace

FilePanes::FilePanes(QWidget* parent) : QWidget(parent) {
    places = new QComboBox(this);
    places->setObjectName(QStringLiteral("Drive1"));
    folderLabel = new QLabel(this);
    folderLabel->setObjectName(QStringLiteral("FolderLabel"));
    folderLabel->setWordWrap(true);
    folders = new QListWidget(this);
    folders->setObjectName(QStringLiteral("Dir1"));
    folders->setToolTip(QStringLiteral("Double-click a folder to open it"));
    pattern = new QComboBox(this);
    pattern->setObjectName(QStringLiteral("FilePattern"));
    pattern->addItem(QStringLiteral("*.kar"));
    pattern->addItem(QStringLiteral("*.kar *.mid *.midi"));
    files = new QListWidget(this);
    files->setObjectName(QStringLiteral("File1"));
    files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    files->setContextMenuPolicy(Qt::CustomContextMenu);
    files->setToolTip(QStringLiteral("Double-click: into the compilation; right button: preview"));

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(places);
    box->addWidget(folderLabel);
    box->addWidget(folders, 2);
    box->addWidget(pattern);
    box->addWidget(files, 3);

    fillPlaces();
    connect(places, &QComboBox::activated, this, [this](int i) { setFolder(places->itemData(i).toString()); });
    connect(folders, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        setFolder(QDir(folder_).absoluteFilePath(item->data(Qt::UserRole).toString()));
    });
    connect(pattern, &QComboBox::currentIndexChanged, this, &FilePanes::refresh);
    connect(files, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) { emit fileActivated(QDir(folder_).filePath(item->text())); });
    connect(files, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (QListWidgetItem* item = files->itemAt(at)) emit fileRightClicked(QDir(folder_).filePath(item->text()));
    });
    setFolder(QDir::currentPath());
}

void FilePanes::fillPlaces() {
    places->clear();
    places->addItem(QStringLiteral("/"), QStringLiteral("/"));
    places->addItem(QStringLiteral("Home (%1)").arg(QDir::homePath()), QDir::homePath());
    for (const QStorageInfo& s : QStorageInfo::mountedVolumes()) {
        if (!s.isValid() || !s.isReady() || s.isRoot() || isSystemMount(s)) continue;
        const QString name = s.displayName() == s.rootPath() ? s.rootPath() : QStringLiteral("%1 (%2)").arg(s.displayName(), s.rootPath());
        places->addItem(name, s.rootPath());
    }
}

void FilePanes::setFolder(const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists()) return;
    folder_ = dir.absolutePath();
    folderLabel->setText(QDir::toNativeSeparators(folder_));
    folders->clear();
    if (!dir.isRoot()) {
        auto* up = new QListWidgetItem(QStringLiteral(".."), folders);
        up->setData(Qt::UserRole, QStringLiteral(".."));
    }
    for (const QString& sub : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* item = new QListWidgetItem(sub + QLatin1Char('/'), folders);
        item->setData(Qt::UserRole, sub);
    }
    refresh();
}

void FilePanes::refresh() {
    const QStringList patterns = pattern->currentText().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    files->clear();
    // The pattern is compared without regard to case: "SONG.KAR" is a ".kar" file.
    QStringList names;
    for (const QString& name : QDir(folder_).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        for (const QString& p : patterns) {
            if (p == QStringLiteral("*") || name.endsWith(p.mid(1), Qt::CaseInsensitive)) {
                names << name;
                break;
            }
        }
    }
    files->addItems(names);
}

void FilePanes::setPatterns(const QStringList& patterns) {
    pattern->blockSignals(true);
    pattern->clear();
    pattern->addItems(patterns);
    pattern->blockSignals(false);
    pattern->setVisible(patterns.size() > 1);
    refresh();
}

QStringList FilePanes::selectedFiles() const {
    QStringList out;
    for (int i = 0; i < files->count(); ++i)
        if (files->item(i)->isSelected()) out << QDir(folder_).filePath(files->item(i)->text());
    return out;
}

}  // namespace cantavo
