#pragma once

#include <QString>
#include <QStringView>
#include <QTextCharFormat>

class QTextTable;

// What the DOCX, ODT and HTML writers read from a document the same way (beyond what
// DocumentWalk gives every writer); each writes it in its own format.
namespace OfficeContent {

// The text without the characters XML 1.0 cannot hold (and without the object replacement
// character, which stands for an image written on its own). Tabs and line breaks stay.
QString xmlSafe(QStringView s);

// One row of a table marked as the contents: the heading's title (first column) and its page
// (last column), the bookmark the page refers to (empty: none), and the characters to write
// the entry in (the title's, or those of the page reference).
struct ContentsEntry {
    QString title;
    QString page;
    QString bookmark;
    QTextCharFormat chars;
};
ContentsEntry contentsEntry(const QTextTable& table, int row);

} // namespace OfficeContent
