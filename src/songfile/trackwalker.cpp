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
    ended_ = false;
    return true;
}

bool TrackWalker::next(MetaEvent& event) {
    while (!ended_) {
        if (file_.atEnd() || (file_.position() == declaredEnd_ && file_.tagAt(declaredEnd_, "MTrk"))) {
            ended_ = true;
            break;
        }
        tick_ += file_.ReadFileVarLen();
        int status = file_.ReadFileByte();
        if (status == 0xFF) {
            int type = file_.ReadFileByte();
            if (type == 0x2F) {
                if (!file_.atEnd()) file_.ReadFileByte();
                ended_ = true;
                break;
            }
            // Lengths are variable-length quantities: text events of 128 bytes and more exist.
            qint32 length = file_.ReadFileVarLen();
            event.tick = tick_;
            event.type = type;
            event.data = file_.ReadFileBytes(length);
            return true;
        }
        if (status == 0xF0 || status == 0xF7) {
            file_.Skip(file_.ReadFileVarLen());
        } else if ((status >= 0x80 && status <= 0xBF) || (status >= 0xE0 && status <= 0xEF)) {
            file_.Skip(2);
            runningLength_ = 2;
        } else if (status >= 0xC0 && status <= 0xDF) {
            file_.Skip(1);
            runningLength_ = 1;
        } else if (runningLength_ == 2) {
            // A data byte under running status: the status byte just read was its first byte.
            file_.Skip(1);
        }
    }
    return false;
}

}  // namespace cantavo
