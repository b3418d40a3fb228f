#include "modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>

ModalAnswerer::ModalAnswerer(QMessageBox::StandardButton a) : answer(a) {
    connect(&timer_, &QTimer::timeout, this, &ModalAnswerer::poll);
    timer_.start(10);
}

void ModalAnswerer::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible())
        return;
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) {
        if (other)
            other(modal);
        return;
    }
    titles.append(box->windowTitle());
    texts.append(box->text());
    icons.append(box->icon());
    buttons.append(box->standardButtons());
    if (answer == QMessageBox::Cancel && !(box->standardButtons() & QMessageBox::Cancel)) {
        box->reject();
        return;
    }
    if (QAbstractButton* b = box->button(answer))
        b->click();
    else
        box->reject(); // as closing the box does
}
