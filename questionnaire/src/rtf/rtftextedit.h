// RtfTextEdit: the answer box, a rich-text editor whose bound content is RTF.
//
// The `rtf` property is the widget's user property, so a QDataWidgetMapper (or
// any binding that asks for the user property) stores RTF rather than QTextEdit's
// HTML. setRtf replaces the content without leaving anything to undo and without
// marking the document modified: loading an answer is not editing it. Until the
// content changes, rtf() returns exactly the bytes setRtf was given, so an answer
// that is only looked at is never rewritten, even if the binding submits it (and
// stored bytes that are not RTF, shown as plain text, are kept as they were).
//
// Pasting keeps formatting from word processors (text/rtf, application/rtf) and
// web pages (text/html, through Qt's HTML reader); plain text pastes as plain text
// in the formatting at the cursor. Pictures (image/png and image/jpeg data, other
// image data as PNG, pictures in pasted RTF, and <img> of pasted HTML with a
// data: URL or a local file) become image resources of the document, so the RTF
// stores them; a picture without data (an <img> of a web address) or over the
// limits of rtfpicture.h is not pasted, since it could not be stored.
#pragma once

#include <QByteArray>
#include <QTextEdit>

class QMimeData;
class QTextCursor;

namespace quill::rtf {

class RtfTextEdit : public QTextEdit {
    Q_OBJECT
    Q_PROPERTY(QByteArray rtf READ rtf WRITE setRtf NOTIFY rtfChanged USER true)

public:
    explicit RtfTextEdit(QWidget* parent = nullptr);

    QByteArray rtf() const;
    void setRtf(const QByteArray& rtf);

signals:
    // Emitted when the content changes, by the user or by setRtf.
    void rtfChanged();

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    QMimeData* createMimeDataFromSelection() const override;

private:
    // Inserts PNG or JPEG bytes at the cursor, at their own size; false when
    // they are no picture or the document has no room for them.
    bool insertPicture(QTextCursor& cursor, const QByteArray& bytes);

    QByteArray loaded_;        // what setRtf was given
    bool loadedValid_ = false; // ... and the content still is that
};

} // namespace quill::rtf
