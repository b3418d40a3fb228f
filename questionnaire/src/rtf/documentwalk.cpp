#include "documentwalk.h"

#include "rtfpicture.h"
#include "rtftextproperties.h"
#include "rtfunits.h"

#include <QTextDocument>
#include <QTextTable>

#include <algorithm>
#include <cmath>

namespace quill::rtf {

QSizeF pictureArea(const ExportPage& page, double pixelsPerTwip) {
    return QSizeF(std::max(1, page.textWidth()), std::max(1, page.textHeight() - 360)) *
           pixelsPerTwip;
}

QSizeF fitInto(QSizeF size, QSizeF area) {
    if (size.width() <= area.width() && size.height() <= area.height())
        return size;
    const double scale = std::min(area.width() / size.width(), area.height() / size.height());
    return size * scale;
}

DocumentWalk::DocumentWalk(const QTextDocument& doc, const ExportPage* page)
    : doc_(doc), page_(page),
      pixelsPerTwip_(page && page->pixelsPerTwip > 0 ? page->pixelsPerTwip
                                                     : quill::rtf::pixelsPerTwip()) {
    const QFont font = doc.defaultFont();
    defaultPoints_ = font.pointSizeF() > 0  ? font.pointSizeF()
                     : font.pixelSize() > 0 ? font.pixelSize() * 72.0 / (pixelsPerTwip_ * 1440)
                                            : 12.0;
}

RunFormat DocumentWalk::format(const QTextCharFormat& f) const {
    RunFormat r;
    const QStringList families = f.property(QTextFormat::FontFamilies).toStringList();
    r.family = !families.isEmpty() && !families.first().isEmpty() ? families.first()
                                                                  : doc_.defaultFont().family();
    double points = 0;
    if (f.hasProperty(QTextFormat::FontPointSize)) {
        points = f.fontPointSize();
    } else if (f.hasProperty(QTextFormat::FontPixelSize)) {
        points = f.intProperty(QTextFormat::FontPixelSize) * 72.0 / (pixelsPerTwip_ * 1440);
    } else if (f.hasProperty(QTextFormat::FontSizeAdjustment)) {
        // Relative sizes (pasted HTML): the scale Qt itself draws them at.
        static constexpr double scale[] = {0.7, 0.8, 1.0, 1.2, 1.5, 2.0, 2.4};
        const int step = std::clamp(f.intProperty(QTextFormat::FontSizeAdjustment) + 2, 0, 6);
        points = scale[step] * defaultPoints_;
    }
    r.points =
        points > 0 && std::isfinite(points) ? std::clamp(points, 0.5, 1638.0) : defaultPoints_;
    r.bold = f.hasProperty(QTextFormat::FontWeight) && f.fontWeight() >= QFont::DemiBold;
    r.italic = f.fontItalic();
    r.strike = f.fontStrikeOut();
    r.underline = f.underlineStyle();
    if (r.underline == QTextCharFormat::SpellCheckUnderline)
        r.underline = QTextCharFormat::NoUnderline;
    r.vertical = f.verticalAlignment() == QTextCharFormat::AlignSuperScript ||
                         f.verticalAlignment() == QTextCharFormat::AlignSubScript
                     ? f.verticalAlignment()
                     : QTextCharFormat::AlignNormal;
    r.caps =
        f.fontCapitalization() == QFont::AllUppercase || f.fontCapitalization() == QFont::SmallCaps
            ? f.fontCapitalization()
            : QFont::MixedCase;
    if (const QBrush b = f.foreground(); b.style() != Qt::NoBrush)
        r.foreground = b.color();
    if (const QBrush b = f.background(); b.style() != Qt::NoBrush)
        r.background = b.color();
    return r;
}

const PictureData& DocumentWalk::picture(const QString& name) {
    auto it = pictures_.find(name);
    if (it == pictures_.end()) {
        PictureData data;
        data.bytes = pictureBytes(doc_, name);
        data.pixels = picturePixelSize(data.bytes);
        if (!data.pixels.isValid())
            data.bytes.clear();
        data.jpeg = pictureKind(data.bytes) == PictureKind::Jpeg;
        it = pictures_.insert(name, data);
    }
    return it.value();
}

QSizeF DocumentWalk::pictureSize(const QTextImageFormat& format, QSize pixels) const {
    // Qt's own rule: a missing side keeps the picture's proportions.
    double width = format.width();
    double height = format.height();
    const bool hasWidth = width > 0 && std::isfinite(width);
    const bool hasHeight = height > 0 && std::isfinite(height);
    if (!hasWidth && !hasHeight) {
        width = pixels.width();
        height = pixels.height();
    } else if (!hasWidth) {
        width = height * pixels.width() / pixels.height();
    } else if (!hasHeight) {
        height = width * pixels.height() / pixels.width();
    }
    const QSizeF size(width, height);
    return page_ ? fitInto(size, pictureArea(*page_, pixelsPerTwip_)) : size;
}

const DocumentWalk::FormatFacts& DocumentWalk::facts(const QTextFragment& fragment) {
    const int index = fragment.charFormatIndex();
    auto known = formats_.constFind(index);
    if (known == formats_.cend()) {
        const QTextCharFormat chars = fragment.charFormat();
        FormatFacts f;
        f.format = format(chars);
        f.link = chars.isAnchor() ? chars.anchorHref() : QString();
        f.anchorNames = chars.anchorNames();
        f.reference = chars.stringProperty(PageReferenceProperty);
        f.image = chars.isImageFormat();
        known = formats_.insert(index, std::move(f));
    }
    return *known;
}

std::vector<Run> DocumentWalk::runs(const QTextBlock& block) {
    std::vector<Run> out;
    // Counted first: a run is large, and a paragraph of many runs would otherwise move them
    // several times as the list grows.
    std::size_t fragments = 0;
    for (auto it = block.begin(); !it.atEnd(); ++it)
        ++fragments;
    out.reserve(fragments);
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const FormatFacts& facts = this->facts(fragment);
        Run run;
        run.format = facts.format;
        run.formatIndex = fragment.charFormatIndex();
        run.link = facts.link;
        for (const QString& name : facts.anchorNames) {
            if (!name.isEmpty() && !bookmarks_.contains(name)) {
                bookmarks_.insert(name);
                run.bookmarks.append(name);
            }
        }
        if (facts.image) {
            // Equal pictures side by side are one fragment, a character each. One the
            // document cannot show is left out, as the preview leaves it out.
            const QTextImageFormat image = fragment.charFormat().toImageFormat();
            const PictureData& data = picture(image.name());
            if (data.bytes.isEmpty())
                continue;
            run.kind = Run::Kind::Picture;
            run.picture = image.name();
            run.size = pictureSize(image, data.pixels);
            for (const QChar c : fragment.text()) {
                if (c != QChar::ObjectReplacementCharacter)
                    continue;
                out.push_back(run);
                run.bookmarks.clear();
            }
            continue;
        }
        run.text = fragment.text();
        if (!facts.reference.isEmpty()) {
            run.kind = Run::Kind::PageReference;
            run.reference = facts.reference;
        }
        out.push_back(std::move(run));
    }
    return out;
}

ParagraphInfo DocumentWalk::paragraph(const QTextBlock& block) const {
    const QTextBlockFormat f = block.blockFormat();
    ParagraphInfo p;
    p.pageBreakBefore = (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore) &&
                        !f.boolProperty(LayoutBreakProperty);
    p.keepWithNext = f.boolProperty(KeepWithNextProperty);
    p.headingLevel = std::clamp(f.headingLevel(), 0, 9);
    return p;
}

void DocumentWalk::collectBlocks(QTextFrame::iterator it, std::vector<QTextBlock>& out) {
    for (; !it.atEnd(); ++it) {
        QTextFrame* frame = it.currentFrame();
        if (!frame) {
            out.push_back(it.currentBlock());
        } else if (auto* t = qobject_cast<QTextTable*>(frame)) {
            for (int r = 0; r < t->rows(); ++r)
                for (int c = 0; c < t->columns(); ++c) {
                    const QTextTableCell cell = t->cellAt(r, c);
                    if (cell.row() == r && cell.column() == c)
                        collectBlocks(cell.begin(), out);
                }
        } else {
            collectBlocks(frame->begin(), out);
        }
    }
}

void DocumentWalk::addParts(QTextFrame::iterator it, std::vector<Part>& out) const {
    for (; !it.atEnd(); ++it) {
        QTextFrame* frame = it.currentFrame();
        if (!frame) {
            out.push_back({it.currentBlock(), nullptr, false});
        } else if (auto* t = qobject_cast<QTextTable*>(frame)) {
            out.push_back({QTextBlock(), t, t->format().boolProperty(ContentsProperty)});
        } else {
            addParts(frame->begin(), out);
        }
    }
}

std::vector<DocumentWalk::Part> DocumentWalk::parts() const {
    std::vector<Part> out;
    addParts(doc_.rootFrame()->begin(), out);
    return out;
}

} // namespace quill::rtf
