#pragma once

#include "exportpage.h"

#include <QByteArray>
#include <QString>

class QTextDocument;

// Writes a QTextDocument as an OpenDocument text (.odt): styles.xml with the page layout,
// the document's font, heading, contents and footer styles and two master pages (the first
// page without a footer, the others with page number and page count fields); content.xml
// with one automatic style per distinct paragraph, character, table, column and cell
// format, headings with outline levels and bookmarks, a table marked as the contents
// (ContentsProperty) as a table of contents that a word processor can refresh, page
// references, lists, tables with merged cells, borders and shading, links and the document's
// images as pictures.
//
// Every run names its font and size, as in the other exporters.
namespace OdtWriter {

// The package's bytes; empty, with the reason in *error, when it cannot be built.
QByteArray write(const QTextDocument& doc, const ExportPage& page, QString* error);

} // namespace OdtWriter
