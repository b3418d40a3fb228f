#include "altletterguard.h"

#include <QKeyEvent>
#include <QWidget>

namespace {

class Guard : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers held =
            key->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier);
        const bool letter = key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z;
        // Swallowed: neither typed nor passed on to the window.
        return held == Qt::AltModifier && letter;
    }
};

} // namespace

namespace AltLetterGuard {

void install(QWidget* box) {
    box->installEventFilter(new Guard(box));
}

} // namespace AltLetterGuard
