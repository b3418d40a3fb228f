// RtfFormatConverter: the document's numbered tables (fonts, colours, link targets,
// tab-stop sets, old-style list texts, the list table) and the conversion of the
// reader's character and paragraph state into Qt's formats.
//
// The reader fills the tables as it meets them and keeps only small numbers in its
// group state (RtfCharProps, RtfParaProps), so entering and leaving a group copies no
// strings or lists. A number that names no entry converts to "not given".
//
// Promises: the formats never carry more than the document can hold cheaply: sizes
// and lengths are clamped to what word processors accept, and past maxFontFamilies
// families further ones are not applied (Qt compares formats differing only in
// family one by one, so thousands would cost quadratic time). Converting the same
// state twice in a row returns the cached format.
#pragma once

#include "rtfdocumentbuilder.h"
#include "rtflisttable.h"

#include <QColor>
#include <QList>
#include <QSet>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextOption>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace quill::rtf {

// A group's character formatting, as numbers into the converter's tables.
struct RtfCharProps {
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
    bool operator==(const RtfCharProps&) const = default;
};

// A group's paragraph formatting, as numbers into the converter's tables.
struct RtfParaProps {
    int32_t left = 0, right = 0, first = 0; // twips
    int32_t before = 0, after = 0;          // twips
    int32_t lineSpacing = 0;                // \sl
    int32_t listOverride = 0;               // \ls; 0: none
    int32_t listLevel = 0;                  // \ilvl
    int32_t outline = -1;                   // \outlinelevel
    int32_t tabs = -1;                      // index into tabSets()
    int32_t pnBefore = -1, pnAfter = -1;    // indices into pnTexts()
    uint8_t align = 0;                      // 0 none, 1 left, 2 centre, 3 right, 4 justify
    uint8_t pnKind = 0;                     // 0 none, 1 bullet, 2 numbered, 3 continued
    uint8_t pnLevel = 0;
    int8_t pnStyle = 0; // QTextListFormat::Style
    bool lineMultiple = false;
    bool inTable = false;
    bool pageBreakBefore = false;
    bool rightToLeft = false;
    bool operator==(const RtfParaProps&) const = default;
};

class RtfFormatConverter {
public:
    static constexpr int maxFontFamilies = 256;

    struct Font {
        QString name;
        int codePage = 0; // 0: the document's
        bool named = false;
    };

    explicit RtfFormatConverter(double pixelsPerTwip) : pixelsPerTwip_(pixelsPerTwip) {}

    // The tables, by the numbers the file gives them (fonts) or in the order they
    // come (the others).
    std::unordered_map<int32_t, Font>& fonts() { return fonts_; }
    const std::unordered_map<int32_t, Font>& fonts() const { return fonts_; }
    int32_t defaultFont() const { return defaultFont_; }
    void setDefaultFont(int32_t font) { defaultFont_ = font; }
    std::vector<QColor>& colors() { return colors_; }
    std::vector<QString>& hrefs() { return hrefs_; }
    std::vector<QString>& pnTexts() { return pnTexts_; }
    std::vector<QList<QTextOption::Tab>>& tabSets() { return tabSets_; }
    RtfListTable& lists() { return lists_; }

    // The colour of a \colortbl entry; invalid for 0 (the "auto" colour) and for
    // numbers past the table.
    QColor color(int32_t index) const;
    double pixels(int32_t twips) const { return twips * pixelsPerTwip_; }

    QTextCharFormat charFormat(const RtfCharProps& ch);
    QTextBlockFormat blockFormat(const RtfParaProps& para);
    // The list a paragraph belongs to. Old-style (\pn) numbering has no list of its
    // own: `pnRun` counts the breaks in it, so consecutive numbered paragraphs of one
    // style share a list.
    RtfListRef listRef(const RtfParaProps& para, int64_t pnRun);

private:
    double pixelsPerTwip_;
    std::unordered_map<int32_t, Font> fonts_;
    int32_t defaultFont_ = 0;
    QSet<QString> familiesUsed_;
    std::vector<QColor> colors_;
    std::vector<QString> hrefs_;
    std::vector<QString> pnTexts_;
    std::vector<QList<QTextOption::Tab>> tabSets_;
    RtfListTable lists_;

    RtfCharProps cachedChar_;
    QTextCharFormat cachedCharFormat_;
    bool charCacheValid_ = false;
    RtfParaProps cachedPara_;
    QTextBlockFormat cachedBlockFormat_;
    bool paraCacheValid_ = false;
};

} // namespace quill::rtf
