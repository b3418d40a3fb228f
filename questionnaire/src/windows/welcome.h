#pragma once

#include <QPixmap>
#include <QWidget>

class QLabel;
class QTimer;

// The splash window: the product's name, version and notices beside the photograph, on a
// borderless window centred on the screen and kept in front of every other window. Its
// timer ticks once, 2500 ms after the window is created, and stops: start-up waits for
// that tick before it shows the main window.
class Welcome : public QWidget {
    Q_OBJECT

public:
    explicit Welcome(QWidget* parent = nullptr);

    QLabel* Label1; // product name
    QLabel* Label2; // legal notice
    QLabel* Label3; // version
    QLabel* Label4; // credit line
    QTimer* Timer1;

protected:
    void paintEvent(QPaintEvent* event) override;

private slots:
    void Timer1_Timer();

private:
    void Form_Load();

    QPixmap m_photo;
};
