#include "focuskeeper.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

FocusKeeper::FocusKeeper(QWidget* window, std::function<void()> fallback)
    : QObject(window), m_window(window), m_fallback(std::move(fallback)) {
    connect(qApp, &QApplication::focusChanged, this, &FocusKeeper::focusChanged);
    window->installEventFilter(this);
    // Windows of our own that close: a dialog, a message box, the help or a preview.
    qApp->installEventFilter(this);
}

bool FocusKeeper::ours(const QWidget* w) const {
    return w && w->window() == m_window;
}

void FocusKeeper::focusChanged(QWidget*, QWidget* now) {
    if (ours(now))
        m_last = now;
}

bool FocusKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window && event->type() == QEvent::WindowActivate) {
        // After Qt's own restoring, which runs once this event is handled.
        QTimer::singleShot(0, this, &FocusKeeper::restore);
    } else if (event->type() == QEvent::Hide && watched != m_window && watched->isWidgetType()) {
        auto* closing = static_cast<QWidget*>(watched);
        // Another window of the program goes away (a dialog, a message box, the help, a
        // preview): when that leaves no window active, the owner comes back to this one.
        if (closing->isWindow() &&
            !(closing->windowType() == Qt::Popup || closing->windowType() == Qt::ToolTip) &&
            m_window->isVisible() && !m_window->isMinimized()) {
            QTimer::singleShot(0, this, [this] {
                if (!QApplication::activeWindow() && !QApplication::activeModalWidget())
                    m_window->activateWindow();
                restore();
            });
        }
    }
    return QObject::eventFilter(watched, event);
}

void FocusKeeper::restore() {
    if (!m_window->isActiveWindow())
        return;
    // Focus on a control of ours stays; on the window itself or a container it is lost.
    const QWidget* focus = QApplication::focusWidget();
    if (ours(focus) && focus->isVisible() && focus != m_window &&
        (focus->focusPolicy() & Qt::TabFocus))
        return;
    if (m_last && ours(m_last) && m_last->isVisible() && m_last->isEnabled() &&
        m_last->focusPolicy() != Qt::NoFocus) {
        m_last->setFocus(Qt::ActiveWindowFocusReason);
        return;
    }
    if (m_fallback)
        m_fallback();
}
