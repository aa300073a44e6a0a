#pragma once

#include <QString>

#include <cmath>
#include <cstdint>

namespace cantavo {

// Numbers shown on panels, put into command strings or written to files carry a leading
// blank where a minus sign would stand: " 5", "-5".
inline QString SignPosition(qint64 n) {
    return n < 0 ? QString::number(n) : QStringLiteral(" ") + QString::number(n);
}

// Conversions to integers round to the nearest value, halves to even.
inline qint64 RoundHalfEven(double v) {
    // The default rounding mode rounds to nearest with ties to even; the program never changes it.
    return static_cast<qint64>(std::nearbyint(v));
}

// mm:ss of a millisecond value: whole minutes, then the rest in seconds to the nearest
// whole number, both with at least two digits.
inline QString MinutesSeconds(double ms) {
    double minutes = std::trunc(ms / 60000.0);
    qint64 seconds = RoundHalfEven((ms / 60000.0 - minutes) * 60.0);
    if (seconds == 60) {  // 59.6 s reads "01:00", not "00:60"
        minutes += 1;
        seconds = 0;
    }
    return QStringLiteral("%1:%2").arg(static_cast<qint64>(minutes), 2, 10, QLatin1Char('0')).arg(seconds, 2, 10, QLatin1Char('0'));
}

}  // namespace cantavo
