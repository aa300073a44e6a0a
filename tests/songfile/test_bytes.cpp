#include <gtest/gtest.h>

#include "bytereader.h"
#include "chartable.h"
#include "helpers.h"
#include "songencoding.h"
#include "numbers.h"

using namespace cantavo;
using cantavo::test::hex;

TEST(ChunkBytes, ReadByteIsOneBasedAndAdvances) {
    QByteArray chunk = hex("0aff80");
    qint32 pos = 1;
    EXPECT_EQ(ReadByte(chunk, pos), 0x0A);
    EXPECT_EQ(pos, 2);
    EXPECT_EQ(ReadByte(chunk, pos), 0xFF);
    EXPECT_EQ(ReadByte(chunk, pos), 0x80);
    EXPECT_EQ(pos, 4);
    EXPECT_THROW(ReadByte(chunk, pos), SongReadError);
    qint32 zero = 0;
    EXPECT_THROW(ReadByte(chunk, zero), SongReadError);
}

TEST(ChunkBytes, VariableLengthQuantities) {
    struct Case { const char* bytes; qint32 value; qint32 next; };
    const Case cases[] = {
        {"00", 0, 2}, {"7f", 127, 2}, {"8100", 128, 3}, {"c000", 8192, 3},
        {"ff7f", 16383, 3}, {"818000", 16384, 4}, {"ffffff7f", 0x0FFFFFFF, 5},
        {"8100ff", 128, 3},  // stops after the byte without bit 7
    };
    for (const Case& c : cases) {
        qint32 pos = 1;
        EXPECT_EQ(ReadVarLen(hex(c.bytes), pos), c.value) << c.bytes;
        EXPECT_EQ(pos, c.next) << c.bytes;
    }
}

TEST(ChunkBytes, VariableLengthErrors) {
    qint32 pos = 1;
    EXPECT_THROW(ReadVarLen(hex("8181"), pos), SongReadError);  // cut off
    pos = 1;
    try {
        ReadVarLen(hex("ffffffff7f"), pos);  // five groups: more than 32 bits can hold
        FAIL() << "no overflow";
    } catch (const SongReadError& e) {
        EXPECT_EQ(e.kind(), SongReadError::Kind::Overflow);
    }
}

TEST(FileBytes, ReadsAndStopsAtTheEnd) {
    SongFile f(hex("4d5468648100"));
    EXPECT_TRUE(f.tagAt(0, "MThd"));
    EXPECT_FALSE(f.tagAt(3, "MThd"));
    EXPECT_EQ(f.ReadFileBytes(4), QByteArray("MThd"));
    EXPECT_EQ(f.ReadFileVarLen(), 128);
    EXPECT_TRUE(f.atEnd());
    EXPECT_THROW(f.ReadFileByte(), SongReadError);
    f.seek(4);
    EXPECT_THROW(f.ReadFileBytes(3), SongReadError);
    EXPECT_THROW(f.Skip(-1), SongReadError);
}

TEST(CharacterTable, EveryEntry) {
    const QString expected = QStringLiteral(" CüéâäàacêëèïîìÄAÉêöòûùÿÖÜáíóúñÑ");
    const char* bytes = "00808182838485868788898a8b8c8d8e8f9093949596979899 9aa0a1a2a3a4a5";
    QByteArray b = QByteArray::fromHex(QByteArray(bytes).replace(' ', ""));
    EXPECT_EQ(ConvertOemChars(b), expected);
}

TEST(CharacterTable, OtherBytesAreWindows1252AndLengthIsKept) {
    EXPECT_EQ(ConvertOemChars(hex("636166") + hex("82")), QStringLiteral("café"));
    EXPECT_EQ(ConvertOemChars(hex("91929b9f")), QStringLiteral("‘’›Ÿ"));
    EXPECT_EQ(ConvertOemChars(hex("a6e9ff")), QStringLiteral("¦éÿ"));
    EXPECT_EQ(ConvertOemChars(QByteArray("a-b c")), QStringLiteral("a-b c"));
    EXPECT_EQ(ConvertOemChars(hex("9d")).size(), 1);
    EXPECT_EQ(DecodeWindows1252(hex("0082")), QString(QChar(0)) + QStringLiteral("‚"));
}

TEST(CharacterTable, Utf8Detection) {
    bool multi = true;
    EXPECT_TRUE(IsValidUtf8("plain", &multi));
    EXPECT_FALSE(multi);
    EXPECT_TRUE(IsValidUtf8(QStringLiteral("Ça va, Zoë €").toUtf8(), &multi));
    EXPECT_TRUE(multi);
    EXPECT_FALSE(IsValidUtf8(hex("636166e9"), nullptr));    // Latin-1 é
    EXPECT_FALSE(IsValidUtf8(hex("c0af"), nullptr));        // overlong
    EXPECT_FALSE(IsValidUtf8(hex("eda080"), nullptr));      // surrogate
    EXPECT_FALSE(IsValidUtf8(hex("e282"), nullptr));        // cut off
    EXPECT_EQ(DecodeSongText(hex("c3a700"), SongEncoding{"UTF-8"}, true), QStringLiteral("ç "));
}

TEST(Numbers, SignPositionRoundingAndTime) {
    EXPECT_EQ(SignPosition(5), QStringLiteral(" 5"));
    EXPECT_EQ(SignPosition(0), QStringLiteral(" 0"));
    EXPECT_EQ(SignPosition(-3), QStringLiteral("-3"));
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
    EXPECT_EQ(RoundHalfEven(2.51), 3);
    EXPECT_EQ(RoundHalfEven(60000000.0 / 461538), 130);
    EXPECT_EQ(MinutesSeconds(0), QStringLiteral("00:00"));
    EXPECT_EQ(MinutesSeconds(61400), QStringLiteral("01:01"));
    EXPECT_EQ(MinutesSeconds(61600), QStringLiteral("01:02"));
    EXPECT_EQ(MinutesSeconds(59600), QStringLiteral("01:00"));
    EXPECT_EQ(MinutesSeconds(754000), QStringLiteral("12:34"));
}
