#pragma once

#include <QColor>
#include <QString>
#include <QStringView>
#include <QTextCharFormat>

#include <functional>

namespace quill::rtf {

// The page fields a footer text may hold: "{page}" for the page number, "{pages}" for the
// page count. The files leave both to the word processor, which lays the pages out.
enum class FooterField { PageNumber, PageCount };

// Walks a footer text: `text` with each piece between fields, in order (the empty ones too,
// as before a field that opens the text), and `field` at each field. An empty text gives
// nothing; a text ending in a field gives no piece after it.
void splitFooterFields(const QString& footer, const std::function<void(QStringView)>& text,
                       const std::function<void(FooterField)>& field);

// The characters of a footer: its size and slant, and its colour where one is given.
QTextCharFormat footerCharFormat(double points, bool italic, const QColor& colour);

} // namespace quill::rtf
