// RtfWriter: writes a QTextDocument as RTF 1.x.
//
// The output is what word processors and independent readers expect: a header
// with \ansi\ansicpg1252\deff0, a font table (font 0 is the document's default
// font), a colour table, a list table when the document has lists, then the
// paragraphs. Text is Windows-1252 where it can be and \uN with a "?" fallback
// otherwise. Lists carry \ls/\ilvl and a {\listtext} with the item's number for
// readers without list tables; tables are \trowd rows with \cellx edges, merged
// cells as wider cells and \clvmgf/\clvmrg. Hyperlinks become HYPERLINK fields.
//
// RtfReader reads the output back to an equal document: the same text, blocks,
// lists, tables and character and paragraph formats, with lengths kept to the
// twip. Pictures are {\*\shppict{\pict\pngblip ...}} groups (\jpegblip when the
// image resource holds JPEG bytes) at the image's size; images without data in
// the document, and frames other than tables, are not written (their text is).
#pragma once

#include <QByteArray>

class QTextDocument;

namespace quill::rtf {

class RtfWriter {
public:
    static QByteArray write(const QTextDocument& doc);
};

} // namespace quill::rtf
