#pragma once

#include <QHash>
#include <QRect>

class QWidget;

// The twips geometry of one window's controls. Handlers place controls in twips, as they
// were designed; this keeps the exact twips values, so that a handler reads back a left or
// a width without pixel rounding, and applies them to the widgets in pixels.
// A negative width or height is refused: the setter returns false and changes nothing, as
// a window toolkit rejects an impossible size. Lefts and tops may be negative.
class Placement {
public:
    // Registers a control with its designed place and size.
    void place(QWidget* w, int left, int top, int width, int height);

    bool setLeft(QWidget* w, int twips);
    bool setTop(QWidget* w, int twips);
    bool setWidth(QWidget* w, int twips);
    bool setHeight(QWidget* w, int twips);

    // The control's place and size in twips (an empty rectangle for an unknown control).
    QRect twips(const QWidget* w) const { return m_rects.value(w); }
    int left(const QWidget* w) const { return twips(w).x(); }
    int top(const QWidget* w) const { return twips(w).y(); }
    int width(const QWidget* w) const { return twips(w).width(); }
    int height(const QWidget* w) const { return twips(w).height(); }

private:
    void apply(QWidget* w, const QRect& r);

    QHash<const QWidget*, QRect> m_rects;
};
