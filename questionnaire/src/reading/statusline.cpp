#include "statusline.h"

#include "wordscanner.h"

#include <QEvent>
#include <QTextDocument>
#include <QTextEdit>

namespace {

// Pixels between the bottom row's last button and the status line, and the window's edge.
constexpr int Gap = 16;

} // namespace

StatusLine::StatusLine(QTextEdit* box, QWidget* anchor)
    : QLabel(anchor->parentWidget()), m_box(box), m_anchor(anchor) {
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setTextFormat(Qt::PlainText);
    m_messageTime.setSingleShot(true);
    m_messageTime.setInterval(MessageMs);
    connect(&m_messageTime, &QTimer::timeout, this, [this] {
        m_message.clear();
        setToolTip(QString());
        refreshText();
    });
    connect(box, &QTextEdit::textChanged, this, &StatusLine::update);
    box->installEventFilter(this);
    anchor->installEventFilter(this);
    parentWidget()->installEventFilter(this);
    place();
    update();
}

QString StatusLine::countText() const {
    if (m_box->isHidden())
        return {};
    QString text =
        m_words == 1 ? QStringLiteral("1 word") : QStringLiteral("%1 words").arg(m_words);
    if (m_zoom != 100)
        text += QStringLiteral("    Zoom %1 %").arg(m_zoom);
    return text;
}

void StatusLine::update() {
    m_words = m_box->isHidden() ? 0 : WordScanner::count(m_box->document()->toPlainText());
    refreshText();
}

void StatusLine::setZoom(int percent) {
    m_zoom = percent;
    refreshText();
}

void StatusLine::showMessage(const QString& message) {
    m_message = message;
    setToolTip(message);
    m_messageTime.start();
    refreshText();
}

void StatusLine::refreshText() {
    const QString text = m_message.isEmpty() ? countText() : m_message;
    setText(fontMetrics().elidedText(text, Qt::ElideRight, qMax(0, width())));
}

void StatusLine::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    refreshText();
}

void StatusLine::place() {
    if (!m_anchor)
        return;
    const QRect a = m_anchor->geometry();
    const int left = a.right() + 1 + Gap;
    setGeometry(left, a.top(), qMax(0, parentWidget()->width() - Gap - left), a.height());
    raise();
}

bool StatusLine::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (watched == m_box && (t == QEvent::Show || t == QEvent::Hide))
        update();
    else if ((watched == m_anchor || watched == parentWidget()) &&
             (t == QEvent::Move || t == QEvent::Resize))
        place();
    return QLabel::eventFilter(watched, event);
}
