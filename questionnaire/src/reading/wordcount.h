#pragma once

#include <QLabel>
#include <QTimer>

class QTextEdit;

// The status line's word count of the answer in the box ("1 word", "250 words"), with the
// zoom when it is not 100 %. Empty on an overview step, where there is no answer box.
class WordCount : public QLabel {
    Q_OBJECT

public:
    explicit WordCount(QTextEdit* box, QWidget* parent = nullptr);

    int words() const { return m_words; }
    // Counts again now (otherwise done as the box changes).
    void update();
    void setZoom(int percent);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTextEdit* m_box;
    int m_words = 0;
    int m_zoom = 100;
};
