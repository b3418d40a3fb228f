#include "officecontent.h"

#include "rtftextproperties.h"

#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>

namespace OfficeContent {

QString xmlSafe(QStringView s) {
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n') || u == 0xFFFE || u == 0xFFFF ||
            u == QChar::ObjectReplacementCharacter)
            continue;
        out.append(c);
    }
    return out;
}

ContentsEntry contentsEntry(const QTextTable& table, int row) {
    const QTextTableCell titleCell = table.cellAt(row, 0);
    const QTextTableCell pageCell = table.cellAt(row, table.columns() - 1);
    ContentsEntry entry;
    for (auto it = titleCell.begin(); !it.atEnd(); ++it)
        if (!it.currentFrame())
            entry.title += it.currentBlock().text();
    entry.chars = titleCell.firstCursorPosition().charFormat();
    for (auto it = pageCell.begin(); !it.atEnd(); ++it) {
        if (it.currentFrame())
            continue;
        for (auto f = it.currentBlock().begin(); !f.atEnd(); ++f) {
            entry.page += f.fragment().text();
            const QString name =
                f.fragment().charFormat().stringProperty(quill::rtf::PageReferenceProperty);
            if (!name.isEmpty()) {
                entry.bookmark = name;
                entry.chars = f.fragment().charFormat();
            }
        }
    }
    return entry;
}

} // namespace OfficeContent
