#include "rtftextedit.h"

#include "rtfreader.h"
#include "rtfwriter.h"

#include <QMimeData>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace quill::rtf {
namespace {

// The MIME types word processors put RTF on the clipboard under.
QByteArray rtfFromMime(const QMimeData* source) {
    for (const QString& type : {QStringLiteral("text/rtf"), QStringLiteral("application/rtf"),
                                QStringLiteral("text/richtext")}) {
        if (source->hasFormat(type)) {
            const QByteArray data = source->data(type);
            if (RtfReader::looksLikeRtf(data))
                return data;
        }
    }
    return {};
}

} // namespace

RtfTextEdit::RtfTextEdit(QWidget* parent) : QTextEdit(parent) {
    setAcceptRichText(true);
    connect(this, &QTextEdit::textChanged, this, [this] {
        // A highlighter redrawing the text (spelling marks) reports a change too, but edits
        // nothing: only an edit leaves something to undo (loading leaves the stack empty).
        const QTextDocument* doc = document();
        if (!doc->isUndoRedoEnabled() || doc->availableUndoSteps() > 0 ||
            doc->availableRedoSteps() > 0)
            loadedValid_ = false;
        emit rtfChanged();
    });
}

QByteArray RtfTextEdit::rtf() const {
    if (loadedValid_ && !document()->isModified())
        return loaded_;
    return RtfWriter::write(*document());
}

void RtfTextEdit::setRtf(const QByteArray& rtf) {
    QTextDocument* doc = document();
    if (!RtfReader::read(rtf, doc)) {
        // Not RTF: the bytes are shown as they are, nothing is lost.
        setPlainText(QString::fromUtf8(rtf));
    }
    doc->setModified(false);
    loaded_ = rtf;
    loadedValid_ = true;
}

bool RtfTextEdit::canInsertFromMimeData(const QMimeData* source) const {
    return !rtfFromMime(source).isEmpty() || QTextEdit::canInsertFromMimeData(source);
}

void RtfTextEdit::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || !source)
        return;
    QTextCursor cursor = textCursor();
    if (const QByteArray rtf = rtfFromMime(source); !rtf.isEmpty()) {
        QTextDocument pasted;
        pasted.setDefaultFont(document()->defaultFont());
        if (RtfReader::read(rtf, &pasted)) {
            cursor.insertFragment(QTextDocumentFragment(&pasted));
            ensureCursorVisible();
            return;
        }
    }
    if (source->hasHtml()) {
        cursor.insertFragment(QTextDocumentFragment::fromHtml(source->html(), document()));
        ensureCursorVisible();
        return;
    }
    if (source->hasText()) {
        cursor.insertText(source->text());
        ensureCursorVisible();
        return;
    }
    QTextEdit::insertFromMimeData(source);
}

QMimeData* RtfTextEdit::createMimeDataFromSelection() const {
    // Copying offers RTF beside plain text and HTML, so a word processor keeps
    // the formatting. (QTextEdit's own mime data cannot carry a further format.)
    const QTextDocumentFragment fragment = textCursor().selection();
    auto* data = new QMimeData;
    data->setText(fragment.toPlainText());
    data->setHtml(fragment.toHtml());
    QTextDocument selected;
    selected.setDefaultFont(document()->defaultFont());
    QTextCursor(&selected).insertFragment(fragment);
    data->setData(QStringLiteral("text/rtf"), RtfWriter::write(selected));
    return data;
}

} // namespace quill::rtf
