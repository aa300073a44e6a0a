#pragma once

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QWidget>

namespace cantavo {

// Where songs are picked from: a places list (the file-system root, the home folder, mounted
// volumes), the folders of the current place and the karaoke files of the current folder.
class FilePanes : public QWidget {
    Q_OBJECT
public:
    explicit FilePanes(QWidget* parent = nullptr);

    QComboBox* places;     // Drive1
    QLabel* folderLabel;
    QListWidget* folders;  // Dir1
    QComboBox* pattern;    // the file list's pattern: "*.kar", or every karaoke extension
    QListWidget* files;    // File1, several may be chosen

    QString folder() const { return folder_; }
    void setFolder(const QString& folder);
    // Reads the folder again (files come and go while the window is hidden).
    void refresh();
    // The chosen files, whole paths, in list order.
    QStringList selectedFiles() const;
    // The patterns to choose from, each a blank-separated list such as "*.kar *.mid"; "*" is
    // every file.
    void setPatterns(const QStringList& patterns);
    void fillPlaces();

signals:
    void fileActivated(const QString& path);     // double-click
    void fileRightClicked(const QString& path);  // right button

private:
    QString folder_;
};

}  // namespace cantavo
