#include "recordcursor.h"

#include <QAbstractItemModel>
#include <QDataWidgetMapper>

RecordCursor::RecordCursor(QDataWidgetMapper* mapper, QObject* parent)
    : QObject(parent), m_mapper(mapper) {}

int RecordCursor::RecordCount() const {
    return m_mapper->model() ? m_mapper->model()->rowCount() : 0;
}

bool RecordCursor::moveTo(int position) {
    if (m_writeBack && !m_writeBack())
        return false;
    m_position = position < -1 ? -1 : position;
    if (onRow())
        m_mapper->setCurrentIndex(m_position);
    emit moved();
    return true;
}
