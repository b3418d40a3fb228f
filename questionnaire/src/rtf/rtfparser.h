// RtfParser: reads RTF tokens, keeps RTF's group state, and hands text with its
// formats to an RtfDocumentBuilder.
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
#include "rtflexer.h"
#include "rtflisttable.h"
#include "rtfpicture.h"

#include <QColor>
#include <QList>
#include <QSet>
#include <QString>
#include <QTextOption>

#include <cstdint>
#include <string_view>
#include <unordered_map>
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

    struct CharProps {
        int32_t font = -1; // -1: the default font (\deff)
        int32_t size = 0;  // half-points; 0: not given
        int32_t foreground = -1;
        int32_t background = -1;
        int32_t href = -1;
        uint8_t underline = 0; // QTextCharFormat::UnderlineStyle
        uint8_t vertical = 0;  // 0 normal, 1 superscript, 2 subscript
        uint8_t caps = 0;      // 0 none, 1 all capitals, 2 small capitals
        bool bold = false;
        bool italic = false;
        bool strike = false;
        bool hidden = false;
        bool operator==(const CharProps&) const = default;
    };

    struct ParaProps {
        int32_t left = 0, right = 0, first = 0; // twips
        int32_t before = 0, after = 0;          // twips
        int32_t lineSpacing = 0;                // \sl
        int32_t listOverride = 0;               // \ls; 0: none
        int32_t listLevel = 0;                  // \ilvl
        int32_t outline = -1;                   // \outlinelevel
        int32_t tabs = -1;                      // index into tabPool_
        int32_t pnBefore = -1, pnAfter = -1;    // indices into pnTexts_
        uint8_t align = 0;                      // 0 none, 1 left, 2 centre, 3 right, 4 justify
        uint8_t pnKind = 0;                     // 0 none, 1 bullet, 2 numbered, 3 continued
        uint8_t pnLevel = 0;
        int8_t pnStyle = 0; // QTextListFormat::Style
        bool lineMultiple = false;
        bool inTable = false;
        bool pageBreakBefore = false;
        bool rightToLeft = false;
        bool operator==(const ParaProps&) const = default;
    };

    struct Group {
        CharProps ch;
        ParaProps para;
        Dest dest = Dest::Body;
        Dest uprDest = Dest::Body; // where \ud text goes inside \upr
        int32_t uc = 1;
        int32_t field = -1;    // index into fields_
        int32_t pnText = -1;   // index into pnTexts_ while in \pntxtb/\pntxta
        int32_t pnTarget = -1; // the stack index whose paragraph \pn words change
    };

    struct Font {
        QString name;
        int codePage = 0; // 0: the document's
        bool named = false;
    };

    enum class BorderTarget : uint8_t { None, Cell, Row };

    // The \pict group being read.
    struct Picture {
        QByteArray data;
        int32_t goalWidth = 0, goalHeight = 0; // twips
        int32_t scaleX = 100, scaleY = 100;    // percent
        int nibble = -1;                       // a hex digit waiting for its pair
        bool readable = false;                 // \pngblip or \jpegblip
        bool otherKind = false;                // a kind we skip
        bool tooLarge = false;
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
    void handleTableWord(RtfKeyword kw, const RtfToken& token);
    void handleFontTableWord(RtfKeyword kw, const RtfToken& token);
    void handleListWord(RtfKeyword kw, const RtfToken& token);
    void handlePnWord(RtfKeyword kw, const RtfToken& token);
    bool handleCharWord(RtfKeyword kw, const RtfToken& token);
    bool handleParaWord(RtfKeyword kw, const RtfToken& token);
    bool handleBreakWord(RtfKeyword kw);
    void handlePictureWord(RtfKeyword kw, const RtfToken& token);
    void pictureData(const RtfToken& token);
    void endPicture();

    void appendBytes(std::string_view bytes);
    void appendChar(char16_t ch);
    void decodeBytes();
    void flushText();
    void deliver(const QString& text);

    void endParagraph(bool inTable);
    QTextCharFormat charFormat(const CharProps& ch);
    QTextBlockFormat blockFormat(const ParaProps& para);
    RtfListRef listRef(const ParaProps& para);
    QColor color(int32_t index) const;
    int codePage() const;
    double pixels(int32_t twips) const { return twips * pixelsPerTwip_; }
    void startHyperlink();

    QTextDocument* doc_;
    RtfDocumentBuilder builder_;
    double pixelsPerTwip_;

    std::vector<Group> stack_;
    std::size_t overflow_ = 0;  // groups opened past maxDepth
    std::size_t skipDepth_ = 0; // open groups of a skipped destination
    int64_t fallbackLeft_ = 0;  // characters still to skip after \uN
    bool groupStart_ = false;   // the last token opened a group
    bool ignorable_ = false;    // ... and was followed by \*
    bool done_ = false;

    int docCodePage_ = 1252;
    int32_t defaultFont_ = 0;
    QByteArray pendingBytes_;
    QString pendingText_;
    RtfDecoders decoders_;

    std::unordered_map<int32_t, Font> fonts_;
    QSet<QString> familiesUsed_;
    int32_t fontIndex_ = -1;
    std::vector<QColor> colors_;
    int red_ = 0, green_ = 0, blue_ = 0;
    bool colorGiven_ = false;
    RtfListTable lists_;
    int32_t overrideListId_ = 0;
    std::vector<QString> fieldInstructions_;
    std::vector<QString> hrefs_;
    std::vector<QString> pnTexts_;
    std::vector<QList<QTextOption::Tab>> tabPool_;
    QTextOption::TabType pendingTabType_ = QTextOption::LeftTab;

    RtfRowDef rowDef_;
    RtfCellDef cellDef_;
    BorderTarget borderTarget_ = BorderTarget::None;

    Picture picture_;
    std::size_t pictureDepth_ = 0; // the stack size inside the \pict group; 0: none
    bool shppictSeen_ = false;
    PictureUsage picturesUsed_;
    QSet<QString> pictureNames_;

    int64_t pnRun_ = 0; // counts breaks between old-style numbered paragraphs
    bool pendingPageBreak_ = false;

    CharProps cachedChar_;
    QTextCharFormat cachedCharFormat_;
    bool charCacheValid_ = false;
    ParaProps cachedPara_;
    QTextBlockFormat cachedBlockFormat_;
    bool paraCacheValid_ = false;
};

} // namespace quill::rtf
