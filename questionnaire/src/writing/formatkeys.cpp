#include "formatkeys.h"

#include <QAction>
#include <QMenu>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTextList>

#include <algorithm>

namespace {

// The list style of a level: bullets and numbers change their look one level in.
QTextListFormat::Style styleOf(bool numbered, int level) {
    static const QTextListFormat::Style bullets[] = {
        QTextListFormat::ListDisc, QTextListFormat::ListCircle, QTextListFormat::ListSquare};
    static const QTextListFormat::Style numbers[] = {QTextListFormat::ListDecimal,
                                                     QTextListFormat::ListLowerAlpha,
                                                     QTextListFormat::ListLowerRoman};
    const int i = std::max(0, level - 1) % 3;
    return numbered ? numbers[i] : bullets[i];
}

bool isNumbered(QTextListFormat::Style style) {
    return style == QTextListFormat::ListDecimal || style == QTextListFormat::ListLowerAlpha ||
           style == QTextListFormat::ListUpperAlpha || style == QTextListFormat::ListLowerRoman ||
           style == QTextListFormat::ListUpperRoman;
}

} // namespace

FormatKeys::FormatKeys(QTextEdit* box) : QObject(box), m_box(box) {
    const auto make = [this](const QString& text, const QKeySequence& key, bool checkable) {
        auto* a = new QAction(text, this);
        a->setShortcut(key);
        a->setCheckable(checkable);
        // Inside the box only (its viewport included): elsewhere the keys mean other things.
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_box->addAction(a);
        return a;
    };
    m_bold = make(QStringLiteral("&Bold"), QKeySequence::Bold, true);
    m_italic = make(QStringLiteral("&Italic"), QKeySequence::Italic, true);
    m_underline = make(QStringLiteral("&Underline"), QKeySequence::Underline, true);
    m_bullets = make(QStringLiteral("Bulleted &list"),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), true);
    m_numbers = make(QStringLiteral("&Numbered list"),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N), true);
    m_indent =
        make(QStringLiteral("Indent (list level &in)"), QKeySequence(Qt::CTRL | Qt::Key_M), false);
    m_outdent = make(QStringLiteral("Outdent (list level &out)"),
                     QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), false);
    m_clear = make(QStringLiteral("&Clear formatting"), QKeySequence(Qt::CTRL | Qt::Key_Backslash),
                   false);

    connect(m_bold, &QAction::triggered, this, &FormatKeys::setBold);
    connect(m_italic, &QAction::triggered, this, &FormatKeys::setItalic);
    connect(m_underline, &QAction::triggered, this, &FormatKeys::setUnderline);
    connect(m_bullets, &QAction::triggered, this, [this] { toggleList(false); });
    connect(m_numbers, &QAction::triggered, this, [this] { toggleList(true); });
    connect(m_indent, &QAction::triggered, this, [this] { changeLevel(+1); });
    connect(m_outdent, &QAction::triggered, this, [this] { changeLevel(-1); });
    connect(m_clear, &QAction::triggered, this, &FormatKeys::clear);
    connect(m_box, &QTextEdit::currentCharFormatChanged, this, &FormatKeys::showCurrentFormat);
    connect(m_box, &QTextEdit::cursorPositionChanged, this, &FormatKeys::showCurrentFormat);
    showCurrentFormat();
}

void FormatKeys::addMenuTo(QMenu* menu) const {
    menu->addSeparator();
    QMenu* format = menu->addMenu(QStringLiteral("&Format"));
    format->addActions({m_bold, m_italic, m_underline});
    format->addSeparator();
    format->addActions({m_bullets, m_numbers, m_indent, m_outdent});
    format->addSeparator();
    format->addAction(m_clear);
    format->setEnabled(!m_box->isReadOnly());
}

void FormatKeys::setBold(bool on) {
    QTextCharFormat f;
    f.setFontWeight(on ? QFont::Bold : QFont::Normal);
    m_box->mergeCurrentCharFormat(f);
}

void FormatKeys::setItalic(bool on) {
    QTextCharFormat f;
    f.setFontItalic(on);
    m_box->mergeCurrentCharFormat(f);
}

void FormatKeys::setUnderline(bool on) {
    QTextCharFormat f;
    f.setFontUnderline(on);
    m_box->mergeCurrentCharFormat(f);
}

void FormatKeys::toggleList(bool numbered) {
    if (m_box->isReadOnly())
        return;
    QTextCursor c = m_box->textCursor();
    c.beginEditBlock();
    if (QTextList* list = c.currentList(); list && isNumbered(list->format().style()) == numbered) {
        // The same kind again: the paragraphs leave the list.
        const int first = c.selectionStart(), last = c.selectionEnd();
        QTextBlock b = m_box->document()->findBlock(first);
        while (b.isValid() && b.position() <= last) {
            if (QTextList* in = b.textList())
                in->remove(b);
            QTextCursor at(b);
            QTextBlockFormat plain = b.blockFormat();
            plain.setIndent(0);
            at.setBlockFormat(plain);
            b = b.next();
        }
    } else if (list) {
        // The other kind: the list changes its look, its levels kept.
        QTextListFormat f = list->format();
        f.setStyle(styleOf(numbered, f.indent()));
        list->setFormat(f);
    } else {
        QTextListFormat f;
        f.setIndent(1);
        f.setStyle(styleOf(numbered, 1));
        c.createList(f);
    }
    c.endEditBlock();
    showCurrentFormat();
}

void FormatKeys::changeLevel(int delta) {
    if (m_box->isReadOnly())
        return;
    QTextCursor c = m_box->textCursor();
    c.beginEditBlock();
    if (QTextList* list = c.currentList()) {
        QTextListFormat f = list->format();
        const int level = f.indent() + delta;
        if (level < 1) {
            // Out of the first level: a paragraph again.
            list->remove(c.block());
            QTextBlockFormat plain = c.blockFormat();
            plain.setIndent(0);
            c.setBlockFormat(plain);
        } else {
            f.setIndent(level);
            f.setStyle(styleOf(isNumbered(f.style()), level));
            c.createList(f);
        }
    } else {
        QTextBlockFormat f = c.blockFormat();
        f.setIndent(std::max(0, f.indent() + delta));
        c.setBlockFormat(f);
    }
    c.endEditBlock();
}

void FormatKeys::clear() {
    if (m_box->isReadOnly())
        return;
    QTextCursor c = m_box->textCursor();
    // The box's own font and colours, without bold, italic, underline or sizes of its own.
    if (c.hasSelection())
        c.setCharFormat(QTextCharFormat());
    m_box->setCurrentCharFormat(QTextCharFormat());
    showCurrentFormat();
}

void FormatKeys::showCurrentFormat() {
    const QTextCharFormat f = m_box->currentCharFormat();
    m_bold->setChecked(f.fontWeight() >= QFont::Bold);
    m_italic->setChecked(f.fontItalic());
    m_underline->setChecked(f.fontUnderline());
    const QTextList* list = m_box->textCursor().currentList();
    m_bullets->setChecked(list && !isNumbered(list->format().style()));
    m_numbers->setChecked(list && isNumbered(list->format().style()));
}
