#include "cataloguescan.h"

namespace cantavo {

CatalogueScan::CatalogueScan(QObject* parent) : QObject(parent) {
    qRegisterMetaType<QList<cantavo::SongRow>>();
}

CatalogueScan::~CatalogueScan() {
    cancel();
    if (thread_) thread_->wait();
    delete thread_;
}

void CatalogueScan::start(const QStringList& folders) {
    if (running()) return;
    if (thread_) thread_->wait();
    delete thread_;
    cancel_.store(false);
    thread_ = QThread::create([this, folders] {
        QStringList leftOut;
        // Progress is told at most every 1 % of the files: the window repaints, not the thread.
        int lastTold = -1;
        QList<SongRow> rows = CatalogueFolders(folders, &leftOut, &cancel_, [this, &lastTold](int done, int total) {
            const int step = std::max(1, total / 100);
            if (done == total || done / step != lastTold) {
                lastTold = done / step;
                emit progress(done, total);
            }
        });
        emit finished(rows, leftOut);
    });
    thread_->start();
}

}  // namespace cantavo
