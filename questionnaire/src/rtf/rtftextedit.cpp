#include "rtftextedit.h"

#include "rtfpicture.h"
#include "rtfreader.h"
#include "rtfwriter.h"

#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>

#include <vector>

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

// The picture a clipboard holds as image data: the PNG or JPEG bytes as they
// are, anything else Qt reads as PNG.
QByteArray pictureFromMime(const QMimeData* source) {
    for (const QString& type : {QStringLiteral("image/png"), QStringLiteral("image/jpeg")}) {
        if (source->hasFormat(type)) {
            if (QByteArray bytes = storablePicture(source->data(type)); !bytes.isEmpty())
                return bytes;
        }
    }
    if (source->hasImage())
        return storablePicture(qvariant_cast<QImage>(source->imageData()));
    return {};
}

// The bytes behind a pasted picture: a data: URL or a local file (an <img> of
// HTML), or whatever the document holds or loads for the name (pasted RTF).
QByteArray pictureFromHtmlSource(const QString& source, const QTextDocument& doc) {
    if (source.startsWith(QLatin1StringView("data:"), Qt::CaseInsensitive)) {
        const qsizetype comma = source.indexOf(u',');
        if (comma < 0 || comma > 256)
            return {};
        const QString header = source.mid(5, comma - 5);
        const QByteArray payload = source.mid(comma + 1).toLatin1();
        if (payload.size() > 2 * maxPictureBytes)
            return {};
        const QByteArray bytes = header.endsWith(QLatin1StringView(";base64"), Qt::CaseInsensitive)
                                     ? QByteArray::fromBase64(payload)
                                     : QByteArray::fromPercentEncoding(payload);
        return storablePicture(bytes);
    }
    const QUrl url(source);
    const QString path = url.isLocalFile()        ? url.toLocalFile()
                         : url.scheme().isEmpty() ? source
                                                  : QString();
    if (!path.isEmpty()) {
        QFile file(path);
        // Four times the limit: a picture in another format may shrink as PNG.
        if (file.open(QIODevice::ReadOnly) && file.size() <= 4 * maxPictureBytes)
            return storablePicture(file.readAll());
        return {};
    }
    return pictureBytes(doc, source);
}

// Gives every picture of pasted text a resource in target (named after its data,
// so the writer stores it), within the document's limits. A picture without data
// here, or past the limits, is taken out of the pasted text: it would show, then
// be lost when the answer is stored.
void adoptPictures(QTextDocument& pasted, QTextDocument* target) {
    PictureUsage used = pictureUsage(*target);
    struct Change {
        int position, length;
        QTextImageFormat format; // no name: taken out
    };
    std::vector<Change> changes;
    for (QTextBlock block = pasted.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            const QByteArray bytes = pictureFromHtmlSource(format.name(), pasted);
            const QSize pixels = picturePixelSize(bytes);
            if (!pixels.isValid()) {
                changes.push_back({fragment.position(), fragment.length(), {}});
                continue;
            }
            const QString name = pictureName(bytes);
            if (target->resource(QTextDocument::ImageResource, QUrl(name)).isNull()) {
                if (!pictureFits(used, bytes.size(), pixels)) {
                    changes.push_back({fragment.position(), fragment.length(), {}});
                    continue;
                }
                used.bytes += bytes.size();
                used.pixels += int64_t(pixels.width()) * pixels.height();
                ++used.count;
                addPicture(target, bytes);
            }
            format.setName(name);
            changes.push_back({fragment.position(), fragment.length(), format});
        }
    }
    // From the end, so taking a picture out moves none still to change.
    QTextCursor cursor(&pasted);
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
        cursor.setPosition(it->position);
        cursor.setPosition(it->position + it->length, QTextCursor::KeepAnchor);
        if (it->format.name().isEmpty())
            cursor.removeSelectedText();
        else
            cursor.setCharFormat(it->format);
    }
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
    // Reading empties the document first. With a long answer shown, that would hide the
    // vertical scroll bar and widen the page, so that a long answer read next would be laid
    // out at the wide page and, once the bar comes back, a second time at the narrow one.
    // The bar stays while reading; afterwards it goes if the new answer does not need it.
    const bool holdBar = verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded &&
                         verticalScrollBar()->isVisible();
    if (holdBar)
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    if (!RtfReader::read(rtf, doc)) {
        // Not RTF: the bytes are shown as they are, nothing is lost.
        setPlainText(QString::fromUtf8(rtf));
    }
    if (holdBar)
        setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    doc->setModified(false);
    loaded_ = rtf;
    loadedValid_ = true;
}

bool RtfTextEdit::canInsertFromMimeData(const QMimeData* source) const {
    return !rtfFromMime(source).isEmpty() || source->hasImage() ||
           source->hasFormat(QStringLiteral("image/png")) ||
           source->hasFormat(QStringLiteral("image/jpeg")) ||
           QTextEdit::canInsertFromMimeData(source);
}

bool RtfTextEdit::insertPicture(QTextCursor& cursor, const QByteArray& bytes) {
    const QSize pixels = picturePixelSize(bytes);
    if (!pixels.isValid())
        return false;
    const QString name = pictureName(bytes);
    if (document()->resource(QTextDocument::ImageResource, QUrl(name)).isNull()) {
        if (!pictureFits(pictureUsage(*document()), bytes.size(), pixels))
            return false;
        addPicture(document(), bytes);
    }
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(pixels.width());
    format.setHeight(pixels.height());
    cursor.insertImage(format);
    return true;
}

void RtfTextEdit::insertFromMimeData(const QMimeData* source) {
    if (isReadOnly() || !source)
        return;
    QTextCursor cursor = textCursor();
    if (const QByteArray rtf = rtfFromMime(source); !rtf.isEmpty()) {
        QTextDocument pasted;
        pasted.setDefaultFont(document()->defaultFont());
        if (RtfReader::read(rtf, &pasted)) {
            adoptPictures(pasted, document());
            cursor.insertFragment(QTextDocumentFragment(&pasted));
            ensureCursorVisible();
            return;
        }
    }
    // A copied picture comes as image data, often beside HTML that only points
    // at where it came from.
    if (const QByteArray picture = pictureFromMime(source); !picture.isEmpty()) {
        if (insertPicture(cursor, picture))
            ensureCursorVisible();
        return;
    }
    if (source->hasHtml()) {
        QTextDocument pasted;
        pasted.setDefaultFont(document()->defaultFont());
        QTextCursor(&pasted).insertFragment(
            QTextDocumentFragment::fromHtml(source->html(), document()));
        adoptPictures(pasted, document());
        cursor.insertFragment(QTextDocumentFragment(&pasted));
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
    copyPictures(*document(), &selected);
    data->setData(QStringLiteral("text/rtf"), RtfWriter::write(selected));
    return data;
}

} // namespace quill::rtf
