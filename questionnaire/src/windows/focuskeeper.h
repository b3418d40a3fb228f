#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

// Gives a window its keyboard focus back whenever it becomes the active window again: after
// a dialog or a message box, the help window, a report preview or a menu, the caret is
// where the owner left it, so typing goes on without a click.
//
// It remembers the last widget of the window that had the focus. When the window is
// activated and no widget of it has the focus (or the remembered one is gone or hidden),
// the remembered widget gets it back, or `fallback` chooses one. When another window of the
// program (a dialog, a message box, the help or a preview) closes and leaves no window
// active, as a window manager may, the watched window is activated again.
class FocusKeeper : public QObject {
    Q_OBJECT

public:
    FocusKeeper(QWidget* window, std::function<void()> fallback);

    // The widget that gets the focus back on the next activation.
    QWidget* remembered() const { return m_last; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void focusChanged(QWidget* old, QWidget* now);
    void restore();
    bool ours(const QWidget* w) const;

    QWidget* m_window;
    std::function<void()> m_fallback;
    QPointer<QWidget> m_last;
};
