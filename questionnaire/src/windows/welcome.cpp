#include "welcome.h"

#include "artwork.h"
#include "designcolors.h"
#include "twips.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace {

QLabel* makeLabel(QWidget* parent, const QString& text, const QRect& twips) {
    auto* label = new QLabel(text, parent);
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    label->setFont(font);
    label->setGeometry(Twips::toPixels(twips));
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    return label;
}

} // namespace

Welcome::Welcome(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Welcome"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(Twips::toPixelsX(7305), Twips::toPixelsY(3990));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, DesignColors::toColor(DesignColors::Background));
    setPalette(pal);
    setAutoFillBackground(true);

    m_photo = Artwork::render(QStringLiteral("splash.svg"), QSize(225, 300));

    Label1 = makeLabel(this, QStringLiteral("Quillmark"), QRect(3480, 120, 3735, 1815));
    QFont title(QStringLiteral("Times New Roman"));
    title.setStyleHint(QFont::Serif);
    title.setPointSize(36);
    title.setBold(true);
    title.setItalic(true);
    Label1->setFont(title);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette titlePal = Label1->palette();
    titlePal.setColor(QPalette::WindowText, DesignColors::toColor(DesignColors::SplashTitle));
    Label1->setPalette(titlePal);

    Label3 = makeLabel(this, QStringLiteral("Version 1.0 "), QRect(4080, 2040, 1935, 255));
    Label2 =
        makeLabel(this, QStringLiteral("\u00A9 Quillmark Software"), QRect(3600, 2400, 2895, 255));
    Label4 = makeLabel(this, QStringLiteral("For business owners"), QRect(3960, 2760, 2175, 255));

    Timer1 = new QTimer(this);
    Timer1->setInterval(2500);
    // A coarse timer may fire up to 5% early; the splash promises the full time.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &Welcome::Timer1_Timer);

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(0, 0), size());
        r.moveCenter(screen->geometry().center());
        move(r.topLeft());
    }
    Form_Load();
}

void Welcome::Form_Load() {
    // Topmost comes from the window flags; the timer starts the 2500 ms wait.
    Timer1->start();
}

void Welcome::Timer1_Timer() {
    Timer1->stop();
}

void Welcome::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter p(this);
    p.drawPixmap(0, 0, m_photo);
}
