#include "frmhelp.h"

#include "designcolors.h"
#include "twips.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

QString frmHelp::supportContact() {
    return QStringLiteral("support@corvane.example or +44 20 7946 0321");
}

QStringList frmHelp::helpLines() {
    return {
        QStringLiteral("Help"),
        QStringLiteral("Instructions"),
        QString(),
        QStringLiteral("Please note the following:"),
        QStringLiteral("1. You can navigate through this program by clicking on the NEXT and "
                       "PREVIOUS buttons located below."),
        QStringLiteral("2. You can exit any time  by clicking the END button. Your work will get "
                       "saved automatically, and you can continue at a later time"),
        QStringLiteral("3. There are 12 major sections. Each begins with an overview, followed by "
                       "a series of questions which you can answer in a space provided. You may "
                       "also copy and paste your responses from another document. (if you so "
                       "desire)"),
        QStringLiteral("4. Clicking the REPORT button at any time will generate a draft business "
                       "report."),
        QStringLiteral("5. After viewing the report, you may export it to Microsoft word by "
                       "clicking the 'envelope' icon choosing the 'Rich Text Format' selection. "
                       "You may thereafter modify the document in your favourite editor."),
        QStringLiteral("6. The progress bar at the top of this page indicates how far you have "
                       "gone into preparing your document. You also get an indication at the "
                       "bottom of the screen (eg You are currently on Step 1 of 93)"),
        QString(),
        QStringLiteral("You can always obtain help by clicking on the help button on the left"),
        QString(),
        QStringLiteral("YOU MAY READ THIS HELP AGAIN BY CLICKING ON THE HELP BUTTON ON THE LEFT OF "
                       "THE SCREEN OR PRESS F1"),
        QString(),
        QStringLiteral("Disclaimer: After exporting to a word editor eg Microsoft Word, you are "
                       "responsible for reading through all the text and making sure that it "
                       "flows logically, as well as is suitably formated. "),
        QString(),
        QStringLiteral("Warranty: This software is provided 'as is', without warranty of any kind, "
                       "express or implied, including the warranties of merchantability and of "
                       "fitness for a particular purpose. The holders of the rights in this "
                       "software accept no liability for any claim, damages or other liability "
                       "arising from the software, its use or other dealings with it."),
        QString(),
        QStringLiteral("SUPPORT: If you have any difficulties, please contact ") +
            supportContact() + QStringLiteral(" during working hours"),
    };
}

frmHelp::frmHelp(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Help"));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, DesignColors::toColor(DesignColors::Background));
    setPalette(pal);
    setFixedSize(Twips::toPixelsX(8715), Twips::toPixelsY(6765));

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(Twips::toPixels(QRect(360, 240, 8055, 6255)));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setAutoFillBackground(true);
    Label1->setPalette(pal);
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                      QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(8.25);
    Label1->setFont(font);

    // Centred on the screen.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
    Form_Load();
}

void frmHelp::Form_Load() {
    Label1->setText(helpLines().join(QLatin1Char('\n')));
    // The designed size was made for a narrow bitmap font; where the system's substitute is
    // wider, the text is set a little smaller rather than losing its last lines.
    QFont font = Label1->font();
    const QRect box(QPoint(0, 0), Label1->size());
    while (
        font.pointSizeF() > 6.5 &&
        QFontMetrics(font)
                .boundingRect(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, Label1->text())
                .height() > box.height())
        font.setPointSizeF(font.pointSizeF() - 0.25);
    Label1->setFont(font);
}
