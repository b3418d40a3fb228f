#include "rtfparser.h"

#include "rtfkeyword.h"
#include "rtfunits.h"

#include <QTextDocument>

#include <algorithm>

namespace quill::rtf {
namespace {

using Kw = RtfKeyword;

constexpr int maxTabStops = 32;
// Qt finds a format among those a document already has by a hash that does not
// look into lists: formats differing only in tab stops all collide, and every new
// one is compared with all of them. Documents use a few tab settings; a file with
// thousands would take quadratic time, so past this count further ones are not
// applied (the text is all kept). Font families: RtfFormatConverter.
constexpr std::size_t maxTabSets = 1024;
constexpr qsizetype maxNameLength = 256;
constexpr qsizetype maxInstructionLength = 4096;

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
    : builder_(doc, pixelsPerTwip), formats_(pixelsPerTwip), pictures_(doc, pixelsPerTwip) {}

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
            pictures_.data(token);
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
            if (pictureDepth_ != 0 && overflow_ == 0 && stack_.size() == pictureDepth_) {
                pictureDepth_ = 0;
                if (const auto image = pictures_.end())
                    builder_.addImage(*image);
            }
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
        builder_.closeRow(table_.row());
    builder_.finish(formats_.blockFormat(para), formats_.charFormat(mark),
                    formats_.listRef(para, pnRun_), para.inTable);
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
        pictures_.discard();
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
        pictures_.word(kw, token);
        return;
    case Dest::Body:
    case Dest::Ignore:
        break;
    }

    if (handleCharWord(kw, token) || handleParaWord(kw, token) || handleBreakWord(kw))
        return;
    table_.word(kw, token, formats_);
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
        formats_.pnTexts().emplace_back();
        g.pnText = static_cast<int32_t>(formats_.pnTexts().size()) - 1;
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
        pictures_.begin();
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
        formats_.setDefaultFont(token.param);
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
        formats_.fonts()[fontIndex_] = RtfFormatConverter::Font{};
        break;
    case Kw::fcharset:
        if (fontIndex_ >= 0 && formats_.fonts().count(fontIndex_))
            formats_.fonts()[fontIndex_].codePage = codePageForCharset(token.param);
        break;
    case Kw::cpg:
        if (fontIndex_ >= 0 && formats_.fonts().count(fontIndex_) && token.param > 0)
            formats_.fonts()[fontIndex_].codePage = token.param;
        break;
    default:
        break;
    }
}

void RtfParser::handleListWord(Kw kw, const RtfToken& token) {
    switch (kw) {
    case Kw::list:
        if (top().dest == Dest::ListTable)
            formats_.lists().beginList();
        break;
    case Kw::listid:
        if (top().dest == Dest::ListOverrideTable)
            overrideListId_ = token.param;
        else
            formats_.lists().setListId(token.param);
        break;
    case Kw::listlevel:
        formats_.lists().beginLevel();
        break;
    case Kw::levelnfc:
    case Kw::levelnfcn:
        formats_.lists().setLevelNfc(token.param);
        break;
    case Kw::listoverride:
        overrideListId_ = 0;
        break;
    case Kw::ls:
        if (top().dest == Dest::ListOverrideTable)
            formats_.lists().addOverride(token.param, overrideListId_);
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
        QList<QTextOption::Tab> tabs =
            p.tabs >= 0 ? formats_.tabSets()[p.tabs] : QList<QTextOption::Tab>();
        if (tabs.size() < maxTabStops && formats_.tabSets().size() < maxTabSets) {
            const QChar delimiter = pendingTabType_ == QTextOption::DelimiterTab ? u'.' : QChar();
            tabs.append(QTextOption::Tab(formats_.pixels(std::clamp(token.param, 0, maxTwips)),
                                         pendingTabType_, delimiter));
            formats_.tabSets().push_back(std::move(tabs));
            p.tabs = static_cast<int32_t>(formats_.tabSets().size()) - 1;
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
            builder_.endRow(table_.row());
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
            builder_.addText(sanitized(text), formats_.charFormat(g.ch));
        break;
    case Dest::FontTable: {
        auto font = formats_.fonts().find(fontIndex_);
        for (const QChar c : text) {
            if (font == formats_.fonts().end() || font->second.named)
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
            formats_.colors().push_back(colorGiven_ ? QColor(red_, green_, blue_) : QColor());
            red_ = green_ = blue_ = 0;
            colorGiven_ = false;
        }
        break;
    case Dest::LevelText:
        formats_.lists().appendLevelText(text);
        break;
    case Dest::FieldInstruction:
        if (g.field >= 0)
            appendCapped(fieldInstructions_[g.field], text, maxInstructionLength);
        break;
    case Dest::PnText:
        if (g.pnText >= 0)
            appendCapped(formats_.pnTexts()[g.pnText], text, 16);
        break;
    default:
        break;
    }
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
    formats_.hrefs().push_back(target);
    g.ch.href = static_cast<int32_t>(formats_.hrefs().size()) - 1;
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
        builder_.closeRow(table_.row());
    builder_.endParagraph(formats_.blockFormat(para), formats_.charFormat(mark),
                          formats_.listRef(para, pnRun_), inTable || para.inTable);
    pendingPageBreak_ = false;
    if (para.pnKind == 0)
        ++pnRun_;
}

int RtfParser::codePage() const {
    const Group& g = stack_.back();
    int32_t font = g.dest == Dest::FontTable
                       ? fontIndex_
                       : (g.ch.font >= 0 ? g.ch.font : formats_.defaultFont());
    if (const auto it = formats_.fonts().find(font);
        it != formats_.fonts().end() && it->second.codePage != 0)
        return it->second.codePage;
    return docCodePage_;
}

} // namespace quill::rtf
