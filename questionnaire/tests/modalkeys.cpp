#include "modalkeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTextEdit>

ModalKeys::ModalKeys(QList<QKeyCombination> keys) : m_keys(std::move(keys)) {
    connect(&m_timer, &QTimer::timeout, this, &ModalKeys::poll);
    m_timer.start(10);
}

void ModalKeys::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || QApplication::activeWindow() != modal)
        return;
    QWidget* focus = QApplication::focusWidget();
    if (!focus || focus->window() != modal)
        return;
    // One key per window: a window that stays open after its key is left alone.
    if (modal == m_answered)
        return;
    m_answered = modal;
    connect(modal, &QObject::destroyed, this, [this, modal] {
        if (m_answered == modal)
            m_answered = nullptr;
    });
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        titles << box->windowTitle();
        texts << (box->informativeText().isEmpty() ? box->text()
                                                   : box->text() + u'\n' + box->informativeText());
        auto* button = qobject_cast<QAbstractButton*>(focus);
        defaults << (button ? button->text().remove(u'&') : QString());
    } else {
        // Another dialog: what its text boxes show.
        QStringList shown;
        for (const QTextEdit* edit : modal->findChildren<QTextEdit*>())
            shown << edit->toPlainText();
        titles << modal->windowTitle();
        texts << shown.join(u'\n');
        defaults << QString();
    }
    const QKeyCombination key =
        m_keys.isEmpty() ? QKeyCombination(Qt::Key_Escape) : m_keys.takeFirst();
    QTest::keyClick(focus, key.key(), key.keyboardModifiers());
}
