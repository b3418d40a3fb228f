#include "placement.h"

#include "twips.h"

#include <QWidget>

void Placement::place(QWidget* w, int left, int top, int width, int height) {
    apply(w, QRect(left, top, width, height));
}

bool Placement::setLeft(QWidget* w, int twips) {
    QRect r = m_rects.value(w);
    r.moveLeft(twips);
    apply(w, r);
    return true;
}

bool Placement::setTop(QWidget* w, int twips) {
    QRect r = m_rects.value(w);
    r.moveTop(twips);
    apply(w, r);
    return true;
}

bool Placement::setWidth(QWidget* w, int twips) {
    if (twips < 0)
        return false;
    QRect r = m_rects.value(w);
    r.setWidth(twips);
    apply(w, r);
    return true;
}

bool Placement::setHeight(QWidget* w, int twips) {
    if (twips < 0)
        return false;
    QRect r = m_rects.value(w);
    r.setHeight(twips);
    apply(w, r);
    return true;
}

void Placement::apply(QWidget* w, const QRect& r) {
    m_rects.insert(w, r);
    w->setGeometry(Twips::toPixels(r));
}
