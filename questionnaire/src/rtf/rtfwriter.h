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
// image resource holds JPEG bytes) at the image's size, each followed by a
// {\nonshppict ...} copy for readers that skip \shppict; images without data in
// the document, and frames other than tables, are not written (their text is).
//
// Anchor names of the text become bookmarks, fragments marked with
// PageReferenceProperty (rtftextproperties.h) PAGEREF fields, and blocks marked
// with KeepWithNextProperty \keepn; links and bookmarks on pictures and page
// references are kept as on text. Every paragraph has widow and orphan control;
// a page break is written only where the document asks for one, not where the
// program's layout moved a heading (LayoutBreakProperty). What each run, picture
// and paragraph says comes from DocumentWalk, as for the other writers. Every
// run names its font and size, so no reader falls back to its own default (RTF's
// is 12 pt), and no \plain is ever needed inside a paragraph.
#pragma once

#include "exportpage.h"

#include <QByteArray>

class QTextDocument;

namespace quill::rtf {

class RtfWriter {
public:
    // The page the document is meant for, written as the document's page setup and its
    // one section's footer; pictures are fitted into its text area.
    using Page = ExportPage;

    static QByteArray write(const QTextDocument& doc);
    static QByteArray write(const QTextDocument& doc, const Page& page);
};

} // namespace quill::rtf
