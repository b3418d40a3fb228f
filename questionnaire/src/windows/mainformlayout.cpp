// The step layout and the resize rules of the main window. Measures are twips; W and H are
// the window's outer width and height. A placement the toolkit refuses (a negative size
// while the window is minimised or tiny) is skipped, and the rest still runs.

#include "mainform.h"

#include "boundlabel.h"
#include "numbertext.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTextEdit>

#include <algorithm>

void mainForm::Label1_Change() {
    const int h = outerHeightTwips();
    if (Label1->text() == QLatin1String("1")) {
        text1->hide();
        placement.setHeight(quest, h - 3000);
    } else {
        text1->show();
        placement.setHeight(quest, h - h / 2 - 1500);
        placement.setTop(text1, h - h / 2 - 200);
        placement.setHeight(text1, h / 4);
    }
}

void mainForm::Label9_Change() {
    for (QWidget* w : {static_cast<QWidget*>(Image3), static_cast<QWidget*>(Image4),
                       static_cast<QWidget*>(Image5), static_cast<QWidget*>(Image6),
                       static_cast<QWidget*>(fig42), static_cast<QWidget*>(fig66),
                       static_cast<QWidget*>(fig67), static_cast<QWidget*>(DataGrid1)})
        w->hide();

    const int full = outerWidthTwips() - 2500;
    const int half = full / 2;
    placement.setWidth(quest, full);
    placement.setWidth(text1, full);

    const qint64 number = leadingNumber(Label9->text());
    auto showGrid = [&](const char* table) {
        placement.setWidth(quest, half);
        placement.setLeft(DataGrid1, questionRightEdge());
        showGridTable(QString::fromLatin1(table));
    };
    auto showIllustration = [&](QLabel* image, bool halfAnswer) {
        placement.setWidth(quest, half);
        if (halfAnswer)
            placement.setWidth(text1, half);
        placement.setLeft(image, questionRightEdge());
        showPicture(image);
    };
    switch (number) {
    case 42:
        showGrid("projections");
        break;
    case 66:
        showGrid("assets");
        break;
    case 67:
        showGrid("rawmaterials");
        break;
    case 39:
        showIllustration(Image3, false);
        break;
    case 89:
        showIllustration(Image6, true);
        break;
    case 90:
        showIllustration(Image5, true);
        break;
    case 91:
        showIllustration(Image4, true);
        break;
    default:
        break;
    }
    fitSectionTitle();
}

void mainForm::fitSectionTitle() {
    // The section title's designed strip runs under the top of the tallest illustrations;
    // the title ends before a shown picture instead of painting over it.
    const QRect designed(3240, 480, 10095, 375);
    int right = designed.left() + designed.width();
    for (const QWidget* w : {static_cast<QWidget*>(Image3), static_cast<QWidget*>(Image4),
                             static_cast<QWidget*>(Image5), static_cast<QWidget*>(Image6),
                             static_cast<QWidget*>(DataGrid1)}) {
        const QRect r = placement.twips(w);
        if (!w->isHidden() && r.top() < designed.top() + designed.height() &&
            r.left() > designed.left())
            right = std::min(right, r.left() - 60);
    }
    placement.setWidth(Label2, std::max(0, right - designed.left()));

    // A long title gets a smaller type before it would be cut.
    QFont f = Label2->font();
    qreal points = SectionTitlePoints;
    f.setPointSizeF(points);
    while (points > 8 && QFontMetrics(f).horizontalAdvance(Label2->text()) > Label2->width()) {
        points -= 0.75;
        f.setPointSizeF(points);
    }
    Label2->setFont(f);
}

void mainForm::Form_Resize() {
    const int w = outerWidthTwips();
    const int h = outerHeightTwips();

    for (QWidget* b : {cmdEnd, command4, command3, cmdReport, Command7, Command8})
        placement.setTop(b, h - 1500);
    for (QWidget* l : {Label5, Label6, Label7})
        placement.setTop(l, h - 1500);
    placement.setWidth(quest, w - 2500);
    placement.setWidth(text1, w - 2500);
    placement.setTop(Label10, h - 1700);
    placement.setTop(Line1, h - 1800);

    if (Label1->text() == QLatin1String("1")) {
        placement.setHeight(quest, h - 3000);
    } else {
        placement.setHeight(quest, h - h / 2 - 1500);
        placement.setTop(text1, h - h / 2 - 200);
        placement.setHeight(text1, h / 4);
    }

    Label9_Change();
}
