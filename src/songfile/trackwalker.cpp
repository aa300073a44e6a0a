#include "trackwalker.h"

namespace cantavo {

bool TrackWalker::beginTrack(qint64 from) {
    qint64 at = -1;
    if (file_.tagAt(from, "MTrk")) at = from;
    else if (declaredEnd_ >= 0 && file_.tagAt(declaredEnd_, "MTrk")) at = declaredEnd_;
    else at = file_.find("MTrk", from);
    if (at < 0 || at + 8 > file_.size()) {
        ended_ = true;
        return false;
    }
    file_.seek(at + 4);
    quint32 length = 0;
    for (int i = 0; i < 4; ++i) length = length << 8 | static_cast<quint32>(file_.ReadFileByte());
    declaredEnd_ = file_.position() + length;
    tick_ = 0;
    runningLength_ = 0;
    runningStatus_ = 0;
    ended_ = false;
    return true;
}

bool TrackWalker::next(MetaEvent& event) {
    TrackEvent e;
    while (nextEvent(e)) {
        if (e.status != 0xFF) continue;
        event.tick = e.tick;
        event.type = e.type;
        event.data = std::move(e.data);
        return true;
    }
    return false;
}

bool TrackWalker::nextEvent(TrackEvent& event) {
    while (!ended_) {
        if (file_.atEnd() || (file_.position() == declaredEnd_ && file_.tagAt(declaredEnd_, "MTrk"))) {
            ended_ = true;
            break;
        }
        tick_ += file_.ReadFileVarLen();
        int status = file_.ReadFileByte();
        event.tick = tick_;
        event.status = status;
        event.data1 = event.data2 = event.type = 0;
        event.data.clear();
        if (status == 0xFF) {
            int type = file_.ReadFileByte();
            if (type == 0x2F) {
                if (!file_.atEnd()) file_.ReadFileByte();
                ended_ = true;
                break;
            }
            // Lengths are variable-length quantities: text events of 128 bytes and more exist.
            qint32 length = file_.ReadFileVarLen();
            event.type = type;
            event.data = file_.ReadFileBytes(length);
            return true;
        }
        if (status == 0xF0 || status == 0xF7) {
            event.data = file_.ReadFileBytes(file_.ReadFileVarLen());
            return true;
        }
        if (status >= 0x80 && status <= 0xEF) {
            runningStatus_ = status;
            runningLength_ = (status >= 0xC0 && status <= 0xDF) ? 1 : 2;
            event.data1 = file_.ReadFileByte();
            if (runningLength_ == 2) event.data2 = file_.ReadFileByte();
            return true;
        }
        // A data byte under running status: the byte just read was the message's first data
        // byte. (A stray system byte is taken the same way.)
        const int second = runningLength_ == 2 ? file_.ReadFileByte() : 0;
        if (runningStatus_ == 0 || status >= 0x80) continue;  // nothing to attach it to
        event.status = runningStatus_;
        event.data1 = status;
        event.data2 = second;
        return true;
    }
    return false;
}

}  // namespace cantavo
