#include "odtwriter.h"

#include "documentwalk.h"
#include "footerfields.h"
#include "officecontent.h"
#include "rtftextproperties.h"
#include "tablecolumns.h"
#include "zippackage.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace OdtWriter {
namespace {

using OfficeContent::xmlSafe;
using quill::rtf::DocumentWalk;
using quill::rtf::FooterField;
using quill::rtf::ParagraphInfo;
using quill::rtf::Run;
using quill::rtf::RunFormat;
using quill::rtf::splitFooterFields;

const QString kOffice = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:office:1.0");
const QString kStyle = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:style:1.0");
const QString kText = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:text:1.0");
const QString kTable = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:table:1.0");
const QString kDraw = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:drawing:1.0");
const QString kFo = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0");
const QString kSvg = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0");
const QString kXlink = QStringLiteral("http://www.w3.org/1999/xlink");
const QString kDc = QStringLiteral("http://purl.org/dc/elements/1.1/");
const QString kMeta = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:meta:1.0");
const QString kManifest = QStringLiteral("urn:oasis:names:tc:opendocument:xmlns:manifest:1.0");

QString pt(double points) {
    return QString::number(points, 'f', 2) + QStringLiteral("pt");
}

QString mm(double twips) {
    return QString::number(twips / 1440.0 * 25.4, 'f', 2) + QStringLiteral("mm");
}

// Attributes of one automatic style, in writing order; equal lists share a style.
using Props = QList<QPair<QString, QString>>;

struct AutoStyle {
    QString name;
    QString family;
    QString parent;
    QString masterPage;
    Props paragraph; // paragraph-, table-, column- or cell-properties
    Props text;
    QList<QPair<double, QString>> tabs; // position in twips, type
};

void namespaces(QXmlStreamWriter& x) {
    x.writeNamespace(kOffice, QStringLiteral("office"));
    x.writeNamespace(kStyle, QStringLiteral("style"));
    x.writeNamespace(kText, QStringLiteral("text"));
    x.writeNamespace(kTable, QStringLiteral("table"));
    x.writeNamespace(kDraw, QStringLiteral("draw"));
    x.writeNamespace(kFo, QStringLiteral("fo"));
    x.writeNamespace(kSvg, QStringLiteral("svg"));
    x.writeNamespace(kXlink, QStringLiteral("xlink"));
    x.writeNamespace(kDc, QStringLiteral("dc"));
    x.writeNamespace(kMeta, QStringLiteral("meta"));
}

// Writes "ns:name" attributes given as "prefix:name".
void attribute(QXmlStreamWriter& x, const QString& qualified, const QString& value) {
    const qsizetype colon = qualified.indexOf(u':');
    const QString prefix = qualified.left(colon);
    const QString local = qualified.mid(colon + 1);
    static const QHash<QString, QString> uris = {
        {QStringLiteral("fo"), kFo},        {QStringLiteral("style"), kStyle},
        {QStringLiteral("text"), kText},    {QStringLiteral("table"), kTable},
        {QStringLiteral("svg"), kSvg},      {QStringLiteral("draw"), kDraw},
        {QStringLiteral("office"), kOffice}};
    x.writeAttribute(uris.value(prefix), local, value);
}

class Writer {
public:
    Writer(const QTextDocument& doc, const ExportPage& page) : doc_(doc), page_(page) {}
    QByteArray write(QString* error);

private:
    QByteArray contentPart();
    void body();
    QByteArray stylesPart() const;
    QByteArray manifestPart() const;
    QByteArray metaPart() const;

    void table(QTextTable* table);
    void contents(QTextTable* table);
    void listItem(const QTextBlock& block);
    void paragraph(const QTextBlock& block);
    void runs(const QTextBlock& block);
    void closeList();
    void span(const QString& s, const RunFormat& format);
    void picture(const Run& run);

    QString paragraphStyle(const QTextBlock& block);
    QString textStyle(const RunFormat& format);
    Props textProps(const RunFormat& format);
    QString listStyle(QTextList* list);
    QString fontName(const QString& family);
    QString styleFor(AutoStyle style);
    void writeAutoStyles(QXmlStreamWriter& x) const;
    void writeFontFaces(QXmlStreamWriter& x) const;
    double twips(double pixels) const { return pixels / page_.pixelsPerTwip; }

    const QTextDocument& doc_;
    const ExportPage& page_;
    // One walk for each pass over the text (see contentPart).
    std::optional<DocumentWalk> walk_;
    QXmlStreamWriter* x_ = nullptr;

    QList<AutoStyle> styles_;
    QHash<QString, QString> styleKeys_;
    QStringList fonts_;
    std::vector<QPair<QString, QTextListFormat>> lists_;
    QHash<const QTextList*, QString> listNames_;
    QList<QPair<QString, QByteArray>> media_;
    QHash<QString, QString> imagePaths_;
    QSet<QString> bookmarks_;
    int tables_ = 0;
    int frames_ = 0;
    bool firstParagraph_ = true;
    // The list being written: its items follow each other in one text:list.
    const QTextList* openList_ = nullptr;
    // The xml:id of each list's first text:list; a list taken up again after another one
    // (its nested sub-list) continues from there instead of counting from 1.
    QHash<const QTextList*, QString> listIds_;
};

QByteArray Writer::write(QString* error) {
    fontName(doc_.defaultFont().family());
    const QByteArray content = contentPart();
    ZipPackage zip;
    // The type first and stored, so that the file can be recognised by its first bytes.
    zip.add(QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.text", false);
    zip.add(QStringLiteral("META-INF/manifest.xml"), manifestPart());
    zip.add(QStringLiteral("meta.xml"), metaPart());
    zip.add(QStringLiteral("styles.xml"), stylesPart());
    zip.add(QStringLiteral("content.xml"), content);
    for (const auto& [name, bytes] : media_)
        zip.add(name, bytes, false);
    return zip.finish(error);
}

QString Writer::fontName(const QString& family) {
    if (!fonts_.contains(family))
        fonts_.append(family);
    return family;
}

QString Writer::styleFor(AutoStyle style) {
    QString key = style.family + u'|' + style.parent + u'|' + style.masterPage;
    for (const auto& [k, v] : style.paragraph)
        key += u'|' + k + u'=' + v;
    key += QStringLiteral("|text");
    for (const auto& [k, v] : style.text)
        key += u'|' + k + u'=' + v;
    for (const auto& [pos, type] : style.tabs)
        key += QStringLiteral("|tab%1%2").arg(pos).arg(type);
    if (const auto it = styleKeys_.constFind(key); it != styleKeys_.constEnd())
        return it.value();
    const QString prefix = style.family == QLatin1String("paragraph") ? QStringLiteral("P")
                           : style.family == QLatin1String("text")    ? QStringLiteral("T")
                                                                      : QStringLiteral("S");
    style.name = prefix + QString::number(styles_.size() + 1);
    styles_.append(style);
    styleKeys_.insert(key, style.name);
    return style.name;
}

Props Writer::textProps(const RunFormat& f) {
    Props p;
    // Western, Asian and complex scripts each have their own font, size, weight and style
    // in ODF; the document has one of each for all its text.
    const QString font = fontName(f.family);
    const QString size = pt(f.points);
    const QString weight = f.bold ? QStringLiteral("bold") : QStringLiteral("normal");
    const QString style = f.italic ? QStringLiteral("italic") : QStringLiteral("normal");
    p.append({QStringLiteral("style:font-name"), font});
    p.append({QStringLiteral("fo:font-size"), size});
    p.append({QStringLiteral("fo:font-weight"), weight});
    p.append({QStringLiteral("fo:font-style"), style});
    for (const char* script : {"asian", "complex"}) {
        const QString suffix = u'-' + QLatin1String(script);
        p.append({QStringLiteral("style:font-name") + suffix, font});
        p.append({QStringLiteral("style:font-size") + suffix, size});
        p.append({QStringLiteral("style:font-weight") + suffix, weight});
        p.append({QStringLiteral("style:font-style") + suffix, style});
    }
    if (f.underline != QTextCharFormat::NoUnderline) {
        p.append({QStringLiteral("style:text-underline-style"),
                  f.underline == QTextCharFormat::WaveUnderline   ? QStringLiteral("wave")
                  : f.underline == QTextCharFormat::DotLine       ? QStringLiteral("dotted")
                  : f.underline == QTextCharFormat::DashUnderline ? QStringLiteral("dash")
                                                                  : QStringLiteral("solid")});
        p.append({QStringLiteral("style:text-underline-width"), QStringLiteral("auto")});
        p.append({QStringLiteral("style:text-underline-color"), QStringLiteral("font-color")});
    }
    if (f.strike)
        p.append({QStringLiteral("style:text-line-through-style"), QStringLiteral("solid")});
    if (f.foreground.isValid())
        p.append({QStringLiteral("fo:color"), f.foreground.name()});
    if (f.background.isValid())
        p.append({QStringLiteral("fo:background-color"), f.background.name()});
    if (f.vertical == QTextCharFormat::AlignSuperScript)
        p.append({QStringLiteral("style:text-position"), QStringLiteral("super 58%")});
    else if (f.vertical == QTextCharFormat::AlignSubScript)
        p.append({QStringLiteral("style:text-position"), QStringLiteral("sub 58%")});
    if (f.caps == QFont::AllUppercase)
        p.append({QStringLiteral("fo:text-transform"), QStringLiteral("uppercase")});
    else if (f.caps == QFont::SmallCaps)
        p.append({QStringLiteral("fo:font-variant"), QStringLiteral("small-caps")});
    return p;
}

QString Writer::textStyle(const RunFormat& format) {
    AutoStyle s;
    s.family = QStringLiteral("text");
    s.text = textProps(format);
    return styleFor(s);
}

QString Writer::paragraphStyle(const QTextBlock& block) {
    const QTextBlockFormat f = block.blockFormat();
    const ParagraphInfo info = walk_->paragraph(block);
    AutoStyle s;
    s.family = QStringLiteral("paragraph");
    const int level = info.headingLevel;
    s.parent = level >= 1 && level <= 3 ? QStringLiteral("Heading_20_%1").arg(level)
                                        : QStringLiteral("Standard");
    if (firstParagraph_) {
        // The title page: a master page of its own, without the footer.
        s.masterPage = QStringLiteral("First_20_Page");
        firstParagraph_ = false;
    }
    Props& p = s.paragraph;
    p.append({QStringLiteral("fo:margin-top"), mm(std::max(0.0, twips(f.topMargin())))});
    p.append({QStringLiteral("fo:margin-bottom"), mm(std::max(0.0, twips(f.bottomMargin())))});
    double left = twips(f.leftMargin() + f.indent() * doc_.indentWidth());
    if (!block.textList()) {
        p.append({QStringLiteral("fo:margin-left"), mm(left)});
        p.append({QStringLiteral("fo:text-indent"), mm(twips(f.textIndent()))});
    }
    // Any indent of a list paragraph's own, even a nought, takes the place of the list's.
    if (f.rightMargin() != 0 || !block.textList())
        p.append({QStringLiteral("fo:margin-right"), mm(twips(f.rightMargin()))});
    const Qt::Alignment align = f.alignment() & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute;
    p.append({QStringLiteral("fo:text-align"), align == Qt::AlignHCenter ? QStringLiteral("center")
                                               : align == Qt::AlignRight ? QStringLiteral("end")
                                               : align == Qt::AlignJustify
                                                   ? QStringLiteral("justify")
                                                   : QStringLiteral("start")});
    switch (f.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        if (f.lineHeight() > 0)
            p.append(
                {QStringLiteral("fo:line-height"), QString::number(qRound(f.lineHeight())) + u'%'});
        break;
    case QTextBlockFormat::FixedHeight:
        p.append({QStringLiteral("fo:line-height"), mm(twips(f.lineHeight()))});
        break;
    case QTextBlockFormat::MinimumHeight:
        p.append({QStringLiteral("style:line-height-at-least"), mm(twips(f.lineHeight()))});
        break;
    default:
        break;
    }
    if (info.pageBreakBefore)
        p.append({QStringLiteral("fo:break-before"), QStringLiteral("page")});
    if (info.keepWithNext)
        p.append({QStringLiteral("fo:keep-with-next"), QStringLiteral("always")});
    p.append({QStringLiteral("fo:widows"), QStringLiteral("2")});
    p.append({QStringLiteral("fo:orphans"), QStringLiteral("2")});
    for (const QTextOption::Tab& tab : f.tabPositions())
        s.tabs.append({twips(tab.position),
                       tab.type == QTextOption::RightTab       ? QStringLiteral("right")
                       : tab.type == QTextOption::CenterTab    ? QStringLiteral("center")
                       : tab.type == QTextOption::DelimiterTab ? QStringLiteral("char")
                                                               : QStringLiteral("left")});
    // The paragraph mark's size gives an empty paragraph its height.
    s.text = textProps(walk_->format(block.charFormat()));
    return styleFor(s);
}

QString Writer::listStyle(QTextList* list) {
    if (const auto it = listNames_.constFind(list); it != listNames_.constEnd())
        return it.value();
    const QString name = QStringLiteral("L%1").arg(lists_.size() + 1);
    lists_.push_back({name, list->format()});
    listNames_.insert(list, name);
    return name;
}

void Writer::body() {
    QXmlStreamWriter& x = *x_;
    bookmarks_.clear();
    tables_ = frames_ = 0;
    firstParagraph_ = true;
    openList_ = nullptr;
    listIds_.clear();
    walk_.emplace(doc_, &page_);
    x.writeStartElement(kOffice, QStringLiteral("text"));
    for (const DocumentWalk::Part& part : walk_->parts()) {
        if (part.block.isValid()) {
            listItem(part.block);
            continue;
        }
        closeList();
        if (part.contents)
            contents(part.table);
        else
            table(part.table);
    }
    closeList();
    x.writeEndElement();
}

QByteArray Writer::contentPart() {
    // The automatic styles come ahead of the text that uses them: a first pass over the
    // text collects them, the second writes it. Both give the same names in the same order.
    {
        QByteArray scratch;
        QXmlStreamWriter x(&scratch);
        x_ = &x;
        body();
    }
    QByteArray bytes;
    QXmlStreamWriter x(&bytes);
    x_ = &x;
    x.writeStartDocument();
    namespaces(x);
    x.writeStartElement(kOffice, QStringLiteral("document-content"));
    x.writeAttribute(kOffice, QStringLiteral("version"), QStringLiteral("1.2"));
    writeFontFaces(x);
    writeAutoStyles(x);
    x.writeStartElement(kOffice, QStringLiteral("body"));
    body();
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndDocument();
    x_ = nullptr;
    return bytes;
}

void Writer::writeFontFaces(QXmlStreamWriter& x) const {
    x.writeStartElement(kOffice, QStringLiteral("font-face-decls"));
    for (const QString& f : fonts_) {
        x.writeEmptyElement(kStyle, QStringLiteral("font-face"));
        x.writeAttribute(kStyle, QStringLiteral("name"), f);
        x.writeAttribute(kSvg, QStringLiteral("font-family"), u'\'' + f + u'\'');
    }
    x.writeEndElement();
}

void Writer::writeAutoStyles(QXmlStreamWriter& x) const {
    x.writeStartElement(kOffice, QStringLiteral("automatic-styles"));
    for (const AutoStyle& s : styles_) {
        x.writeStartElement(kStyle, QStringLiteral("style"));
        x.writeAttribute(kStyle, QStringLiteral("name"), s.name);
        x.writeAttribute(kStyle, QStringLiteral("family"), s.family);
        if (!s.parent.isEmpty())
            x.writeAttribute(kStyle, QStringLiteral("parent-style-name"), s.parent);
        if (!s.masterPage.isEmpty())
            x.writeAttribute(kStyle, QStringLiteral("master-page-name"), s.masterPage);
        if (!s.paragraph.isEmpty() || !s.tabs.isEmpty()) {
            const QString element = s.family == QLatin1String("paragraph")
                                        ? QStringLiteral("paragraph-properties")
                                        : s.family + QStringLiteral("-properties");
            x.writeStartElement(kStyle, element);
            for (const auto& [k, v] : s.paragraph)
                attribute(x, k, v);
            if (!s.tabs.isEmpty()) {
                x.writeStartElement(kStyle, QStringLiteral("tab-stops"));
                for (const auto& [pos, type] : s.tabs) {
                    x.writeEmptyElement(kStyle, QStringLiteral("tab-stop"));
                    x.writeAttribute(kStyle, QStringLiteral("position"), mm(pos));
                    x.writeAttribute(kStyle, QStringLiteral("type"), type);
                }
                x.writeEndElement();
            }
            x.writeEndElement();
        }
        if (!s.text.isEmpty()) {
            x.writeEmptyElement(kStyle, QStringLiteral("text-properties"));
            for (const auto& [k, v] : s.text)
                attribute(x, k, v);
        }
        x.writeEndElement();
    }
    for (const auto& [name, f] : lists_) {
        const QTextListFormat::Style style = f.style();
        const bool bullet = style == QTextListFormat::ListDisc ||
                            style == QTextListFormat::ListCircle ||
                            style == QTextListFormat::ListSquare;
        x.writeStartElement(kText, QStringLiteral("list-style"));
        x.writeAttribute(kStyle, QStringLiteral("name"), name);
        for (int level = 1; level <= 10; ++level) {
            x.writeStartElement(kText, bullet ? QStringLiteral("list-level-style-bullet")
                                              : QStringLiteral("list-level-style-number"));
            x.writeAttribute(kText, QStringLiteral("level"), QString::number(level));
            if (bullet) {
                const QChar symbol = style == QTextListFormat::ListCircle   ? QChar(0x25E6)
                                     : style == QTextListFormat::ListSquare ? QChar(0x25AA)
                                                                            : QChar(0x2022);
                x.writeAttribute(kText, QStringLiteral("bullet-char"), QString(symbol));
            } else {
                QString format = QStringLiteral("1");
                if (style == QTextListFormat::ListLowerAlpha)
                    format = QStringLiteral("a");
                else if (style == QTextListFormat::ListUpperAlpha)
                    format = QStringLiteral("A");
                else if (style == QTextListFormat::ListLowerRoman)
                    format = QStringLiteral("i");
                else if (style == QTextListFormat::ListUpperRoman)
                    format = QStringLiteral("I");
                x.writeAttribute(kStyle, QStringLiteral("num-format"), format);
                if (!f.numberPrefix().isEmpty())
                    x.writeAttribute(kStyle, QStringLiteral("num-prefix"), f.numberPrefix());
                x.writeAttribute(kStyle, QStringLiteral("num-suffix"),
                                 f.hasProperty(QTextFormat::ListNumberSuffix)
                                     ? f.numberSuffix()
                                     : QStringLiteral("."));
            }
            x.writeStartElement(kStyle, QStringLiteral("list-level-properties"));
            x.writeAttribute(kText, QStringLiteral("list-level-position-and-space-mode"),
                             QStringLiteral("label-alignment"));
            x.writeEmptyElement(kStyle, QStringLiteral("list-level-label-alignment"));
            x.writeAttribute(kText, QStringLiteral("label-followed-by"), QStringLiteral("listtab"));
            x.writeAttribute(kText, QStringLiteral("list-tab-stop-position"), mm(level * 720));
            x.writeAttribute(kFo, QStringLiteral("text-indent"), mm(-360));
            x.writeAttribute(kFo, QStringLiteral("margin-left"), mm(level * 720));
            x.writeEndElement();
            x.writeEndElement();
        }
        x.writeEndElement();
    }
    x.writeEndElement();
}

void Writer::closeList() {
    if (openList_)
        x_->writeEndElement();
    openList_ = nullptr;
}

void Writer::listItem(const QTextBlock& block) {
    QXmlStreamWriter& x = *x_;
    QTextList* list = block.textList();
    if (list != openList_)
        closeList();
    if (!list) {
        paragraph(block);
        return;
    }
    if (!openList_) {
        x.writeStartElement(kText, QStringLiteral("list"));
        x.writeAttribute(kText, QStringLiteral("style-name"), listStyle(list));
        if (const QString earlier = listIds_.value(list); !earlier.isEmpty()) {
            x.writeAttribute(kText, QStringLiteral("continue-list"), earlier);
        } else {
            const QString id = QStringLiteral("list%1").arg(listIds_.size() + 1);
            x.writeAttribute(QStringLiteral("xml:id"), id);
            listIds_.insert(list, id);
        }
        openList_ = list;
    }
    // Deeper levels are lists inside the item, one per level.
    const int level = std::clamp(list->format().indent() - 1, 0, 9);
    x.writeStartElement(kText, QStringLiteral("list-item"));
    for (int i = 0; i < level; ++i) {
        x.writeStartElement(kText, QStringLiteral("list"));
        x.writeStartElement(kText, QStringLiteral("list-item"));
    }
    paragraph(block);
    for (int i = 0; i < level; ++i) {
        x.writeEndElement();
        x.writeEndElement();
    }
    x.writeEndElement();
}

void Writer::paragraph(const QTextBlock& block) {
    QXmlStreamWriter& x = *x_;
    const int level = block.blockFormat().headingLevel();
    const bool heading = level >= 1 && level <= 9 && !block.textList();
    x.writeStartElement(kText, heading ? QStringLiteral("h") : QStringLiteral("p"));
    x.writeAttribute(kText, QStringLiteral("style-name"), paragraphStyle(block));
    if (heading)
        x.writeAttribute(kText, QStringLiteral("outline-level"), QString::number(level));
    runs(block);
    x.writeEndElement();
}

void Writer::runs(const QTextBlock& block) {
    QXmlStreamWriter& x = *x_;
    QString href;
    const auto closeLink = [&] {
        if (!href.isEmpty())
            x.writeEndElement();
        href.clear();
    };
    for (const Run& run : walk_->runs(block)) {
        if (run.link != href) {
            closeLink();
            if (!run.link.isEmpty()) {
                x.writeStartElement(kText, QStringLiteral("a"));
                x.writeAttribute(kXlink, QStringLiteral("type"), QStringLiteral("simple"));
                x.writeAttribute(kXlink, QStringLiteral("href"), run.link);
                href = run.link;
            }
        }
        for (const QString& name : run.bookmarks) {
            x.writeEmptyElement(kText, QStringLiteral("bookmark-start"));
            x.writeAttribute(kText, QStringLiteral("name"), name);
        }
        switch (run.kind) {
        case Run::Kind::Picture:
            picture(run);
            break;
        case Run::Kind::PageReference:
            x.writeStartElement(kText, QStringLiteral("span"));
            x.writeAttribute(kText, QStringLiteral("style-name"), textStyle(run.format));
            x.writeStartElement(kText, QStringLiteral("bookmark-ref"));
            x.writeAttribute(kText, QStringLiteral("reference-format"), QStringLiteral("page"));
            x.writeAttribute(kText, QStringLiteral("ref-name"), run.reference);
            x.writeCharacters(xmlSafe(run.text));
            x.writeEndElement();
            x.writeEndElement();
            break;
        case Run::Kind::Text:
            span(run.text, run.format);
            break;
        }
        for (const QString& name : run.bookmarks) {
            x.writeEmptyElement(kText, QStringLiteral("bookmark-end"));
            x.writeAttribute(kText, QStringLiteral("name"), name);
        }
    }
    closeLink();
}

void Writer::span(const QString& s, const RunFormat& format) {
    QXmlStreamWriter& x = *x_;
    const QString clean = xmlSafe(s);
    if (clean.isEmpty())
        return;
    x.writeStartElement(kText, QStringLiteral("span"));
    x.writeAttribute(kText, QStringLiteral("style-name"), textStyle(format));
    // Runs of blanks, tabs and line breaks are elements of their own in ODF text.
    QString pending;
    const auto flush = [&] {
        x.writeCharacters(pending);
        pending.clear();
    };
    for (qsizetype i = 0; i < clean.size(); ++i) {
        const QChar c = clean[i];
        if (c == u'\t') {
            flush();
            x.writeEmptyElement(kText, QStringLiteral("tab"));
        } else if (c == QChar::LineSeparator || c == u'\n') {
            flush();
            x.writeEmptyElement(kText, QStringLiteral("line-break"));
        } else if (c == u' ' && (i == 0 || clean[i - 1] == u' ')) {
            qsizetype n = 1;
            while (i + n < clean.size() && clean[i + n] == u' ')
                ++n;
            flush();
            x.writeEmptyElement(kText, QStringLiteral("s"));
            if (n > 1)
                x.writeAttribute(kText, QStringLiteral("c"), QString::number(n));
            i += n - 1;
        } else {
            pending.append(c);
        }
    }
    flush();
    x.writeEndElement();
}

void Writer::picture(const Run& run) {
    const QString& name = run.picture;
    QString path = imagePaths_.value(name);
    if (path.isEmpty()) {
        const quill::rtf::PictureData& data = walk_->picture(name);
        path = QStringLiteral("Pictures/image%1.%2")
                   .arg(media_.size() + 1)
                   .arg(data.jpeg ? QStringLiteral("jpg") : QStringLiteral("png"));
        media_.append({path, data.bytes});
        imagePaths_.insert(name, path);
    }
    const double w = run.size.width();
    const double h = run.size.height();
    QXmlStreamWriter& x = *x_;
    x.writeStartElement(kDraw, QStringLiteral("frame"));
    x.writeAttribute(kDraw, QStringLiteral("name"), QStringLiteral("Image%1").arg(++frames_));
    x.writeAttribute(kText, QStringLiteral("anchor-type"), QStringLiteral("as-char"));
    x.writeAttribute(kSvg, QStringLiteral("width"), mm(twips(w)));
    x.writeAttribute(kSvg, QStringLiteral("height"), mm(twips(h)));
    x.writeEmptyElement(kDraw, QStringLiteral("image"));
    x.writeAttribute(kXlink, QStringLiteral("href"), path);
    x.writeAttribute(kXlink, QStringLiteral("type"), QStringLiteral("simple"));
    x.writeAttribute(kXlink, QStringLiteral("show"), QStringLiteral("embed"));
    x.writeAttribute(kXlink, QStringLiteral("actuate"), QStringLiteral("onLoad"));
    x.writeEndElement();
}

void Writer::table(QTextTable* t) {
    QXmlStreamWriter& x = *x_;
    const QTextTableFormat format = t->format();
    const int columns = t->columns();
    const double textWidth = page_.textWidth();
    const std::vector<double> widths = tableColumnWidths(
        format, columns, textWidth, [this](double pixels) { return twips(pixels); });
    double total = 0;
    for (double w : widths)
        total += w;

    const QString name = QStringLiteral("Table%1").arg(++tables_);
    AutoStyle ts;
    ts.family = QStringLiteral("table");
    ts.paragraph = {{QStringLiteral("style:width"), mm(total)},
                    {QStringLiteral("table:align"), QStringLiteral("left")}};
    const QString tableStyle = styleFor(ts);
    x.writeStartElement(kTable, QStringLiteral("table"));
    x.writeAttribute(kTable, QStringLiteral("name"), name);
    x.writeAttribute(kTable, QStringLiteral("style-name"), tableStyle);
    for (double w : widths) {
        AutoStyle cs;
        cs.family = QStringLiteral("table-column");
        cs.paragraph = {{QStringLiteral("style:column-width"), mm(w)}};
        x.writeEmptyElement(kTable, QStringLiteral("table-column"));
        x.writeAttribute(kTable, QStringLiteral("style-name"), styleFor(cs));
    }
    const QString border =
        format.border() > 0
            ? pt(std::max(0.1, twips(format.border()) / 20.0)) + QStringLiteral(" solid ") +
                  (format.borderBrush().style() != Qt::NoBrush ? format.borderBrush().color().name()
                                                               : QStringLiteral("#000000"))
            : QStringLiteral("none");
    const QString padding = mm(std::max(0.0, twips(format.cellPadding())));
    const int headerRows = std::min(format.headerRowCount(), t->rows());
    for (int r = 0; r < t->rows(); ++r) {
        if (r == 0 && headerRows > 0)
            x.writeStartElement(kTable, QStringLiteral("table-header-rows"));
        x.writeStartElement(kTable, QStringLiteral("table-row"));
        for (int c = 0; c < columns;) {
            const QTextTableCell cell = t->cellAt(r, c);
            const int span = std::max(1, cell.columnSpan());
            if (cell.row() != r || cell.column() != c) {
                // Covered by a cell above (or to the left): one covered cell per column.
                for (int k = 0; k < span; ++k)
                    x.writeEmptyElement(kTable, QStringLiteral("covered-table-cell"));
                c += span;
                continue;
            }
            AutoStyle cs;
            cs.family = QStringLiteral("table-cell");
            cs.paragraph = {{QStringLiteral("fo:padding"), padding},
                            {QStringLiteral("fo:border"), border}};
            const QBrush background = cell.format().background();
            if (background.style() != Qt::NoBrush)
                cs.paragraph.append(
                    {QStringLiteral("fo:background-color"), background.color().name()});
            x.writeStartElement(kTable, QStringLiteral("table-cell"));
            x.writeAttribute(kTable, QStringLiteral("style-name"), styleFor(cs));
            x.writeAttribute(kOffice, QStringLiteral("value-type"), QStringLiteral("string"));
            if (span > 1)
                x.writeAttribute(kTable, QStringLiteral("number-columns-spanned"),
                                 QString::number(span));
            if (cell.rowSpan() > 1)
                x.writeAttribute(kTable, QStringLiteral("number-rows-spanned"),
                                 QString::number(cell.rowSpan()));
            std::vector<QTextBlock> blocks;
            DocumentWalk::collectBlocks(cell.begin(), blocks);
            for (const QTextBlock& b : blocks)
                paragraph(b);
            x.writeEndElement();
            for (int k = 1; k < span; ++k)
                x.writeEmptyElement(kTable, QStringLiteral("covered-table-cell"));
            c += span;
        }
        x.writeEndElement(); // table-row
        if (r == headerRows - 1)
            x.writeEndElement(); // table-header-rows
    }
    x.writeEndElement(); // table
}

void Writer::contents(QTextTable* t) {
    // A table of contents over the first outline level; its body, until the word processor
    // refreshes it, is the program's own list with page references to the headings.
    QXmlStreamWriter& x = *x_;
    AutoStyle entry;
    entry.family = QStringLiteral("paragraph");
    entry.parent = QStringLiteral("Contents_20_1");
    const double pad = twips(t->format().cellPadding());
    entry.paragraph = {{QStringLiteral("fo:margin-top"), mm(pad)},
                       {QStringLiteral("fo:margin-bottom"), mm(pad)}};
    entry.tabs = {{double(page_.textWidth()), QStringLiteral("right")}};
    entry.text = textProps(walk_->format(t->cellAt(0, 0).firstCursorPosition().charFormat()));
    const QString entryStyle = styleFor(entry);

    x.writeStartElement(kText, QStringLiteral("table-of-content"));
    x.writeAttribute(kText, QStringLiteral("name"), QStringLiteral("Contents"));
    x.writeAttribute(kText, QStringLiteral("protected"), QStringLiteral("true"));
    x.writeStartElement(kText, QStringLiteral("table-of-content-source"));
    x.writeAttribute(kText, QStringLiteral("outline-level"), QStringLiteral("1"));
    x.writeAttribute(kText, QStringLiteral("use-index-marks"), QStringLiteral("false"));
    x.writeStartElement(kText, QStringLiteral("table-of-content-entry-template"));
    x.writeAttribute(kText, QStringLiteral("outline-level"), QStringLiteral("1"));
    x.writeAttribute(kText, QStringLiteral("style-name"), QStringLiteral("Contents_20_1"));
    x.writeEmptyElement(kText, QStringLiteral("index-entry-text"));
    x.writeEmptyElement(kText, QStringLiteral("index-entry-tab-stop"));
    x.writeAttribute(kStyle, QStringLiteral("type"), QStringLiteral("right"));
    x.writeAttribute(kStyle, QStringLiteral("leader-char"), QStringLiteral(" "));
    x.writeEmptyElement(kText, QStringLiteral("index-entry-page-number"));
    x.writeEndElement();
    x.writeEndElement(); // source
    x.writeStartElement(kText, QStringLiteral("index-body"));
    for (int r = 0; r < t->rows(); ++r) {
        const OfficeContent::ContentsEntry item = OfficeContent::contentsEntry(*t, r);
        x.writeStartElement(kText, QStringLiteral("p"));
        x.writeAttribute(kText, QStringLiteral("style-name"), entryStyle);
        x.writeCharacters(xmlSafe(item.title));
        x.writeEmptyElement(kText, QStringLiteral("tab"));
        if (item.bookmark.isEmpty()) {
            x.writeCharacters(xmlSafe(item.page));
        } else {
            x.writeStartElement(kText, QStringLiteral("bookmark-ref"));
            x.writeAttribute(kText, QStringLiteral("reference-format"), QStringLiteral("page"));
            x.writeAttribute(kText, QStringLiteral("ref-name"), item.bookmark);
            x.writeCharacters(xmlSafe(item.page));
            x.writeEndElement();
        }
        x.writeEndElement();
    }
    x.writeEndElement(); // index-body
    x.writeEndElement(); // table-of-content
}

QByteArray Writer::stylesPart() const {
    QByteArray bytes;
    QXmlStreamWriter x(&bytes);
    x.writeStartDocument();
    namespaces(x);
    x.writeStartElement(kOffice, QStringLiteral("document-styles"));
    x.writeAttribute(kOffice, QStringLiteral("version"), QStringLiteral("1.2"));
    writeFontFaces(x);
    const QFont font = doc_.defaultFont();
    const double size = font.pointSizeF() > 0 ? font.pointSizeF() : 12;

    x.writeStartElement(kOffice, QStringLiteral("styles"));
    x.writeStartElement(kStyle, QStringLiteral("default-style"));
    x.writeAttribute(kStyle, QStringLiteral("family"), QStringLiteral("paragraph"));
    x.writeEmptyElement(kStyle, QStringLiteral("paragraph-properties"));
    x.writeAttribute(kFo, QStringLiteral("margin-top"), QStringLiteral("0mm"));
    x.writeAttribute(kFo, QStringLiteral("margin-bottom"), QStringLiteral("0mm"));
    x.writeAttribute(kStyle, QStringLiteral("tab-stop-distance"), QStringLiteral("12.7mm"));
    x.writeEmptyElement(kStyle, QStringLiteral("text-properties"));
    x.writeAttribute(kStyle, QStringLiteral("font-name"), font.family());
    x.writeAttribute(kFo, QStringLiteral("font-size"), pt(size));
    for (const char* script : {"asian", "complex"}) {
        x.writeAttribute(kStyle, QStringLiteral("font-name-") + QLatin1String(script),
                         font.family());
        x.writeAttribute(kStyle, QStringLiteral("font-size-") + QLatin1String(script), pt(size));
    }
    x.writeEndElement();
    const auto named = [&](const QString& name, const QString& display, const QString& parent,
                           int outline) {
        x.writeStartElement(kStyle, QStringLiteral("style"));
        x.writeAttribute(kStyle, QStringLiteral("name"), name);
        x.writeAttribute(kStyle, QStringLiteral("display-name"), display);
        x.writeAttribute(kStyle, QStringLiteral("family"), QStringLiteral("paragraph"));
        if (!parent.isEmpty())
            x.writeAttribute(kStyle, QStringLiteral("parent-style-name"), parent);
        if (outline > 0) {
            x.writeAttribute(kStyle, QStringLiteral("default-outline-level"),
                             QString::number(outline));
            x.writeEmptyElement(kStyle, QStringLiteral("paragraph-properties"));
            x.writeAttribute(kFo, QStringLiteral("keep-with-next"), QStringLiteral("always"));
            x.writeEmptyElement(kStyle, QStringLiteral("text-properties"));
            x.writeAttribute(kFo, QStringLiteral("font-weight"), QStringLiteral("bold"));
            x.writeAttribute(kStyle, QStringLiteral("font-weight-asian"), QStringLiteral("bold"));
            x.writeAttribute(kStyle, QStringLiteral("font-weight-complex"), QStringLiteral("bold"));
        }
        if (name == QLatin1String("Footer")) {
            x.writeStartElement(kStyle, QStringLiteral("paragraph-properties"));
            x.writeAttribute(kFo, QStringLiteral("text-align"), QStringLiteral("center"));
            x.writeEndElement();
            x.writeEmptyElement(kStyle, QStringLiteral("text-properties"));
            x.writeAttribute(kFo, QStringLiteral("font-size"), pt(page_.footerPoints));
            x.writeAttribute(kStyle, QStringLiteral("font-size-asian"), pt(page_.footerPoints));
            x.writeAttribute(kStyle, QStringLiteral("font-size-complex"), pt(page_.footerPoints));
            x.writeAttribute(kFo, QStringLiteral("font-style"),
                             page_.footerItalic ? QStringLiteral("italic")
                                                : QStringLiteral("normal"));
            if (page_.footerColour.isValid())
                x.writeAttribute(kFo, QStringLiteral("color"), page_.footerColour.name());
        }
        x.writeEndElement();
    };
    named(QStringLiteral("Standard"), QStringLiteral("Default Paragraph Style"), {}, 0);
    named(QStringLiteral("Heading"), QStringLiteral("Heading"), QStringLiteral("Standard"), 0);
    for (int level = 1; level <= 3; ++level)
        named(QStringLiteral("Heading_20_%1").arg(level), QStringLiteral("Heading %1").arg(level),
              QStringLiteral("Heading"), level);
    named(QStringLiteral("Contents_20_1"), QStringLiteral("Contents 1"), QStringLiteral("Standard"),
          0);
    named(QStringLiteral("Footer"), QStringLiteral("Footer"), QStringLiteral("Standard"), 0);
    x.writeEndElement(); // styles

    // The text area is that of the preview: the footer sits in the lower margin.
    x.writeStartElement(kOffice, QStringLiteral("automatic-styles"));
    const auto layout = [&](const QString& name, bool footer) {
        x.writeStartElement(kStyle, QStringLiteral("page-layout"));
        x.writeAttribute(kStyle, QStringLiteral("name"), name);
        x.writeEmptyElement(kStyle, QStringLiteral("page-layout-properties"));
        x.writeAttribute(kFo, QStringLiteral("page-width"), mm(page_.paperWidth));
        x.writeAttribute(kFo, QStringLiteral("page-height"), mm(page_.paperHeight));
        x.writeAttribute(kStyle, QStringLiteral("print-orientation"), QStringLiteral("portrait"));
        x.writeAttribute(kFo, QStringLiteral("margin-top"), mm(page_.margin));
        x.writeAttribute(kFo, QStringLiteral("margin-left"), mm(page_.margin));
        x.writeAttribute(kFo, QStringLiteral("margin-right"), mm(page_.margin));
        x.writeAttribute(kFo, QStringLiteral("margin-bottom"),
                         mm(footer ? page_.margin / 4.0 : page_.margin));
        if (footer) {
            x.writeStartElement(kStyle, QStringLiteral("footer-style"));
            x.writeEmptyElement(kStyle, QStringLiteral("header-footer-properties"));
            x.writeAttribute(kSvg, QStringLiteral("height"), mm(page_.margin * 0.75));
            x.writeAttribute(kFo, QStringLiteral("margin-top"), mm(page_.margin * 0.5));
            x.writeAttribute(kStyle, QStringLiteral("dynamic-spacing"), QStringLiteral("false"));
            x.writeEndElement();
        }
        x.writeEndElement();
    };
    layout(QStringLiteral("pm1"), !page_.footer.isEmpty());
    layout(QStringLiteral("pm2"), !page_.footer.isEmpty() && page_.footerOnFirstPage);
    x.writeEndElement();

    x.writeStartElement(kOffice, QStringLiteral("master-styles"));
    const auto master = [&](const QString& name, const QString& layoutName, const QString& next,
                            bool footer) {
        x.writeStartElement(kStyle, QStringLiteral("master-page"));
        x.writeAttribute(kStyle, QStringLiteral("name"), name);
        x.writeAttribute(kStyle, QStringLiteral("page-layout-name"), layoutName);
        if (!next.isEmpty())
            x.writeAttribute(kStyle, QStringLiteral("next-style-name"), next);
        if (footer) {
            x.writeStartElement(kStyle, QStringLiteral("footer"));
            x.writeStartElement(kText, QStringLiteral("p"));
            x.writeAttribute(kText, QStringLiteral("style-name"), QStringLiteral("Footer"));
            splitFooterFields(
                page_.footer,
                [&](QStringView text) {
                    const QString piece = xmlSafe(text);
                    // Runs of blanks are kept as ODF spaces.
                    qsizetype i = 0;
                    while (i < piece.size()) {
                        const qsizetype space = piece.indexOf(QStringLiteral("  "), i);
                        if (space < 0) {
                            x.writeCharacters(piece.mid(i));
                            break;
                        }
                        x.writeCharacters(piece.mid(i, space + 1 - i));
                        qsizetype n = 0;
                        while (space + 1 + n < piece.size() && piece[space + 1 + n] == u' ')
                            ++n;
                        x.writeEmptyElement(kText, QStringLiteral("s"));
                        x.writeAttribute(kText, QStringLiteral("c"), QString::number(n));
                        i = space + 1 + n;
                    }
                },
                [&](FooterField field) {
                    if (field == FooterField::PageCount) {
                        x.writeTextElement(kText, QStringLiteral("page-count"),
                                           QStringLiteral("1"));
                    } else {
                        x.writeStartElement(kText, QStringLiteral("page-number"));
                        x.writeAttribute(kText, QStringLiteral("select-page"),
                                         QStringLiteral("current"));
                        x.writeCharacters(QStringLiteral("1"));
                        x.writeEndElement();
                    }
                });
            x.writeEndElement();
            x.writeEndElement();
        }
        x.writeEndElement();
    };
    master(QStringLiteral("Standard"), QStringLiteral("pm1"), {}, !page_.footer.isEmpty());
    master(QStringLiteral("First_20_Page"), QStringLiteral("pm2"), QStringLiteral("Standard"),
           !page_.footer.isEmpty() && page_.footerOnFirstPage);
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndDocument();
    return bytes;
}

QByteArray Writer::manifestPart() const {
    QByteArray bytes;
    QXmlStreamWriter x(&bytes);
    x.writeStartDocument();
    x.writeNamespace(kManifest, QStringLiteral("manifest"));
    x.writeStartElement(kManifest, QStringLiteral("manifest"));
    x.writeAttribute(kManifest, QStringLiteral("version"), QStringLiteral("1.2"));
    const auto file = [&](const QString& path, const QString& type) {
        x.writeEmptyElement(kManifest, QStringLiteral("file-entry"));
        x.writeAttribute(kManifest, QStringLiteral("full-path"), path);
        x.writeAttribute(kManifest, QStringLiteral("media-type"), type);
    };
    file(QStringLiteral("/"), QStringLiteral("application/vnd.oasis.opendocument.text"));
    file(QStringLiteral("content.xml"), QStringLiteral("text/xml"));
    file(QStringLiteral("styles.xml"), QStringLiteral("text/xml"));
    file(QStringLiteral("meta.xml"), QStringLiteral("text/xml"));
    for (const auto& [name, data] : media_)
        file(name, name.endsWith(QLatin1String(".jpg")) ? QStringLiteral("image/jpeg")
                                                        : QStringLiteral("image/png"));
    x.writeEndElement();
    x.writeEndDocument();
    return bytes;
}

QByteArray Writer::metaPart() const {
    QByteArray bytes;
    QXmlStreamWriter x(&bytes);
    x.writeStartDocument();
    namespaces(x);
    x.writeStartElement(kOffice, QStringLiteral("document-meta"));
    x.writeAttribute(kOffice, QStringLiteral("version"), QStringLiteral("1.2"));
    x.writeStartElement(kOffice, QStringLiteral("meta"));
    x.writeTextElement(kDc, QStringLiteral("title"), xmlSafe(page_.title));
    x.writeTextElement(kMeta, QStringLiteral("generator"), QStringLiteral("Quillmark"));
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndDocument();
    return bytes;
}

} // namespace

QByteArray write(const QTextDocument& doc, const ExportPage& page, QString* error) {
    QString ignored;
    return Writer(doc, page).write(error ? error : &ignored);
}

} // namespace OdtWriter
