#pragma once

#include <QObject>
#include <QStringList>
#include <QThread>

#include <atomic>

#include "songlist.h"

namespace cantavo {

// "Add &Folder...": the catalogue of folders made on a thread of its own, so that the window
// stays responsive over thousands of songs.
//
// Threading: start() runs CatalogueFolders() on a QThread owned by this object (which reads
// the songs on helper threads of its own, see there). The thread touches nothing but its own
// locals and the atomic cancel flag; it reports through the
// progress() and finished() signals, which Qt queues to the thread this object lives in
// (the window's). cancel() only sets the flag; the thread then ends after the song it is
// reading, and finished() still comes, with the rows found so far. The destructor cancels
// and waits for the thread.
class CatalogueScan : public QObject {
    Q_OBJECT
public:
    explicit CatalogueScan(QObject* parent = nullptr);
    ~CatalogueScan() override;

    void start(const QStringList& folders);
    void cancel() { cancel_.store(true); }
    bool running() const { return thread_ && thread_->isRunning(); }
    bool cancelled() const { return cancel_.load(); }

signals:
    void progress(int done, int total);
    // The rows in folder and name order, and the files left out ("path: reason").
    void finished(const QList<cantavo::SongRow>& rows, const QStringList& leftOut);

private:
    QThread* thread_ = nullptr;
    std::atomic_bool cancel_{false};
};

}  // namespace cantavo
