#include "chartable.h"

namespace cantavo {

namespace {

// Windows-1252 for 0x80..0x9F; the five bytes it leaves undefined map to the C1 controls.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QChar windows1252(unsigned char c) {
    if (c >= 0x80 && c <= 0x9F) return QChar(kCp1252High[c - 0x80]);
    return QChar(static_cast<char16_t>(c));
}

// The DOS characters karaoke files use for accented letters. Zero means "no entry".
char16_t tableEntry(unsigned char c) {
    switch (c) {
    case 0x00: return u' ';
    case 0x80: return u'C';
    case 0x81: return u'ü';
    case 0x82: return u'é';
    case 0x83: return u'â';
    case 0x84: return u'ä';
    case 0x85: return u'à';
    case 0x86: return u'a';
    case 0x87: return u'c';
    case 0x88: return u'ê';
    case 0x89: return u'ë';
    case 0x8A: return u'è';
    case 0x8B: return u'ï';
    case 0x8C: return u'î';
    case 0x8D: return u'ì';
    case 0x8E: return u'Ä';
    case 0x8F: return u'A';
    case 0x90: return u'É';
    case 0x93: return u'ê';
    case 0x94: return u'ö';
    case 0x95: return u'ò';
    case 0x96: return u'û';
    case 0x97: return u'ù';
    case 0x98: return u'ÿ';
    case 0x99: return u'Ö';
    case 0x9A: return u'Ü';
    case 0xA0: return u'á';
    case 0xA1: return u'í';
    case 0xA2: return u'ó';
    case 0xA3: return u'ú';
    case 0xA4: return u'ñ';
    case 0xA5: return u'Ñ';
    default: return 0;
    }
}

}  // namespace

QString ConvertOemChars(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        char16_t t = tableEntry(c);
        out.append(t ? QChar(t) : windows1252(c));
    }
    return out;
}

QString DecodeWindows1252(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) out.append(windows1252(static_cast<unsigned char>(ch)));
    return out;
}

bool IsValidUtf8(const QByteArray& bytes, bool* multiByte) {
    bool multi = false;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    qsizetype n = bytes.size(), i = 0;
    while (i < n) {
        unsigned char c = p[i];
        int extra;
        char32_t min;
        if (c < 0x80) { ++i; continue; }
        if ((c & 0xE0) == 0xC0) { extra = 1; min = 0x80; }
        else if ((c & 0xF0) == 0xE0) { extra = 2; min = 0x800; }
        else if ((c & 0xF8) == 0xF0) { extra = 3; min = 0x10000; }
        else return false;
        if (i + extra >= n) return false;
        char32_t cp = c & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            unsigned char d = p[i + k];
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        multi = true;
        i += extra + 1;
    }
    if (multiByte) *multiByte = multi;
    return true;
}

}  // namespace cantavo
