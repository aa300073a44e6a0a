#pragma once

#include <QString>

namespace cantavo {

// Removes leading and trailing blanks (spaces only: line breaks stay).
QString TrimBlanks(const QString& text);

enum class TagKind { NotATag, Title, Info, Dropped };

// Classifies a converted text: "@T..." title, "@I..." information, any other "@x..." a tag
// that is recognised and dropped. `tagText` receives the text from the third character on.
TagKind ClassifyTag(const QString& text, QString* tagText = nullptr);

// Applies a tag to the song's title and information texts; returns NotATag for a text
// that is not a tag (then nothing is changed).
TagKind ApplyTag(const QString& text, QString& songTitle, QString& songInfo);

// The lyric rules: one trailing hyphen is removed, then a leading "//" becomes "\".
QString LyricEntry(const QString& text);

}  // namespace cantavo
