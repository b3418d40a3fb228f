#pragma once

#include <QObject>

class QAction;
class QTextEdit;
class QWidget;
class SpellHighlighter;

// Zoom of the answer box for reading: Ctrl+plus (also Ctrl+=), Ctrl+minus and Ctrl+wheel
// over the box, Ctrl+0 back to the stored size, while the box has the focus. The text is drawn
// larger or smaller; what the box holds and stores is unchanged.
class AnswerZoom : public QObject {
    Q_OBJECT

public:
    static constexpr int MinPercent = 50;
    static constexpr int MaxPercent = 300;
    static constexpr int StepPercent = 10;

    // `drawing` is the box's highlighter, which draws the zoom.
    AnswerZoom(QTextEdit* box, SpellHighlighter* drawing);

    int percent() const { return m_percent; }
    void setPercent(int percent);
    void zoomIn() { setPercent(m_percent + StepPercent); }
    void zoomOut() { setPercent(m_percent - StepPercent); }

    QAction* zoomInAction() const { return m_in; }
    QAction* zoomOutAction() const { return m_out; }
    QAction* resetAction() const { return m_reset; }

signals:
    void zoomed(int percent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTextEdit* m_box;
    SpellHighlighter* m_drawing;
    QAction* m_in;
    QAction* m_out;
    QAction* m_reset;
    int m_percent = 100;
    int m_wheel = 0; // eighths of a degree not yet turned into a step (smooth wheels)
};
