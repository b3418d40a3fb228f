#include "rtfparser.h"

#include "rtfkeyword.h"
#include "rtfliststyle.h"
#include "rtfunits.h"

#include <QFont>
#include <QTextDocument>
#include <QTextImageFormat>

#include <algorithm>

namespace quill::rtf {
namespace {

using Kw = RtfKeyword;

// Word's own limit for a font size: 1638 points (lengths: maxTwips).
constexpr double maxPointSize = 1638.0;
constexpr int maxTabStops = 32;
// Qt finds a format among those a document already has by a hash that does not
// look into lists: formats differing only in font family or in tab stops all
// collide, and every new one is compared with all of them. Documents use a few
// families and tab settings; a file with thousands would take quadratic time, so
// past these counts further ones are not applied (the text is all kept).
constexpr int maxFontFamilies = 256;
constexpr std::size_t maxTabSets = 1024;
constexpr qsizetype maxNameLength = 256;
constexpr qsizetype maxInstructionLength = 4096;

int32_t clampTwips(int32_t v) {
    return std::clamp(v, -maxTwips, maxTwips);
}
bool isOn(const RtfToken& t) {
    return !t.hasParam || t.param != 0;
}

void appendCapped(QString& target, const QString& text, qsizetype cap) {
    if (target.size() < cap)
        target += text.left(cap - target.size());
}

// Text for the document: no control characters but the tab, none of the
// characters QTextDocument reserves for its own structure, no lone surrogates.
QString sanitized(const QString& text) {
    const auto bad = [](char16_t c) {
        return (c < 0x20 && c != u'\t') || c == 0x2029 || c == 0xFDD0 || c == 0xFDD1 ||
               c == 0xFFFC || c == 0xFFFE || c == 0xFFFF || (c >= 0xD800 && c <= 0xDFFF);
    };
    if (std::none_of(text.begin(), text.end(), [&](QChar c) { return bad(c.unicode()); }))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            out += text.at(i);
            out += text.at(++i);
        } else if (QChar::isSurrogate(c)) {
            out += QChar(QChar::ReplacementCharacter);
        } else if (c == 0x2029) {
            out += QChar(QChar::LineSeparator);
        } else if (!bad(c)) {
            out += QChar(c);
        }
    }
    return out;
}

// The target of a HYPERLINK field instruction: its first argument, with the
// \l switch's bookmark as the fragment.
QString hyperlinkTarget(const QString& instruction) {
    QStringList args;
    QString bookmark;
    bool nextIsBookmark = false;
    qsizetype i = 9; // after "HYPERLINK"
    while (i < instruction.size()) {
        while (i < instruction.size() && instruction.at(i).isSpace())
            ++i;
        if (i >= instruction.size())
            break;
        QString arg;
        if (instruction.at(i) == u'"') {
            // A quoted argument; inside it \" is a quote and \\ a backslash.
            for (++i; i < instruction.size() && instruction.at(i) != u'"'; ++i) {
                if (instruction.at(i) == u'\\' && i + 1 < instruction.size() &&
                    (instruction.at(i + 1) == u'"' || instruction.at(i + 1) == u'\\'))
                    ++i;
                arg += instruction.at(i);
            }
            ++i;
        } else {
            const qsizetype start = i;
            while (i < instruction.size() && !instruction.at(i).isSpace())
                ++i;
            arg = instruction.mid(start, i - start);
            if (arg.startsWith(u'\\')) {
                nextIsBookmark = arg == QLatin1StringView("\\l");
                continue;
            }
        }
        if (nextIsBookmark)
            bookmark = arg;
        else if (args.isEmpty())
            args << arg;
        nextIsBookmark = false;
    }
    QString target = args.isEmpty() ? QString() : args.first();
    if (!bookmark.isEmpty())
        target += u'#' + bookmark;
    return target;
}

} // namespace

RtfParser::RtfParser(QTextDocument* doc, double pixelsPerTwip)
    : doc_(doc), builder_(doc, pixelsPerTwip), pixelsPerTwip_(pixelsPerTwip) {}

void RtfParser::parse(std::string_view input) {
    RtfLexer lexer(input);
    RtfToken token;
    while (!done_ && lexer.next(token)) {
        if (skipDepth_ > 0) {
            if (token.type == RtfToken::Type::GroupOpen)
                ++skipDepth_;
            else if (token.type == RtfToken::Type::GroupClose)
                --skipDepth_;
            continue;
        }
        if (fallbackLeft_ > 0 && consumeFallback(token))
            continue;
        if (stack_.empty() && token.type != RtfToken::Type::GroupOpen)
            continue;
        if (pictureDepth_ != 0 && top().dest == Dest::Picture &&
            (token.type == RtfToken::Type::Text || token.type == RtfToken::Type::Binary)) {
            pictureData(token);
            groupStart_ = ignorable_ = false;
            continue;
        }

        switch (token.type) {
        case RtfToken::Type::GroupOpen:
            flushText();
            pushGroup();
            groupStart_ = true;
            ignorable_ = false;
            continue;
        case RtfToken::Type::GroupClose:
            flushText();
            groupStart_ = false;
            if (pictureDepth_ != 0 && overflow_ == 0 && stack_.size() == pictureDepth_)
                endPicture();
            if (!popGroup())
                done_ = true; // the document's own group has ended
            continue;
        case RtfToken::Type::ControlWord:
            handleWord(token);
            break;
        case RtfToken::Type::ControlSymbol:
            handleSymbol(token.symbol);
            break;
        case RtfToken::Type::HexByte: {
            const char byte = static_cast<char>(token.byte);
            appendBytes(std::string_view(&byte, 1));
            break;
        }
        case RtfToken::Type::Text:
            appendBytes(token.data);
            break;
        case RtfToken::Type::Binary:
        case RtfToken::Type::End:
            break;
        }
        if (token.type != RtfToken::Type::ControlSymbol || token.symbol != '*')
            groupStart_ = ignorable_ = false;
    }

    flushText();
    if (stack_.empty())
        stack_.emplace_back();
    const Group& g = top();
    CharProps mark = g.ch;
    mark.href = -1;
    ParaProps para = g.para;
    para.pageBreakBefore = para.pageBreakBefore || pendingPageBreak_;
    if (!para.inTable && builder_.rowOpen())
        builder_.closeRow(rowDef_);
    builder_.finish(blockFormat(para), charFormat(mark), listRef(para), para.inTable);
}

void RtfParser::pushGroup() {
    if (stack_.empty()) {
        stack_.emplace_back();
        return;
    }
    if (stack_.size() >= maxDepth) {
        ++overflow_;
        return;
    }
    stack_.push_back(stack_.back());
}

bool RtfParser::popGroup() {
    if (overflow_ > 0) {
        --overflow_;
        return true;
    }
    if (stack_.size() <= 1)
        return false;
    stack_.pop_back();
    return true;
}

void RtfParser::skipGroup() {
    fallbackLeft_ = 0;
    if (pictureDepth_ != 0 && overflow_ == 0 && stack_.size() <= pictureDepth_) {
        // The picture's own group is what is skipped: it is not read.
        pictureDepth_ = 0;
        picture_ = Picture{};
    }
    if (!popGroup()) {
        done_ = true;
        return;
    }
    skipDepth_ = 1;
}

bool RtfParser::consumeFallback(RtfToken& token) {
    switch (token.type) {
    case RtfToken::Type::GroupOpen:
    case RtfToken::Type::GroupClose:
    case RtfToken::Type::End:
        fallbackLeft_ = 0;
        return false;
    case RtfToken::Type::Text:
        if (static_cast<int64_t>(token.data.size()) <= fallbackLeft_) {
            fallbackLeft_ -= static_cast<int64_t>(token.data.size());
            return true;
        }
        token.data.remove_prefix(static_cast<std::size_t>(fallbackLeft_));
        fallbackLeft_ = 0;
        return false;
    default:
        --fallbackLeft_;
        return true;
    }
}

void RtfParser::handleWord(const RtfToken& token) {
    const Kw kw = lookupKeyword(token.name);
    const bool atStart = groupStart_;
    const bool ignorable = ignorable_;

    if (kw == Kw::u) {
        if (!token.hasParam)
            return; // not a character, so no fallback follows
        const int32_t value = token.param < 0 ? token.param + 65536 : token.param;
        if (value > 0 && value <= 0xFFFF)
            appendChar(static_cast<char16_t>(value));
        fallbackLeft_ = std::max(0, top().uc);
        return;
    }

    flushText();
    if (handleDestination(kw, atStart))
        return;
    if (kw == Kw::Unknown) {
        if (atStart && ignorable)
            skipGroup();
        return;
    }
    handleDocumentWord(kw, token);

    switch (top().dest) {
    case Dest::FontTable:
        handleFontTableWord(kw, token);
        return;
    case Dest::ColorTable:
        if (kw == Kw::red)
            red_ = std::clamp(token.param, 0, 255);
        else if (kw == Kw::green)
            green_ = std::clamp(token.param, 0, 255);
        else if (kw == Kw::blue)
            blue_ = std::clamp(token.param, 0, 255);
        else
            return;
        colorGiven_ = true;
        return;
    case Dest::ListTable:
    case Dest::LevelText:
    case Dest::ListOverrideTable:
        handleListWord(kw, token);
        return;
    case Dest::Pn:
    case Dest::PnText:
        handlePnWord(kw, token);
        return;
    case Dest::FieldInstruction:
        return;
    case Dest::Picture:
        handlePictureWord(kw, token);
        return;
    case Dest::Body:
    case Dest::Ignore:
        break;
    }

    if (handleCharWord(kw, token) || handleParaWord(kw, token) || handleBreakWord(kw))
        return;
    handleTableWord(kw, token);
}

bool RtfParser::handleDestination(Kw kw, bool atStart) {
    // A destination word in the middle of the document's own group would skip
    // everything after it; only a group of its own is skipped.
    const auto skip = [&] {
        if (atStart || stack_.size() > 1)
            skipGroup();
        return true;
    };
    Group& g = top();
    switch (kw) {
    case Kw::fonttbl:
        g.dest = Dest::FontTable;
        return true;
    case Kw::colortbl:
        g.dest = Dest::ColorTable;
        return true;
    case Kw::listtable:
        g.dest = Dest::ListTable;
        return true;
    case Kw::listoverridetable:
        g.dest = Dest::ListOverrideTable;
        return true;
    case Kw::leveltext:
        if (g.dest != Dest::ListTable)
            return skip();
        g.dest = Dest::LevelText;
        return true;
    case Kw::field:
        if (g.dest != Dest::Body)
            return skip();
        fieldInstructions_.emplace_back();
        g.field = static_cast<int32_t>(fieldInstructions_.size()) - 1;
        return true;
    case Kw::fldinst:
        if (g.field < 0)
            return skip();
        g.dest = Dest::FieldInstruction;
        return true;
    case Kw::fldrslt:
        g.dest = Dest::Body;
        startHyperlink();
        return true;
    case Kw::pn:
        if (g.dest != Dest::Body || stack_.size() < 2 || overflow_ > 0)
            return skip();
        g.dest = Dest::Pn;
        g.pnTarget = static_cast<int32_t>(stack_.size()) - 2;
        {
            ParaProps& target = stack_[g.pnTarget].para;
            target.pnKind = 2;
            target.pnLevel = 0;
            target.pnStyle = QTextListFormat::ListDecimal;
            target.pnBefore = target.pnAfter = -1;
        }
        return true;
    case Kw::pntxtb:
    case Kw::pntxta:
        if (g.dest != Dest::Pn || g.pnTarget < 0)
            return skip();
        g.dest = Dest::PnText;
        pnTexts_.emplace_back();
        g.pnText = static_cast<int32_t>(pnTexts_.size()) - 1;
        (kw == Kw::pntxtb ? stack_[g.pnTarget].para.pnBefore : stack_[g.pnTarget].para.pnAfter) =
            g.pnText;
        return true;
    case Kw::pict:
        // Only a picture in a group of its own, in the text, is read; a picture
        // past the deepest group would share its state with what follows it.
        if (g.dest != Dest::Body || g.ch.hidden || pictureDepth_ != 0 || overflow_ > 0 ||
            stack_.size() < 2)
            return skip();
        g.dest = Dest::Picture;
        picture_ = Picture{};
        pictureDepth_ = stack_.size();
        return true;
    case Kw::shppict:
        // Its \pict is read as the text's; the \nonshppict twin word processors
        // write beside it holds the same picture for older readers.
        if (g.dest != Dest::Body)
            return skip();
        shppictSeen_ = true;
        return true;
    case Kw::nonshppict:
        if (g.dest != Dest::Body || shppictSeen_)
            return skip();
        return true;
    case Kw::upr:
        g.uprDest = g.dest;
        g.dest = Dest::Ignore;
        return true;
    case Kw::ud:
        g.dest = g.uprDest;
        return true;
    default:
        return isSkippedDestination(kw) ? skip() : false;
    }
}

void RtfParser::handleDocumentWord(Kw kw, const RtfToken& token) {
    switch (kw) {
    case Kw::ansi:
        docCodePage_ = 1252;
        break;
    case Kw::mac:
        docCodePage_ = 10000;
        break;
    case Kw::pc:
        docCodePage_ = 437;
        break;
    case Kw::pca:
        docCodePage_ = 850;
        break;
    case Kw::ansicpg:
        if (token.param > 0)
            docCodePage_ = token.param;
        break;
    case Kw::deff:
        defaultFont_ = token.param;
        break;
    case Kw::uc:
        top().uc = std::max(0, token.param);
        break;
    default:
        break;
    }
}

void RtfParser::handleFontTableWord(Kw kw, const RtfToken& token) {
    switch (kw) {
    case Kw::f:
        fontIndex_ = token.param;
        fonts_[fontIndex_] = Font{};
        break;
    case Kw::fcharset:
        if (fontIndex_ >= 0 && fonts_.count(fontIndex_))
            fonts_[fontIndex_].codePage = codePageForCharset(token.param);
        break;
    case Kw::cpg:
        if (fontIndex_ >= 0 && fonts_.count(fontIndex_) && token.param > 0)
            fonts_[fontIndex_].codePage = token.param;
        break;
    default:
        break;
    }
}

void RtfParser::handleListWord(Kw kw, const RtfToken& token) {
    switch (kw) {
    case Kw::list:
        if (top().dest == Dest::ListTable)
            lists_.beginList();
        break;
    case Kw::listid:
        if (top().dest == Dest::ListOverrideTable)
            overrideListId_ = token.param;
        else
            lists_.setListId(token.param);
        break;
    case Kw::listlevel:
        lists_.beginLevel();
        break;
    case Kw::levelnfc:
    case Kw::levelnfcn:
        lists_.setLevelNfc(token.param);
        break;
    case Kw::listoverride:
        overrideListId_ = 0;
        break;
    case Kw::ls:
        if (top().dest == Dest::ListOverrideTable)
            lists_.addOverride(token.param, overrideListId_);
        break;
    default:
        break;
    }
}

void RtfParser::handlePnWord(Kw kw, const RtfToken& token) {
    const int32_t targetIndex = top().pnTarget;
    if (targetIndex < 0 || static_cast<std::size_t>(targetIndex) >= stack_.size())
        return;
    ParaProps& target = stack_[targetIndex].para;
    switch (kw) {
    case Kw::pnlvlblt:
        target.pnKind = 1;
        target.pnLevel = 0;
        break;
    case Kw::pnlvlbody:
        target.pnKind = 2;
        target.pnLevel = 0;
        break;
    case Kw::pnlvlcont:
        target.pnKind = 3;
        break;
    case Kw::pnlvl:
        target.pnKind = 2;
        target.pnLevel = static_cast<uint8_t>(std::clamp(token.param - 1, 0, 8));
        break;
    case Kw::pndec:
    case Kw::pnord:
    case Kw::pncard:
    case Kw::pnordt:
        target.pnStyle = QTextListFormat::ListDecimal;
        break;
    case Kw::pnucltr:
        target.pnStyle = QTextListFormat::ListUpperAlpha;
        break;
    case Kw::pnlcltr:
        target.pnStyle = QTextListFormat::ListLowerAlpha;
        break;
    case Kw::pnucrm:
        target.pnStyle = QTextListFormat::ListUpperRoman;
        break;
    case Kw::pnlcrm:
        target.pnStyle = QTextListFormat::ListLowerRoman;
        break;
    default:
        break;
    }
}

bool RtfParser::handleCharWord(Kw kw, const RtfToken& token) {
    CharProps& ch = top().ch;
    const auto underline = [&](QTextCharFormat::UnderlineStyle style) {
        ch.underline = static_cast<uint8_t>(isOn(token) ? style : QTextCharFormat::NoUnderline);
    };
    switch (kw) {
    case Kw::plain: {
        const int32_t href = ch.href;
        ch = CharProps{};
        ch.href = href;
        return true;
    }
    case Kw::b:
        ch.bold = isOn(token);
        return true;
    case Kw::i:
        ch.italic = isOn(token);
        return true;
    case Kw::strike:
    case Kw::striked:
        ch.strike = isOn(token);
        return true;
    case Kw::ul:
    case Kw::uldb:
    case Kw::ulw:
    case Kw::ulth:
        underline(QTextCharFormat::SingleUnderline);
        return true;
    case Kw::ulnone:
        ch.underline = QTextCharFormat::NoUnderline;
        return true;
    case Kw::uld:
    case Kw::ulthd:
        underline(QTextCharFormat::DotLine);
        return true;
    case Kw::uldash:
    case Kw::ulthdash:
    case Kw::ulldash:
    case Kw::ulthldash:
        underline(QTextCharFormat::DashUnderline);
        return true;
    case Kw::uldashd:
    case Kw::ulthdashd:
        underline(QTextCharFormat::DashDotLine);
        return true;
    case Kw::uldashdd:
    case Kw::ulthdashdd:
        underline(QTextCharFormat::DashDotDotLine);
        return true;
    case Kw::ulwave:
    case Kw::ulhwave:
    case Kw::ululdbwave:
        underline(QTextCharFormat::WaveUnderline);
        return true;
    case Kw::f:
        if (token.hasParam)
            ch.font = token.param;
        return true;
    case Kw::fs:
        ch.size = std::max(0, token.param);
        return true;
    case Kw::cf:
        ch.foreground = token.param > 0 ? token.param : -1;
        return true;
    case Kw::cb:
    case Kw::highlight:
    case Kw::chcbpat:
        ch.background = token.param > 0 ? token.param : -1;
        return true;
    case Kw::super:
        ch.vertical = isOn(token) ? 1 : (ch.vertical == 1 ? 0 : ch.vertical);
        return true;
    case Kw::sub:
        ch.vertical = isOn(token) ? 2 : (ch.vertical == 2 ? 0 : ch.vertical);
        return true;
    case Kw::nosupersub:
        ch.vertical = 0;
        return true;
    case Kw::up:
        ch.vertical = token.hasParam && token.param == 0 ? 0 : 1;
        return true;
    case Kw::dn:
        ch.vertical = token.hasParam && token.param == 0 ? 0 : 2;
        return true;
    case Kw::caps:
        ch.caps = isOn(token) ? 1 : (ch.caps == 1 ? 0 : ch.caps);
        return true;
    case Kw::scaps:
        ch.caps = isOn(token) ? 2 : (ch.caps == 2 ? 0 : ch.caps);
        return true;
    case Kw::v:
        ch.hidden = isOn(token);
        return true;
    default:
        return false;
    }
}

bool RtfParser::handleParaWord(Kw kw, const RtfToken& token) {
    ParaProps& p = top().para;
    switch (kw) {
    case Kw::pard:
        p = ParaProps{};
        pendingTabType_ = QTextOption::LeftTab;
        return true;
    case Kw::ql:
        p.align = 1;
        return true;
    case Kw::qc:
        p.align = 2;
        return true;
    case Kw::qr:
        p.align = 3;
        return true;
    case Kw::qj:
    case Kw::qd:
        p.align = 4;
        return true;
    case Kw::li:
    case Kw::lin:
        p.left = clampTwips(token.param);
        return true;
    case Kw::ri:
    case Kw::rin:
        p.right = clampTwips(token.param);
        return true;
    case Kw::fi:
        p.first = clampTwips(token.param);
        return true;
    case Kw::sb:
        p.before = std::clamp(token.param, 0, maxTwips);
        return true;
    case Kw::sa:
        p.after = std::clamp(token.param, 0, maxTwips);
        return true;
    case Kw::sl:
        p.lineSpacing = clampTwips(token.param);
        return true;
    case Kw::slmult:
        p.lineMultiple = isOn(token);
        return true;
    case Kw::intbl:
        p.inTable = true;
        return true;
    case Kw::pagebb:
        p.pageBreakBefore = isOn(token);
        return true;
    case Kw::outlinelevel:
        p.outline = token.param >= 0 && token.param <= 8 ? token.param : -1;
        return true;
    case Kw::rtlpar:
        p.rightToLeft = true;
        return true;
    case Kw::ltrpar:
        p.rightToLeft = false;
        return true;
    case Kw::tqr:
        pendingTabType_ = QTextOption::RightTab;
        return true;
    case Kw::tqc:
        pendingTabType_ = QTextOption::CenterTab;
        return true;
    case Kw::tqdec:
        pendingTabType_ = QTextOption::DelimiterTab;
        return true;
    case Kw::tx: {
        QList<QTextOption::Tab> tabs = p.tabs >= 0 ? tabPool_[p.tabs] : QList<QTextOption::Tab>();
        if (tabs.size() < maxTabStops && tabPool_.size() < maxTabSets) {
            const QChar delimiter = pendingTabType_ == QTextOption::DelimiterTab ? u'.' : QChar();
            tabs.append(QTextOption::Tab(pixels(std::clamp(token.param, 0, maxTwips)),
                                         pendingTabType_, delimiter));
            tabPool_.push_back(std::move(tabs));
            p.tabs = static_cast<int32_t>(tabPool_.size()) - 1;
        }
        pendingTabType_ = QTextOption::LeftTab;
        return true;
    }
    case Kw::ls:
        p.listOverride = std::max(0, token.param);
        return true;
    case Kw::ilvl:
        p.listLevel = std::clamp(token.param, 0, RtfListTable::maxLevels - 1);
        return true;
    default:
        return false;
    }
}

bool RtfParser::handleBreakWord(Kw kw) {
    char16_t ch = 0;
    switch (kw) {
    case Kw::par:
    case Kw::sect:
    case Kw::column:
        endParagraph(false);
        return true;
    case Kw::page:
        endParagraph(false);
        pendingPageBreak_ = true;
        return true;
    case Kw::cell:
    case Kw::nestcell:
        if (top().dest != Dest::Body)
            return true;
        endParagraph(true);
        if (kw == Kw::cell)
            builder_.endCell();
        return true;
    case Kw::row:
        if (top().dest == Dest::Body)
            builder_.endRow(rowDef_);
        return true;
    case Kw::nestrow:
        return true;
    case Kw::line:
    case Kw::softline:
        ch = QChar::LineSeparator;
        break;
    case Kw::tab:
        ch = u'\t';
        break;
    case Kw::emdash:
        ch = 0x2014;
        break;
    case Kw::endash:
        ch = 0x2013;
        break;
    case Kw::emspace:
        ch = 0x2003;
        break;
    case Kw::enspace:
        ch = 0x2002;
        break;
    case Kw::qmspace:
        ch = 0x2005;
        break;
    case Kw::bullet:
        ch = 0x2022;
        break;
    case Kw::lquote:
        ch = 0x2018;
        break;
    case Kw::rquote:
        ch = 0x2019;
        break;
    case Kw::ldblquote:
        ch = 0x201C;
        break;
    case Kw::rdblquote:
        ch = 0x201D;
        break;
    case Kw::zwj:
        ch = 0x200D;
        break;
    case Kw::zwnj:
        ch = 0x200C;
        break;
    case Kw::ltrmark:
        ch = 0x200E;
        break;
    case Kw::rtlmark:
        ch = 0x200F;
        break;
    default:
        return false;
    }
    appendChar(ch);
    return true;
}

void RtfParser::handleTableWord(Kw kw, const RtfToken& token) {
    const auto setBorder = [&](int32_t width) {
        if (borderTarget_ == BorderTarget::Cell)
            cellDef_.borderWidth = width;
        else if (borderTarget_ == BorderTarget::Row)
            rowDef_.borderWidth = width;
    };
    const auto currentBorder = [&] {
        return borderTarget_ == BorderTarget::Cell  ? cellDef_.borderWidth
               : borderTarget_ == BorderTarget::Row ? rowDef_.borderWidth
                                                    : 0;
    };
    switch (kw) {
    case Kw::trowd:
        rowDef_ = RtfRowDef{};
        cellDef_ = RtfCellDef{};
        borderTarget_ = BorderTarget::None;
        break;
    case Kw::trgaph:
        rowDef_.gap = std::clamp(token.param, 0, maxTwips);
        break;
    case Kw::trleft:
        rowDef_.left = clampTwips(token.param);
        break;
    case Kw::trql:
        rowDef_.alignment = Qt::AlignLeft;
        break;
    case Kw::trqc:
        rowDef_.alignment = Qt::AlignHCenter;
        break;
    case Kw::trqr:
        rowDef_.alignment = Qt::AlignRight;
        break;
    case Kw::cellx:
        cellDef_.right = clampTwips(token.param);
        // More edges than any row can use say nothing more; don't keep them.
        if (rowDef_.cells.size() < 4 * RtfDocumentBuilder::maxColumns)
            rowDef_.cells.push_back(cellDef_);
        cellDef_ = RtfCellDef{};
        borderTarget_ = BorderTarget::None;
        break;
    case Kw::clcbpat:
        cellDef_.background = color(token.param);
        break;
    case Kw::clvmgf:
        cellDef_.mergeFirst = true;
        break;
    case Kw::clvmrg:
        cellDef_.mergeNext = true;
        break;
    case Kw::clbrdrt:
    case Kw::clbrdrb:
    case Kw::clbrdrl:
    case Kw::clbrdrr:
        borderTarget_ = BorderTarget::Cell;
        break;
    case Kw::trbrdrt:
    case Kw::trbrdrb:
    case Kw::trbrdrl:
    case Kw::trbrdrr:
    case Kw::trbrdrh:
    case Kw::trbrdrv:
        borderTarget_ = BorderTarget::Row;
        break;
    case Kw::brdrt:
    case Kw::brdrb:
    case Kw::brdrl:
    case Kw::brdrr:
    case Kw::box:
    case Kw::brdrbtw:
    case Kw::brdrbar:
        borderTarget_ = BorderTarget::None;
        break;
    case Kw::brdrs:
    case Kw::brdrth:
    case Kw::brdrdb:
    case Kw::brdrdot:
    case Kw::brdrdash:
    case Kw::brdrsh:
        if (currentBorder() == 0)
            setBorder(10); // a hairline until \brdrw says otherwise
        break;
    case Kw::brdrw:
        if (currentBorder() > 0)
            setBorder(std::clamp(token.param, 1, 255));
        break;
    default:
        break;
    }
}

void RtfParser::handleSymbol(char symbol) {
    switch (symbol) {
    case '*':
        if (groupStart_)
            ignorable_ = true;
        return;
    case '\\':
    case '{':
    case '}':
        appendBytes(std::string_view(&symbol, 1));
        return;
    case '~':
        appendChar(0x00A0);
        return;
    case '-':
        appendChar(0x00AD);
        return;
    case '_':
        appendChar(0x2011);
        return;
    case '\t':
        appendChar(u'\t');
        return;
    case '\n':
    case '\r':
        flushText();
        endParagraph(false);
        return;
    default:
        return; // \: and \| belong to index entries and formulas
    }
}

void RtfParser::appendBytes(std::string_view bytes) {
    pendingBytes_.append(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

void RtfParser::appendChar(char16_t ch) {
    decodeBytes();
    pendingText_ += QChar(ch);
}

void RtfParser::decodeBytes() {
    if (pendingBytes_.isEmpty())
        return;
    decoders_.decode(codePage(), pendingBytes_, pendingText_);
    pendingBytes_.clear();
}

void RtfParser::flushText() {
    decodeBytes();
    if (pendingText_.isEmpty())
        return;
    deliver(pendingText_);
    pendingText_.clear();
}

void RtfParser::deliver(const QString& text) {
    Group& g = top();
    switch (g.dest) {
    case Dest::Body:
        if (!g.ch.hidden)
            builder_.addText(sanitized(text), charFormat(g.ch));
        break;
    case Dest::FontTable: {
        auto font = fonts_.find(fontIndex_);
        for (const QChar c : text) {
            if (font == fonts_.end() || font->second.named)
                break;
            if (c == u';')
                font->second.named = true;
            else if (font->second.name.size() < maxNameLength)
                font->second.name += c;
        }
        break;
    }
    case Dest::ColorTable:
        for (const QChar c : text) {
            if (c != u';')
                continue;
            colors_.push_back(colorGiven_ ? QColor(red_, green_, blue_) : QColor());
            red_ = green_ = blue_ = 0;
            colorGiven_ = false;
        }
        break;
    case Dest::LevelText:
        lists_.appendLevelText(text);
        break;
    case Dest::FieldInstruction:
        if (g.field >= 0)
            appendCapped(fieldInstructions_[g.field], text, maxInstructionLength);
        break;
    case Dest::PnText:
        if (g.pnText >= 0)
            appendCapped(pnTexts_[g.pnText], text, 16);
        break;
    default:
        break;
    }
}

void RtfParser::handlePictureWord(Kw kw, const RtfToken& token) {
    Picture& p = picture_;
    const int32_t value = token.param;
    switch (kw) {
    case Kw::pngblip:
    case Kw::jpegblip:
        p.readable = true;
        break;
    case Kw::emfblip:
    case Kw::wmetafile:
    case Kw::pmmetafile:
    case Kw::dibitmap:
    case Kw::wbitmap:
    case Kw::macpict:
        p.otherKind = true;
        p.data.clear(); // not kept, so not held either
        break;
    case Kw::picw:
    case Kw::pich:
        break; // the data's own header says its pixels, more reliably
    case Kw::picwgoal:
        p.goalWidth = std::clamp(value, 0, maxTwips);
        break;
    case Kw::pichgoal:
        p.goalHeight = std::clamp(value, 0, maxTwips);
        break;
    case Kw::picscalex:
        p.scaleX = std::clamp(value, 1, 1000);
        break;
    case Kw::picscaley:
        p.scaleY = std::clamp(value, 1, 1000);
        break;
    default:
        break;
    }
}

void RtfParser::pictureData(const RtfToken& token) {
    Picture& p = picture_;
    if (p.otherKind || p.tooLarge)
        return;
    const auto room = [&](std::size_t bytes) {
        if (static_cast<std::size_t>(p.data.size()) + bytes <= std::size_t(maxPictureBytes))
            return true;
        // Past the limit the picture is dropped whole, and its data let go.
        p.tooLarge = true;
        p.data = QByteArray();
        return false;
    };
    if (token.type == RtfToken::Type::Binary) {
        if (room(token.data.size()))
            p.data.append(token.data.data(), static_cast<qsizetype>(token.data.size()));
        return;
    }
    // Two digits a byte at most; the exact count is checked as they come.
    if (!room(0))
        return;
    p.data.reserve(
        std::min<qsizetype>(maxPictureBytes, p.data.size() + qsizetype(token.data.size() / 2 + 1)));
    for (const char c : token.data) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            continue; // white space between the digits
        if (p.nibble < 0) {
            p.nibble = digit;
        } else {
            if (!room(1))
                return;
            p.data.append(static_cast<char>(p.nibble * 16 + digit));
            p.nibble = -1;
        }
    }
}

void RtfParser::endPicture() {
    pictureDepth_ = 0;
    Picture p = std::move(picture_);
    picture_ = Picture{};
    if (!p.readable || p.otherKind || p.tooLarge)
        return;
    // The data must be what it says: a PNG or JPEG of a size we accept.
    const QSize pixels = picturePixelSize(p.data);
    if (!pixels.isValid())
        return;
    const QString name = pictureName(p.data);
    if (!pictureNames_.contains(name)) {
        if (!pictureFits(picturesUsed_, p.data.size(), pixels))
            return;
        picturesUsed_.bytes += p.data.size();
        picturesUsed_.pixels += int64_t(pixels.width()) * pixels.height();
        ++picturesUsed_.count;
        pictureNames_.insert(name);
        addPicture(doc_, p.data);
    }

    // Shown at the goal size, scaled; without a goal at the picture's own pixels
    // (\picw and \pich mean pixels to some writers, hundredths of a millimetre
    // to others).
    const auto length = [&](int32_t goal, int own, int32_t scale) {
        const double twips = goal > 0 ? double(goal) : own / pixelsPerTwip_;
        return std::clamp(twips * scale / 100.0, 1.0, double(maxTwips)) * pixelsPerTwip_;
    };
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(length(p.goalWidth, pixels.width(), p.scaleX));
    format.setHeight(length(p.goalHeight, pixels.height(), p.scaleY));
    builder_.addImage(format);
}

void RtfParser::startHyperlink() {
    Group& g = top();
    if (g.field < 0)
        return;
    const QString instruction = fieldInstructions_[g.field].trimmed();
    if (!instruction.startsWith(QLatin1StringView("HYPERLINK"), Qt::CaseInsensitive))
        return;
    const QString target = hyperlinkTarget(instruction);
    if (target.isEmpty())
        return;
    hrefs_.push_back(target);
    g.ch.href = static_cast<int32_t>(hrefs_.size()) - 1;
}

void RtfParser::endParagraph(bool inTable) {
    if (top().dest != Dest::Body)
        return;
    flushText();
    const Group& g = top();
    CharProps mark = g.ch;
    mark.href = -1;
    ParaProps para = g.para;
    para.pageBreakBefore = para.pageBreakBefore || pendingPageBreak_;
    // A row whose \row never came ends with the first paragraph outside it,
    // laid out by its own row definition.
    if (!inTable && !para.inTable && builder_.rowOpen())
        builder_.closeRow(rowDef_);
    builder_.endParagraph(blockFormat(para), charFormat(mark), listRef(para),
                          inTable || para.inTable);
    pendingPageBreak_ = false;
    if (para.pnKind == 0)
        ++pnRun_;
}

QTextCharFormat RtfParser::charFormat(const CharProps& ch) {
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

QTextBlockFormat RtfParser::blockFormat(const ParaProps& para) {
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
        f.setTabPositions(tabPool_[para.tabs]);

    cachedPara_ = para;
    cachedBlockFormat_ = f;
    paraCacheValid_ = true;
    return f;
}

RtfListRef RtfParser::listRef(const ParaProps& para) {
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
    ref.group = -(pnRun_ * 16 + (-ref.format.style()));
    return ref;
}

QColor RtfParser::color(int32_t index) const {
    if (index <= 0 || static_cast<std::size_t>(index) >= colors_.size())
        return QColor();
    return colors_[index];
}

int RtfParser::codePage() const {
    const Group& g = stack_.back();
    int32_t font =
        g.dest == Dest::FontTable ? fontIndex_ : (g.ch.font >= 0 ? g.ch.font : defaultFont_);
    if (const auto it = fonts_.find(font); it != fonts_.end() && it->second.codePage != 0)
        return it->second.codePage;
    return docCodePage_;
}

} // namespace quill::rtf
