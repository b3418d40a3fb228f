// Properties of QTextFormat that the document writers (RTF here, and the report's other
// exporters) carry into a word processor's file although Qt's own layout has no use for
// them. Qt keeps user properties on a format untouched, so they travel with the text
// through fragments and copies.
#pragma once

#include <QTextFormat>

namespace quill::rtf {

enum TextProperty {
    // QString on a QTextCharFormat: the fragment stands for the page number of the
    // bookmark of that name (an anchor name elsewhere in the document). Its text is the
    // number as the program laid it out, which a reader shows until it recounts.
    PageReferenceProperty = QTextFormat::UserProperty + 0x5100,
    // bool on a QTextBlockFormat: the paragraph stays on the page of the one after it
    // (headings that must not stand alone at the foot of a page).
    KeepWithNextProperty = QTextFormat::UserProperty + 0x5101,
    // bool on a QTextTableFormat: the table is the document's contents, a row per entry
    // with the entry's text in the first cell and its page reference in the last.
    ContentsProperty = QTextFormat::UserProperty + 0x5102,
    // bool on a QTextBlockFormat: the page break before the paragraph is the layout's own
    // (a heading moved to the next page to stay with its text), not the document's. Files
    // leave that move to the word processor, through keep-with-next.
    LayoutBreakProperty = QTextFormat::UserProperty + 0x5103,
};

} // namespace quill::rtf
