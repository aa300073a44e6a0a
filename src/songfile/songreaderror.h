#pragma once

#include <QString>

#include <stdexcept>

namespace cantavo {

// A run-time failure while reading a song: the read is abandoned and the caller reports it.
class SongReadError : public std::runtime_error {
public:
    enum class Kind { PastEndOfFile, Overflow, SubscriptOutOfRange, NoTrack, CannotOpen };
    SongReadError(Kind kind, const QString& message)
        : std::runtime_error(message.toStdString()), kind_(kind), message_(message) {}
    Kind kind() const { return kind_; }
    const QString& message() const { return message_; }

private:
    Kind kind_;
    QString message_;
};

}  // namespace cantavo
