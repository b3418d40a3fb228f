// RtfReader: reads RTF into a QTextDocument.
//
// read() replaces the document's content with what the RTF holds: the formatting
// QTextDocument can carry (see RtfParser for the list) and all of the text. It is
// safe on any input: malformed, truncated, deeply nested or huge files are read
// as far as they make sense, in time linear in their size, without recursion.
// Input that is not RTF at all (it does not open with "{\rtf") is refused: read()
// returns false and leaves the document as it was, so the caller can show the
// bytes as plain text instead.
//
// Lengths are converted from twips to pixels at the screen's logical resolution
// (96 dots per inch without a screen), as the answer box lays text out in pixels.
#pragma once

#include <QByteArray>

class QTextDocument;

namespace quill::rtf {

class RtfReader {
public:
    static bool read(const QByteArray& rtf, QTextDocument* doc);

    // True when bytes open like an RTF file (after white space and a UTF-8 mark).
    static bool looksLikeRtf(const QByteArray& bytes);
};

} // namespace quill::rtf
