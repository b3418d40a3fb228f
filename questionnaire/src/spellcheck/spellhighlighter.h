#pragma once

#include <QSyntaxHighlighter>

class SpellDictionary;

// What the answer box draws over its text without changing it: misspelt words underlined,
// and the reading zoom. Both are layout formats (QSyntaxHighlighter), never character
// formats of the document, so the RTF the box stores is the same with or without them.
// The answer box can carry only one highlighter, so the zoom lives here too.
class SpellHighlighter : public QSyntaxHighlighter {
    Q_OBJECT

public:
    explicit SpellHighlighter(QTextDocument* document);

    // The dictionary to check against; null checks nothing. Not owned.
    void setDictionary(SpellDictionary* dictionary);
    SpellDictionary* dictionary() const { return m_dictionary; }

    // Every type size drawn times `scale` (1 = as stored).
    void setScale(qreal scale);
    qreal scale() const { return m_scale; }

    // Whether the word at a document position is drawn as misspelt; false outside a word.
    bool isMarked(int position) const;

protected:
    void highlightBlock(const QString& text) override;

private:
    SpellDictionary* m_dictionary = nullptr;
    qreal m_scale = 1.0;
};
