#pragma once

#include <QByteArray>

class QTextDocument;

// Writes a QTextDocument as one self-contained web page: every picture and chart is inside
// the file as a data: URI (a page that names files beside it shows nothing once it is mailed
// or moved), and each row of a table marked as the contents (ContentsProperty) links to the
// bookmark its page refers to, so the contents list leads to its chapters.
namespace HtmlWriter {

QByteArray write(const QTextDocument& doc);

} // namespace HtmlWriter
