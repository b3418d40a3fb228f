#pragma once

#include <QMessageBox>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

// While it lives, answers every modal window that opens: message boxes with the chosen
// button (recording their title and text), any other dialog through `other`, which may
// inspect it and must close it.
class ModalAnswerer : public QObject {
    Q_OBJECT
public:
    explicit ModalAnswerer(QMessageBox::StandardButton answer = QMessageBox::Ok);

    QMessageBox::StandardButton answer;
    std::function<void(QWidget*)> other;
    QStringList titles;
    QStringList texts;
    QList<QMessageBox::Icon> icons;
    QList<QMessageBox::StandardButtons> buttons;

private:
    void poll();
    QTimer timer_;
};
