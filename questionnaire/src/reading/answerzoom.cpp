#include "answerzoom.h"

#include "spellhighlighter.h"

#include <QAction>
#include <QTextEdit>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>

AnswerZoom::AnswerZoom(QTextEdit* box, SpellHighlighter* drawing)
    : QObject(box), m_box(box), m_drawing(drawing) {
    m_in = new QAction(QStringLiteral("Zoom in"), this);
    m_in->setShortcuts(
        {QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::ControlModifier | Qt::Key_Equal)});
    m_out = new QAction(QStringLiteral("Zoom out"), this);
    m_out->setShortcuts({QKeySequence(QKeySequence::ZoomOut)});
    m_reset = new QAction(QStringLiteral("Actual size"), this);
    m_reset->setShortcut(QKeySequence(Qt::ControlModifier | Qt::Key_0));
    // The keys belong to the box: elsewhere (the figure grid) Ctrl++ and Ctrl+- mean
    // something else.
    for (QAction* a : {m_in, m_out, m_reset}) {
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        m_box->addAction(a);
    }
    connect(m_in, &QAction::triggered, this, &AnswerZoom::zoomIn);
    connect(m_out, &QAction::triggered, this, &AnswerZoom::zoomOut);
    connect(m_reset, &QAction::triggered, this, [this] { setPercent(100); });
    // The box zooms its own default font on Ctrl+wheel, which sized text ignores: the
    // wheel is taken before it gets there.
    m_box->viewport()->installEventFilter(this);
}

void AnswerZoom::setPercent(int percent) {
    percent = std::clamp(percent, MinPercent, MaxPercent);
    if (percent == m_percent)
        return;
    m_percent = percent;
    m_drawing->setScale(percent / 100.0);
    m_box->ensureCursorVisible();
    emit zoomed(percent);
}

bool AnswerZoom::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            // One notch (120) is one step; a smooth wheel's small deltas add up to it.
            m_wheel += wheel->angleDelta().y();
            while (m_wheel >= 120) {
                m_wheel -= 120;
                zoomIn();
            }
            while (m_wheel <= -120) {
                m_wheel += 120;
                zoomOut();
            }
            wheel->accept();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
