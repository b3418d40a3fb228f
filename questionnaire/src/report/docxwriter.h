#pragma once

#include "exportpage.h"

#include <QByteArray>
#include <QString>

class QTextDocument;

// Writes a QTextDocument as a Word document (Office Open XML, .docx): styles with the
// document's font, the page set-up and a footer with PAGE and NUMPAGES fields, headings as
// heading styles (kept with the next paragraph where the text asks for it), a table marked
// as the contents (ContentsProperty) as entries that link to the headings' bookmarks and
// carry PAGEREF fields to them (the word processor counts the pages; settings.xml asks Word
// to refresh the fields on opening), tables with their widths, borders,
// merged cells and shading, lists as numbering, character formatting, links, and the
// document's images as pictures.
//
// Every run names its font and size. Paragraph spacing is written as the document has it;
// word processors add a paragraph's space above to the one before's space below, where Qt
// takes the larger of the two.
namespace DocxWriter {

// The package's bytes; empty, with the reason in *error, when it cannot be built.
QByteArray write(const QTextDocument& doc, const ExportPage& page, QString* error);

} // namespace DocxWriter
