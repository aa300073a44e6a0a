#include <gtest/gtest.h>

#include "karaoketext.h"

using namespace cantavo;

TEST(Tags, TitleLinesJoinWithLineBreaks) {
    QString title, info;
    EXPECT_EQ(ApplyTag(QStringLiteral("@TMy Song"), title, info), TagKind::Title);
    EXPECT_EQ(ApplyTag(QStringLiteral("@TSung by Somebody"), title, info), TagKind::Title);
    EXPECT_EQ(title, QStringLiteral("My Song\r\nSung by Somebody"));
    EXPECT_TRUE(info.isEmpty());
}

TEST(Tags, FirstTitleIsKeptAsIsLaterOnesTrimTheWhole) {
    QString title, info;
    ApplyTag(QStringLiteral("@T  Spaced  "), title, info);
    EXPECT_EQ(title, QStringLiteral("  Spaced  "));
    ApplyTag(QStringLiteral("@TNext  "), title, info);
    EXPECT_EQ(title, QStringLiteral("Spaced  \r\nNext"));
}

TEST(Tags, InformationLinesEachFollowALineBreak) {
    QString title, info;
    ApplyTag(QStringLiteral("@IWords: A"), title, info);
    ApplyTag(QStringLiteral("@IMusic: B"), title, info);
    EXPECT_EQ(info, QStringLiteral("\r\nWords: A\r\nMusic: B"));
    EXPECT_EQ(info.mid(1), QStringLiteral("\nWords: A\r\nMusic: B"));
}

TEST(Tags, OtherLettersAreRecognisedAndDropped) {
    QString title, info;
    for (const char* t : {"@KMIDI KARAOKE FILE", "@V0100", "@LENGL", "@WWords", "@tMy Song", "@", "@x"}) {
        EXPECT_EQ(ApplyTag(QString::fromLatin1(t), title, info), TagKind::Dropped) << t;
    }
    EXPECT_TRUE(title.isEmpty());
    EXPECT_TRUE(info.isEmpty());
    EXPECT_EQ(ApplyTag(QStringLiteral("not @T a tag"), title, info), TagKind::NotATag);
}

TEST(LyricRules, HyphensAndBreakMarks) {
    EXPECT_EQ(LyricEntry(QStringLiteral("Hel-")), QStringLiteral("Hel"));
    EXPECT_EQ(LyricEntry(QStringLiteral("lo")), QStringLiteral("lo"));
    EXPECT_EQ(LyricEntry(QStringLiteral(" world")), QStringLiteral(" world"));
    EXPECT_EQ(LyricEntry(QStringLiteral("//Next")), QStringLiteral("\\Next"));
    EXPECT_EQ(LyricEntry(QStringLiteral("/line")), QStringLiteral("/line"));
    EXPECT_EQ(LyricEntry(QStringLiteral("\\Page")), QStringLiteral("\\Page"));
    EXPECT_EQ(LyricEntry(QStringLiteral("--")), QStringLiteral("-"));
    EXPECT_EQ(LyricEntry(QStringLiteral("//-")), QStringLiteral("\\"));
    EXPECT_EQ(LyricEntry(QString()), QString());
    EXPECT_EQ(LyricEntry(QStringLiteral("end ")), QStringLiteral("end "));
}

TEST(LyricRules, TrimBlanksLeavesLineBreaks) {
    EXPECT_EQ(TrimBlanks(QStringLiteral("  a b  ")), QStringLiteral("a b"));
    EXPECT_EQ(TrimBlanks(QStringLiteral("\r\nx ")), QStringLiteral("\r\nx"));
    EXPECT_EQ(TrimBlanks(QStringLiteral("   ")), QString());
}
