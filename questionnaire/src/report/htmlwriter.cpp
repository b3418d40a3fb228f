#include "htmlwriter.h"

#include "documentwalk.h"
#include "officecontent.h"
#include "rtfpicture.h"
#include "rtftextproperties.h"

#include <QHash>
#include <QRegularExpression>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

#include <memory>

namespace HtmlWriter {
namespace {

// Links the contents' rows to their chapters' bookmarks, in a copy of the document.
void linkContents(QTextDocument& copy) {
    for (const quill::rtf::DocumentWalk::Part& part : quill::rtf::DocumentWalk(copy).parts()) {
        if (!part.contents)
            continue;
        QTextTable* table = part.table;
        for (int r = 0; r < table->rows(); ++r) {
            const OfficeContent::ContentsEntry entry = OfficeContent::contentsEntry(*table, r);
            if (entry.bookmark.isEmpty())
                continue;
            QTextCharFormat link;
            link.setAnchor(true);
            link.setAnchorHref(u'#' + entry.bookmark);
            for (int c = 0; c < table->columns(); ++c) {
                const QTextTableCell cell = table->cellAt(r, c);
                QTextCursor cursor = cell.firstCursorPosition();
                cursor.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
                cursor.mergeCharFormat(link);
            }
        }
    }
}

} // namespace

QByteArray write(const QTextDocument& doc) {
    const std::unique_ptr<QTextDocument> copy(doc.clone());
    linkContents(*copy);
    QString html = copy->toHtml();
    // Each picture's name becomes its data, read from the document that holds it.
    static const QRegularExpression source(QStringLiteral("<img src=\"([^\"]*)\""));
    QHash<QString, QString> uris;
    QString out;
    out.reserve(html.size());
    qsizetype done = 0;
    auto it = source.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        QString name = m.captured(1);
        name.replace(QLatin1String("&quot;"), QLatin1String("\""))
            .replace(QLatin1String("&amp;"), QLatin1String("&"));
        auto uri = uris.find(name);
        if (uri == uris.end()) {
            const QByteArray bytes = quill::rtf::pictureBytes(doc, name);
            const char* type = quill::rtf::pictureKind(bytes) == quill::rtf::PictureKind::Jpeg
                                   ? "image/jpeg"
                                   : "image/png";
            uri = uris.insert(
                name, bytes.isEmpty()
                          ? m.captured(1)
                          : QStringLiteral("data:%1;base64,%2")
                                .arg(QLatin1String(type), QString::fromLatin1(bytes.toBase64())));
        }
        out += QStringView(html).mid(done, m.capturedStart(1) - done);
        out += uri.value();
        done = m.capturedEnd(1);
    }
    out += QStringView(html).mid(done);
    return out.toUtf8();
}

} // namespace HtmlWriter
