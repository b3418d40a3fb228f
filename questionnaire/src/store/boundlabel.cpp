#include "boundlabel.h"

void BoundLabel::setCaption(const QString& text) {
    if (text == this->text())
        return;
    setText(text);
    emit Change();
}
