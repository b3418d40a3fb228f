// RtfListStyle: how RTF's list numbering maps onto QTextListFormat, both ways.
//
// RTF names a level's numbering with \levelnfcN (or an old \pn word) and draws
// bullets as the level text's one character; Qt knows eight styles. The reader and
// the writer share this mapping, so a list written and read back keeps its style.
#pragma once

#include <QChar>
#include <QTextListFormat>

namespace quill::rtf {

// The \levelnfc value for "bullet".
constexpr int rtfBulletNfc = 23;

// The style for a level's \levelnfc value; bullets look at the bullet character.
QTextListFormat::Style listStyleForNfc(int nfc, QChar bullet);

// The style for a bullet character (the usual fonts' disc, circle and square).
QTextListFormat::Style bulletStyleFor(QChar bullet);

// The \levelnfc value the writer gives a style.
int nfcForListStyle(QTextListFormat::Style style);

bool isBulletStyle(QTextListFormat::Style style);

// The character the writer puts in a bullet level's text.
QChar bulletCharFor(QTextListFormat::Style style);

} // namespace quill::rtf
