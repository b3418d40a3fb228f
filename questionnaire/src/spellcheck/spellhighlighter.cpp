#include "spellhighlighter.h"

#include "spelldictionary.h"
#include "wordscanner.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

SpellHighlighter::SpellHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {}

void SpellHighlighter::setDictionary(SpellDictionary* dictionary) {
    m_dictionary = dictionary;
    rehighlight();
}

void SpellHighlighter::setScale(qreal scale) {
    if (qFuzzyCompare(scale, m_scale))
        return;
    m_scale = scale;
    rehighlight();
}

bool SpellHighlighter::isMarked(int position) const {
    const QTextBlock block = document()->findBlock(position);
    if (!block.isValid() || !block.layout())
        return false;
    const int inBlock = position - block.position();
    for (const QTextLayout::FormatRange& r : block.layout()->formats()) {
        if (inBlock >= r.start && inBlock < r.start + r.length &&
            r.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline)
            return true;
    }
    return false;
}

void SpellHighlighter::highlightBlock(const QString& text) {
    if (!qFuzzyCompare(m_scale, 1.0)) {
        const QTextBlock block = currentBlock();
        const qreal base = document()->defaultFont().pointSizeF();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const qreal stored = fragment.charFormat().fontPointSize();
            QTextCharFormat zoomed;
            zoomed.setFontPointSize((stored > 0 ? stored : base > 0 ? base : 9.0) * m_scale);
            setFormat(fragment.position() - block.position(), fragment.length(), zoomed);
        }
    }
    if (!m_dictionary)
        return;
    for (const WordScanner::Span& w : WordScanner::checkable(text)) {
        if (m_dictionary->isCorrect(text.mid(w.start, w.length)))
            continue;
        // Each character keeps its zoomed size: the underline is added to what is there, once
        // for each run of characters formatted alike (setting it character by character was
        // most of the time a key took in a long paragraph).
        const qsizetype end = w.start + w.length;
        for (qsizetype i = w.start; i < end;) {
            QTextCharFormat f = format(int(i));
            qsizetype j = i + 1;
            while (j < end && format(int(j)) == f)
                ++j;
            f.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
            f.setUnderlineColor(Qt::red);
            setFormat(int(i), int(j - i), f);
            i = j;
        }
    }
}
