// RtfParser: the group and destination machine of the RTF reader. It reads RTF
// tokens, keeps RTF's group state, sends each keyword to what it concerns, and hands
// text with its formats to an RtfDocumentBuilder. Around it: RtfFormatConverter (the
// document's tables and Qt's formats), RtfPictureReader (\pict groups) and
// RtfTableDefinition (the table row keywords).
//
// Groups are a stack in a vector, never recursion: depth costs memory only up to
// maxDepth, past which further groups share the deepest state (their formatting
// leaks outwards, their text is kept). Skipped destinations (objects, document
// information, anything unknown after \*) are passed over by counting braces, at
// any depth. Every token is handled in constant time apart from the text it
// carries, so a file is read in time linear in its size.
//
// What is read: the font, colour and list tables; character formats (bold,
// italic, underline styles, strike-out, font, size, colours, super/subscript,
// capitals, hidden text); paragraph formats (alignment, indents, spacing, line
// height, tab stops, page breaks, outline levels, direction); lists (\ls/\ilvl and
// the older \pn); tables; hyperlink fields; \uN with \ucN fallbacks; \'hh and
// 8-bit text in the code page of the document or of the font in use; PNG and JPEG
// pictures (\pict, also inside \shppict, whose \nonshppict twin is then not
// read), as image resources of the document within the limits of rtfpicture.h.
// Pictures of other kinds (metafiles, device-independent bitmaps) are skipped.
#pragma once

#include "rtfdecoders.h"
#include "rtfdocumentbuilder.h"
#include "rtfformatconverter.h"
#include "rtflexer.h"
#include "rtfpicturereader.h"
#include "rtftabledefinition.h"

#include <QByteArray>
#include <QString>
#include <QTextOption>

#include <cstdint>
#include <string_view>
#include <vector>

class QTextDocument;

namespace quill::rtf {

enum class RtfKeyword;

class RtfParser {
public:
    static constexpr std::size_t maxDepth = 512;

    RtfParser(QTextDocument* doc, double pixelsPerTwip);

    // Reads the whole input into the document (which the caller has cleared).
    void parse(std::string_view input);

private:
    enum class Dest : uint8_t {
        Body,
        Ignore, // words still act, text is dropped (the ANSI half of \upr)
        FontTable,
        ColorTable,
        ListTable,
        LevelText,
        ListOverrideTable,
        FieldInstruction,
        Pn,
        PnText,
        Picture, // the data and words of a \pict group
    };

    using CharProps = RtfCharProps;
    using ParaProps = RtfParaProps;

    struct Group {
        CharProps ch;
        ParaProps para;
        Dest dest = Dest::Body;
        Dest uprDest = Dest::Body; // where \ud text goes inside \upr
        int32_t uc = 1;
        int32_t field = -1;    // index into fieldInstructions_
        int32_t pnText = -1;   // index into the pn texts while in \pntxtb/\pntxta
        int32_t pnTarget = -1; // the stack index whose paragraph \pn words change
    };

    Group& top() { return stack_.back(); }
    void pushGroup();
    bool popGroup();
    void skipGroup();
    bool consumeFallback(RtfToken& token);

    void handleWord(const RtfToken& token);
    void handleSymbol(char symbol);
    bool handleDestination(RtfKeyword kw, bool atStart);
    void handleDocumentWord(RtfKeyword kw, const RtfToken& token);
    void handleFontTableWord(RtfKeyword kw, const RtfToken& token);
    void handleListWord(RtfKeyword kw, const RtfToken& token);
    void handlePnWord(RtfKeyword kw, const RtfToken& token);
    bool handleCharWord(RtfKeyword kw, const RtfToken& token);
    bool handleParaWord(RtfKeyword kw, const RtfToken& token);
    bool handleBreakWord(RtfKeyword kw);

    void appendBytes(std::string_view bytes);
    void appendChar(char16_t ch);
    void decodeBytes();
    void flushText();
    void deliver(const QString& text);

    void endParagraph(bool inTable);
    int codePage() const;
    void startHyperlink();

    RtfDocumentBuilder builder_;
    RtfFormatConverter formats_;
    RtfPictureReader pictures_;
    RtfTableDefinition table_;

    std::vector<Group> stack_;
    std::size_t overflow_ = 0;  // groups opened past maxDepth
    std::size_t skipDepth_ = 0; // open groups of a skipped destination
    int64_t fallbackLeft_ = 0;  // characters still to skip after \uN
    bool groupStart_ = false;   // the last token opened a group
    bool ignorable_ = false;    // ... and was followed by \*
    bool done_ = false;

    int docCodePage_ = 1252;
    QByteArray pendingBytes_;
    QString pendingText_;
    RtfDecoders decoders_;

    int32_t fontIndex_ = -1;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorGiven_ = false;
    int32_t overrideListId_ = 0;
    std::vector<QString> fieldInstructions_;
    QTextOption::TabType pendingTabType_ = QTextOption::LeftTab;

    std::size_t pictureDepth_ = 0; // the stack size inside the \pict group; 0: none
    bool shppictSeen_ = false;

    int64_t pnRun_ = 0; // counts breaks between old-style numbered paragraphs
    bool pendingPageBreak_ = false;
};

} // namespace quill::rtf
