#include "rtfreader.h"

#include "rtfparser.h"
#include "rtfunits.h"

#include <QTextCursor>
#include <QTextDocument>

#include <string_view>

namespace quill::rtf {

bool RtfReader::looksLikeRtf(const QByteArray& bytes) {
    std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n'))
        text.remove_prefix(1);
    return text.substr(0, 5) == "{\\rtf";
}

bool RtfReader::read(const QByteArray& rtf, QTextDocument* doc) {
    if (!doc || !looksLikeRtf(rtf))
        return false;
    const qsizetype start = rtf.indexOf('{');

    // Like setHtml: a load is not an edit, so it leaves nothing to undo (and
    // builds no undo history the size of the document).
    const bool undo = doc->isUndoRedoEnabled();
    doc->setUndoRedoEnabled(false);
    doc->clear();
    {
        // One edit block: Qt defers layout and change signals to its end, so
        // each insertion is not laid out on its own (quadratic in a paragraph).
        QTextCursor edit(doc);
        edit.beginEditBlock();
        RtfParser parser(doc, pixelsPerTwip());
        parser.parse(std::string_view(rtf.constData() + start,
                                      static_cast<std::size_t>(rtf.size() - start)));
        edit.endEditBlock();
    }
    doc->setUndoRedoEnabled(undo);
    return true;
}

} // namespace quill::rtf
