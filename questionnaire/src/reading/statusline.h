#pragma once

#include <QLabel>
#include <QPointer>
#include <QTimer>

class QTextEdit;

// The window's status line, in the free space at the right of the bottom row: the word
// count of the answer in the box ("1 word", "250 words"), with the zoom when it is not
// 100 %, or for a while a message the owner should see. Empty on an overview step, where
// there is no answer box.
//
// It keeps to the row of `anchor` (the last button of the bottom row), wherever the resize
// handler puts it, and takes no room from the designed controls: a status bar would make
// the client area shorter and could cover the bottom row of a small window.
class StatusLine : public QLabel {
    Q_OBJECT

public:
    static constexpr int MessageMs = 15000;

    StatusLine(QTextEdit* box, QWidget* anchor);

    int words() const { return m_words; }
    // The count and zoom as shown when no message is up.
    QString countText() const;
    // Counts again now (otherwise done as the box changes).
    void update();
    void setZoom(int percent);
    // Shows a message for a while instead of the count; the whole text is in the tooltip.
    void showMessage(const QString& message);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();
    void refreshText();

    QTextEdit* m_box;
    QPointer<QWidget> m_anchor;
    QTimer m_messageTime;
    QString m_message;
    int m_words = 0;
    int m_zoom = 100;
};
