#include "rtfformatconverter.h"

#include "rtfliststyle.h"
#include "rtfunits.h"

#include <QFont>

#include <algorithm>

namespace quill::rtf {
namespace {

// Word's own limit for a font size: 1638 points (lengths: maxTwips).
constexpr double maxPointSize = 1638.0;

} // namespace

QTextCharFormat RtfFormatConverter::charFormat(const RtfCharProps& ch) {
    if (charCacheValid_ && ch == cachedChar_)
        return cachedCharFormat_;

    QTextCharFormat f;
    const auto font = fonts_.find(ch.font >= 0 ? ch.font : defaultFont_);
    if (font != fonts_.end()) {
        const QString name = font->second.name.trimmed();
        if (!name.isEmpty() &&
            (familiesUsed_.contains(name) || familiesUsed_.size() < maxFontFamilies)) {
            familiesUsed_.insert(name);
            f.setFontFamilies({name});
        }
    }
    if (ch.size > 0)
        f.setFontPointSize(std::clamp(ch.size / 2.0, 1.0, maxPointSize));
    if (ch.bold)
        f.setFontWeight(QFont::Bold);
    if (ch.italic)
        f.setFontItalic(true);
    if (ch.underline != QTextCharFormat::NoUnderline)
        f.setUnderlineStyle(static_cast<QTextCharFormat::UnderlineStyle>(ch.underline));
    if (ch.strike)
        f.setFontStrikeOut(true);
    if (ch.vertical == 1)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (ch.vertical == 2)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (ch.caps == 1)
        f.setFontCapitalization(QFont::AllUppercase);
    else if (ch.caps == 2)
        f.setFontCapitalization(QFont::SmallCaps);
    if (const QColor c = color(ch.foreground); c.isValid())
        f.setForeground(c);
    if (const QColor c = color(ch.background); c.isValid())
        f.setBackground(c);
    if (ch.href >= 0) {
        f.setAnchor(true);
        f.setAnchorHref(hrefs_[ch.href]);
    }

    cachedChar_ = ch;
    cachedCharFormat_ = f;
    charCacheValid_ = true;
    return f;
}

QTextBlockFormat RtfFormatConverter::blockFormat(const RtfParaProps& para) {
    if (paraCacheValid_ && para == cachedPara_)
        return cachedBlockFormat_;

    QTextBlockFormat f;
    switch (para.align) {
    case 1:
        f.setAlignment(Qt::AlignLeft);
        break;
    case 2:
        f.setAlignment(Qt::AlignHCenter);
        break;
    case 3:
        f.setAlignment(Qt::AlignRight);
        break;
    case 4:
        f.setAlignment(Qt::AlignJustify);
        break;
    default:
        break;
    }

    int32_t left = para.left;
    int32_t first = para.first;
    const bool listed = para.listOverride > 0 || para.pnKind == 1 || para.pnKind == 2;
    if (listed) {
        // The list's own indent is Qt's (per level); what the file gives beyond
        // it is the paragraph's. The first-line indent is where the number goes.
        const int level = para.listOverride > 0 ? para.listLevel : para.pnLevel;
        left = std::max(0, left - (level + 1) * listLevelTwips);
        first = 0;
    }
    if (left != 0)
        f.setLeftMargin(pixels(left));
    if (para.right != 0)
        f.setRightMargin(pixels(para.right));
    if (first != 0)
        f.setTextIndent(pixels(first));
    if (para.before != 0)
        f.setTopMargin(pixels(para.before));
    if (para.after != 0)
        f.setBottomMargin(pixels(para.after));
    if (para.lineSpacing > 0 && para.lineMultiple) {
        const double percent = para.lineSpacing * 100.0 / 240.0;
        if (percent != 100.0)
            f.setLineHeight(percent, QTextBlockFormat::ProportionalHeight);
    } else if (para.lineSpacing < 0) {
        f.setLineHeight(pixels(-para.lineSpacing), QTextBlockFormat::FixedHeight);
    } else if (para.lineSpacing > 0) {
        f.setLineHeight(pixels(para.lineSpacing), QTextBlockFormat::MinimumHeight);
    }
    if (para.pageBreakBefore)
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    if (para.outline >= 0)
        f.setHeadingLevel(para.outline + 1);
    if (para.rightToLeft)
        f.setLayoutDirection(Qt::RightToLeft);
    if (para.tabs >= 0)
        f.setTabPositions(tabSets_[para.tabs]);

    cachedPara_ = para;
    cachedBlockFormat_ = f;
    paraCacheValid_ = true;
    return f;
}

RtfListRef RtfFormatConverter::listRef(const RtfParaProps& para, int64_t pnRun) {
    RtfListRef ref;
    if (para.listOverride > 0) {
        ref.group = para.listOverride;
        ref.level = para.listLevel;
        ref.format = lists_.format(para.listOverride, para.listLevel);
        return ref;
    }
    if (para.pnKind != 1 && para.pnKind != 2)
        return ref;

    const QString before = para.pnBefore >= 0 ? pnTexts_[para.pnBefore] : QString();
    const QString after = para.pnAfter >= 0 ? pnTexts_[para.pnAfter] : QString();
    ref.level = para.pnLevel;
    ref.format.setIndent(para.pnLevel + 1);
    if (para.pnKind == 1) {
        ref.format.setStyle(bulletStyleFor(before.isEmpty() ? QChar(0x2022) : before.at(0)));
    } else {
        ref.format.setStyle(static_cast<QTextListFormat::Style>(para.pnStyle));
        ref.format.setNumberPrefix(before);
        ref.format.setNumberSuffix(after);
    }
    // Old-style numbering has no list identity: consecutive numbered paragraphs
    // of one style are one list. Negative groups keep clear of \ls numbers.
    ref.group = -(pnRun * 16 + (-ref.format.style()));
    return ref;
}

QColor RtfFormatConverter::color(int32_t index) const {
    if (index <= 0 || static_cast<std::size_t>(index) >= colors_.size())
        return QColor();
    return colors_[index];
}

} // namespace quill::rtf
