#pragma once

#include <QList>
#include <QStringView>

// Words in a text, as the spelling checker and the word count see them.
namespace WordScanner {

struct Span {
    qsizetype start = 0;
    qsizetype length = 0;
    bool operator==(const Span&) const = default;
};

// The words worth checking: runs of letters (with their combining marks) that may hold an
// apostrophe between letters ("don't", "owner’s"). A run that touches a digit ("Q3", "3rd",
// "mp3") is a code or a figure and is left out, and so is a word written all in capitals
// ("VAT", "SWOT"): business plans are full of acronyms no dictionary knows. Hyphens
// separate words, so each part of "well-known" is checked on its own.
QList<Span> checkable(QStringView text);

// The number of words as a word processor counts them: runs of non-blank characters that
// hold at least one letter or digit ("well-known" is one word, " - " is none).
int count(QStringView text);

} // namespace WordScanner
