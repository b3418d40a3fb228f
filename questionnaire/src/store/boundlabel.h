#pragma once

#include <QLabel>

// A label bound to a field: a widget mapper writes the field's value through the user
// property `caption`, and the label raises Change whenever its text really changes, which
// is what drives the step layout. A null value shows as empty text.
class BoundLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString caption READ text WRITE setCaption USER true)

public:
    using QLabel::QLabel;

    // Sets the text; emits Change when it differs from the current one.
    void setCaption(const QString& text);

signals:
    void Change();
};
