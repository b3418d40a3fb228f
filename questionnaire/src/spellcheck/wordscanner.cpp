#include "wordscanner.h"

namespace WordScanner {
namespace {

bool isApostrophe(QChar c) {
    return c == u'\'' || c == u'\u2019';
}

bool isWordChar(QChar c) {
    return c.isLetterOrNumber() || c.isMark();
}

} // namespace

QList<Span> checkable(QStringView text) {
    QList<Span> words;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (!isWordChar(text[i])) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        bool digit = false;
        bool lower = false;
        bool letters = false;
        while (i < n) {
            const QChar c = text[i];
            if (isWordChar(c)) {
                digit = digit || c.isDigit() || c.isNumber();
                lower = lower || c.isLower();
                letters = letters || c.isLetter();
                ++i;
            } else if (isApostrophe(c) && i + 1 < n && text[i + 1].isLetter() && i > start) {
                ++i;
            } else {
                break;
            }
        }
        // A single capital letter ("I", "A") counts as a word; longer runs of capitals are
        // taken for acronyms.
        const bool acronym = !lower && i - start > 1;
        if (!digit && letters && !acronym)
            words.append({start, i - start});
    }
    return words;
}

int count(QStringView text) {
    int words = 0;
    bool inRun = false;
    bool counted = false;
    for (const QChar c : text) {
        if (c.isSpace()) {
            inRun = false;
            continue;
        }
        if (!inRun) {
            inRun = true;
            counted = false;
        }
        if (!counted && c.isLetterOrNumber()) {
            counted = true;
            ++words;
        }
    }
    return words;
}

} // namespace WordScanner
