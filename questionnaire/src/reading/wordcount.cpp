#include "wordcount.h"

#include "wordscanner.h"

#include <QEvent>
#include <QTextDocument>
#include <QTextEdit>

WordCount::WordCount(QTextEdit* box, QWidget* parent) : QLabel(parent), m_box(box) {
    connect(box, &QTextEdit::textChanged, this, &WordCount::update);
    box->installEventFilter(this);
    update();
}

void WordCount::update() {
    if (m_box->isHidden()) {
        m_words = 0;
        setText(QString());
        return;
    }
    m_words = WordScanner::count(m_box->document()->toPlainText());
    QString text =
        m_words == 1 ? QStringLiteral("1 word") : QStringLiteral("%1 words").arg(m_words);
    if (m_zoom != 100)
        text += QStringLiteral("    Zoom %1 %").arg(m_zoom);
    setText(text);
}

void WordCount::setZoom(int percent) {
    m_zoom = percent;
    update();
}

bool WordCount::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show || event->type() == QEvent::Hide)
        update();
    return QLabel::eventFilter(watched, event);
}
