#include "reportrenderer.h"

#include "documentwalk.h"
#include "figurechart.h"
#include "figuretable.h"
#include "reportdatabase.h"
#include "reportdocument.h"
#include "reporterror.h"
#include "reportstepcontent.h"
#include "reportstyle.h"
#include "rtfpicture.h"
#include "rtfreader.h"
#include "rtftextproperties.h"

#include <QAbstractTextDocumentLayout>
#include <QDate>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextTable>
#include <QUrl>

#include <cmath>
#include <functional>
#include <optional>

namespace {

using ReportStyle::kHeadingColour;
const QColor kQuestionColour(0x40, 0x40, 0x80); // question text colour of the main window
const QColor kOpenColour(0xB0, 0x30, 0x20);

struct Chapter {
    QString title;
    int headingPosition = 0;
};

// The bookmark on a chapter's heading, which the contents' page numbers refer to.
QString chapterBookmark(int index) {
    return QStringLiteral("chapter%1").arg(index + 1);
}

QTextBlockFormat keptWithNext(QTextBlockFormat f) {
    f.setProperty(quill::rtf::KeepWithNextProperty, true);
    return f;
}

// Page (0-based) on which the first line of a block is laid out.
int firstLinePage(const QTextDocument& doc, const QTextBlock& block) {
    const QRectF r = doc.documentLayout()->blockBoundingRect(block);
    qreal y = r.top();
    if (const QTextLayout* layout = block.layout(); layout && layout->lineCount() > 0)
        y += layout->lineAt(0).y() + layout->lineAt(0).height() - 1;
    return int(y / doc.pageSize().height());
}

bool keptWithNextBlock(const QTextBlock& b) {
    return b.isValid() && b.blockFormat().boolProperty(quill::rtf::KeepWithNextProperty);
}

// Qt's layout knows no "keep with next": a heading whose first following line falls on
// the next page moves to that page, as a word processor would move it, together with the
// headings kept with it (a section heading above a question's), so that none is left at
// the foot of the page. The move is a page break marked as the layout's own, which the
// files leave out (their word processor keeps the headings together itself). In document
// order, so that each move is made on the layout the earlier ones left. This is where Qt
// lays the document out, the longest part of a render: `progress` hears of each heading
// (the share of blocks done) and stops the work when it says so.
bool keepHeadingsWithNext(QTextDocument& doc, const std::function<bool(double)>& progress) {
    const int blocks = std::max(1, doc.blockCount());
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        if (!keptWithNextBlock(b))
            continue;
        if (!progress(double(b.blockNumber()) / blocks))
            return false;
        const QTextBlock next = doc.findBlock(b.position() + b.length());
        if (!next.isValid() || next == b)
            continue;
        const int page = firstLinePage(doc, b);
        if (firstLinePage(doc, next) == page)
            continue;
        // The first of the headings kept together on this page moves, with the rest.
        QTextBlock first = b;
        while (keptWithNextBlock(first.previous()) &&
               firstLinePage(doc, first.previous()) == page &&
               !(first.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore))
            first = first.previous();
        if (first.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            continue; // already at the top of its page: moving it gains nothing
        QTextCursor c(first);
        QTextBlockFormat f = first.blockFormat();
        f.setPageBreakPolicy(f.pageBreakPolicy() | QTextFormat::PageBreak_AlwaysBefore);
        f.setProperty(quill::rtf::LayoutBreakProperty, true);
        c.setBlockFormat(f);
        b = first;
        // Qt redoes the layout lazily from the change on, and leaves blocks further down
        // without lines if it is asked about them too soon: lay out the rest now.
        doc.markContentsDirty(first.position(), doc.characterCount() - first.position());
    }
    return true;
}

// The figures of one subreport as they will be printed.
struct Figures {
    bool available = false;
    QString reason;
    QStringList names;
    QStringList captions;
    QList<QStringList> cells;
    QList<bool> totalled;
    QList<bool> money;
    QList<double> totals;
    QList<bool> totalsFractional;
    bool skippedCells = false;
};

// Figures are printed with the user's separators; the C locale (no locale set) has none,
// so the program's own language stands in for it.
QLocale numberLocale() {
    const QLocale system;
    return system.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedKingdom)
                                           : system;
}

// A number as the table prints it: money always with two decimals, other numbers with
// two only when they have a fraction.
QString formatNumber(double d, bool money, bool fractional) {
    return numberLocale().toString(d, 'f', money || fractional ? 2 : 0);
}

QString display(const QVariant& v, bool money) {
    if (v.isNull())
        return {};
    const int type = v.typeId();
    if (type == QMetaType::Double || type == QMetaType::Int || type == QMetaType::LongLong) {
        const double d = v.toDouble();
        return formatNumber(d, money, d != std::floor(d));
    }
    return v.toString();
}

// Reads a cell as a number the way a person types figures: blanks, thousands separators and
// a leading currency sign are tolerated.
std::optional<double> number(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong ||
        v.typeId() == QMetaType::Double)
        return v.toDouble();
    QString s = v.toString().trimmed();
    s.remove(QLatin1Char(',')).remove(QLatin1Char(' '));
    if (!s.isEmpty() && !s.front().isDigit() && s.front() != u'-' && s.front() != u'.' &&
        s.front() != u'+')
        s.remove(0, 1);
    bool ok = false;
    const double d = s.toDouble(&ok);
    return ok ? std::optional<double>(d) : std::nullopt;
}

Figures readFigures(const SubreportDefinition& sub, const QString& fallbackData) {
    Figures f;
    const QString path = sub.dataFile.isEmpty() ? fallbackData : sub.dataFile;
    try {
        ReportDatabase db(path);
        if (!db.hasTable(sub.table)) {
            f.reason = QStringLiteral("the table '%1' is not in %2")
                           .arg(sub.table, QFileInfo(path).fileName());
            return f;
        }
        QStringList names;
        const auto declared = db.columns(sub.table);
        if (sub.columns.isEmpty()) {
            for (const auto& [name, type] : declared) {
                if (sub.hidden.contains(name, Qt::CaseInsensitive))
                    continue;
                names.append(name);
                f.captions.append(name);
                f.totalled.append(sub.totals.contains(name, Qt::CaseInsensitive));
                f.money.append(false);
            }
        } else {
            for (const SubreportColumn& c : sub.columns) {
                const bool present = std::any_of(declared.begin(), declared.end(), [&](auto& d) {
                    return d.first.compare(c.name, Qt::CaseInsensitive) == 0;
                });
                if (!present) {
                    f.reason =
                        QStringLiteral("the table '%1' has no column '%2'").arg(sub.table, c.name);
                    return f;
                }
                names.append(c.name);
                f.captions.append(c.caption.isEmpty() ? c.name : c.caption);
                f.totalled.append(c.total);
                f.money.append(c.money);
            }
        }
        // The names in this SQL text: the table, the order column and any listed columns are
        // plain identifiers (letters, digits, underscores), checked when the definition was
        // read (isIdentifier in reportdefinition.cpp), and a listed column was found among
        // the table's own above; without a list the names are those the table declares, which
        // may hold any character, so a quote inside one is doubled as SQL reads it. The quotes
        // keep a name that is also an SQL keyword from reading as one.
        QStringList quoted;
        for (QString n : names)
            quoted.append(QLatin1Char('"') + n.replace(QLatin1Char('"'), QLatin1String("\"\"")) +
                          QLatin1Char('"'));
        QString sql = QStringLiteral("SELECT %1 FROM \"%2\"").arg(quoted.join(u", "), sub.table);
        sql += sub.order.isEmpty() ? QStringLiteral(" ORDER BY rowid")
                                   : QStringLiteral(" ORDER BY \"%1\"").arg(sub.order);
        const ReportDatabase::Table rows = db.select(sql);
        f.names = names;
        f.totals.fill(0.0, names.size());
        f.totalsFractional.fill(false, names.size());
        for (const ReportDatabase::Row& row : rows.rows) {
            QStringList line;
            bool any = false;
            for (int i = 0; i < row.size(); ++i) {
                line.append(display(row[i], f.money[i]));
                // Money typed as text ("1,250") is printed like the stored amounts.
                if (f.money[i] && row[i].typeId() == QMetaType::QString)
                    if (const auto n = number(row[i]))
                        line.last() = formatNumber(*n, true, false);
                any = any || !line.last().trimmed().isEmpty();
                if (!f.totalled[i] || line.last().trimmed().isEmpty())
                    continue;
                if (const auto n = number(row[i])) {
                    f.totals[i] += *n;
                    f.totalsFractional[i] = f.totalsFractional[i] || *n != std::floor(*n);
                } else {
                    f.skippedCells = true;
                }
            }
            // Rows the grid left blank are not figures.
            if (any)
                f.cells.append(line);
        }
        f.available = true;
    } catch (const ReportError& e) {
        f.reason = e.message();
    }
    return f;
}

class Builder {
public:
    Builder(const ReportDefinition& def, ReportRenderer::Summary& summary,
            const ReportRenderer::Progress& progress)
        : def_(def), summary_(summary), progress_(progress),
          doc_(std::make_unique<QTextDocument>()), cursor_(doc_.get()) {
        QFont font(def.fontFamily);
        font.setPointSizeF(def.fontSize);
        doc_->setDefaultFont(font);
        doc_->setMetaInformation(QTextDocument::DocumentTitle, def.title);
    }

    std::unique_ptr<ReportDocument> build();

private:
    QTextCharFormat text(double scale = 1.0, bool bold = false, bool italic = false,
                         const QColor& colour = Qt::black) const {
        return ReportStyle::text(def_.fontFamily, def_.fontSize * scale, bold, italic, colour);
    }
    void block(const QTextBlockFormat& format, const QTextCharFormat& chars, const QString& s) {
        if (first_) {
            cursor_.setBlockFormat(format);
            cursor_.setBlockCharFormat(chars);
            first_ = false;
        } else {
            cursor_.insertBlock(format, chars);
        }
        cursor_.insertText(s, chars);
    }
    // Space is given below paragraphs only: Qt lays out the larger of a paragraph's space
    // below and the next one's above, word processors the sum of both, and with one of
    // them always nought the two agree.
    QTextBlockFormat paragraph(double before = 0, double after = 4,
                               Qt::Alignment align = Qt::AlignLeft) const {
        QTextBlockFormat f;
        f.setTopMargin(before);
        f.setBottomMargin(after);
        f.setAlignment(align);
        return f;
    }
    QTextBlockFormat heading(int level, bool newPage) const {
        QTextBlockFormat f = keptWithNext(paragraph(0, level == 1 ? 14 : 6));
        f.setHeadingLevel(level);
        if (newPage)
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        return f;
    }

    void titlePage(const QString& business, int questions, int answered);
    void contents();
    QString businessName(const ReportDatabase::Table& steps, const ReportDatabase::Table& answers,
                         int numberCol, int answerCol) const;
    QHash<int, QString> titles() const;
    void chapterHeading(const QString& title);
    void answer(const QVariant& stored);
    void figures(const SubreportDefinition& sub);
    void chart(const SubreportDefinition& sub, const Figures& f);
    void fillContents(const ReportDocument& report);
    void fitPictures(int from, int to);

    const ReportDefinition& def_;
    ReportRenderer::Summary& summary_;
    const ReportRenderer::Progress& progress_;
    std::unique_ptr<QTextDocument> doc_;
    QTextCursor cursor_;
    bool first_ = true;
    QList<Chapter> chapters_;
    QTextTable* contents_ = nullptr;
};

void Builder::titlePage(const QString& business, int questions, int answered) {
    QTextBlockFormat centred = paragraph(0, 12, Qt::AlignHCenter);
    // Qt lays the first paragraph at the top of the frame whatever space it asks for above
    // it, so the title is moved down the page by an empty paragraph of that height.
    QTextBlockFormat space = paragraph(0, 0);
    space.setLineHeight(180, QTextBlockFormat::FixedHeight);
    block(space, text(1.0), QString());
    block(centred, text(2.6, true, false, kHeadingColour), business);
    block(centred, text(1.6, true, false, kHeadingColour), def_.title);
    if (!def_.subtitle.isEmpty())
        block(centred, text(1.2, false, true), def_.subtitle);
    for (const QString& note : def_.notes)
        block(centred, text(1.0), note);
    QTextBlockFormat spaced = centred;
    spaced.setTopMargin(60);
    bool firstLine = true;
    if (def_.showDate) {
        block(spaced, text(1.0),
              QLocale(QLocale::English)
                  .toString(QDate::currentDate(), QStringLiteral("d MMMM yyyy")));
        firstLine = false;
    }
    if (def_.showProgress)
        block(firstLine ? spaced : centred, text(1.0, false, true),
              QStringLiteral("%1 of %2 questions answered").arg(answered).arg(questions));
}

// The first line of the answer to the step that asks for the business's name.
QString Builder::businessName(const ReportDatabase::Table& steps,
                              const ReportDatabase::Table& answers, int numberCol,
                              int answerCol) const {
    for (qsizetype k = 0; def_.nameStep > 0 && k < steps.rows.size(); ++k) {
        if (steps.rows[k][numberCol].toInt() != def_.nameStep || k >= answers.rows.size())
            continue;
        const QString stored = answers.rows[k][answerCol].toString();
        QTextDocument answer;
        if (!quill::rtf::RtfReader::read(stored.toUtf8(), &answer))
            answer.setPlainText(stored);
        for (QString line :
             answer.toPlainText().split(QRegularExpression(QStringLiteral("[\\n\\x{2028}]")))) {
            line = line.simplified();
            if (line.isEmpty())
                continue;
            // The name, not the address after it: up to the first comma or semicolon.
            const qsizetype stop = line.indexOf(QRegularExpression(QStringLiteral("[,;]")));
            if (stop > 0)
                line.truncate(stop);
            if (line.size() > 80)
                line = line.left(79).trimmed() + QChar(0x2026);
            return line;
        }
    }
    return def_.nameDefault;
}

// The short titles of the steps, by step number; none when the question set has no titles.
QHash<int, QString> Builder::titles() const {
    QHash<int, QString> out;
    if (def_.chapters.titlesQuery.isEmpty())
        return out;
    try {
        ReportDatabase db(def_.dataFile);
        const ReportDatabase::Table t = db.select(def_.chapters.titlesQuery);
        for (const ReportDatabase::Row& row : t.rows)
            if (row.size() >= 2 && !row[1].toString().trimmed().isEmpty())
                out.insert(row[0].toInt(), row[1].toString().trimmed());
    } catch (const ReportError&) {
        // A question set made before titles existed: the questions' own text is printed.
    }
    return out;
}

void Builder::contents() {
    block(heading(1, true), text(1.6, true, false, kHeadingColour), def_.contentsTitle);
    // Entries are added once the chapters are known; the table holds their place.
    QTextTableFormat table;
    table.setBorder(0);
    table.setCellPadding(2);
    table.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    table.setColumnWidthConstraints({QTextLength(QTextLength::PercentageLength, 88),
                                     QTextLength(QTextLength::PercentageLength, 12)});
    table.setProperty(quill::rtf::ContentsProperty, true);
    contents_ = cursor_.insertTable(1, 2, table);
    cursor_.movePosition(QTextCursor::End);
}

void Builder::chapterHeading(const QString& title) {
    const QString numbered = QStringLiteral("%1. %2").arg(chapters_.size() + 1).arg(title);
    QTextCharFormat chars = text(1.6, true, false, kHeadingColour);
    chars.setAnchor(true);
    chars.setAnchorNames({chapterBookmark(int(chapters_.size()))});
    block(heading(1, true), chars, numbered);
    chapters_.append({numbered, cursor_.block().position()});
}

void Builder::answer(const QVariant& stored) {
    const QByteArray rtf = stored.toString().toUtf8();
    QTextDocument answer;
    bool rich = !rtf.trimmed().isEmpty() && quill::rtf::RtfReader::read(rtf, &answer);
    if (!rich && !rtf.trimmed().isEmpty())
        answer.setPlainText(stored.toString()); // not RTF: keep the text as it stands
    if (answer.toPlainText().trimmed().isEmpty()) {
        block(paragraph(0, 10), text(0.95, false, true, kOpenColour), def_.chapters.openText);
        return;
    }
    ++summary_.answered;
    block(paragraph(0, 0), text(), QString());
    // A fragment carries the pictures' names, not their data: the report's document gets
    // the data first, so the preview, print and every export show them.
    quill::rtf::copyPictures(answer, cursor_.document());
    const int start = cursor_.position();
    cursor_.insertFragment(QTextDocumentFragment(&answer));
    cursor_.movePosition(QTextCursor::End);
    fitPictures(start, cursor_.position());
    // Blank lines the owner typed above the answer's text go with it: the question is kept
    // with its first words, not with an empty line at the foot of a page.
    for (QTextBlock b = doc_->findBlock(start); b.isValid() && b.position() < cursor_.position() &&
                                                b.text().trimmed().isEmpty() && !b.textList();
         b = b.next()) {
        QTextCursor c(b);
        c.setBlockFormat(keptWithNext(b.blockFormat()));
    }
    // One body font throughout: the answer keeps its sizes, colours and emphasis.
    QTextCursor whole(doc_.get());
    whole.setPosition(start);
    whole.setPosition(cursor_.position(), QTextCursor::KeepAnchor);
    QTextCharFormat family;
    family.setFontFamilies({def_.fontFamily});
    whole.mergeCharFormat(family);
    // Space below the answer, on a block of the report's own format.
    block(paragraph(0, 10), text(0.5), QString());
}

// Pictures the owner pasted at any size are shown within the text area of the page, their
// proportions kept; the stored answer keeps them as they are.
void Builder::fitPictures(int from, int to) {
    const QSizeF paper = QPageSize(def_.page).size(QPageSize::Millimeter);
    const double pixelsPerMm = ReportDocument::kLayoutDpi / 25.4;
    // A quarter inch of the height is left for the line the picture stands on.
    const QSizeF area((paper.width() - 2 * def_.marginMm) * pixelsPerMm,
                      (paper.height() - 2 * def_.marginMm) * pixelsPerMm -
                          ReportDocument::kLayoutDpi / 4);
    for (QTextBlock b = doc_->findBlock(from); b.isValid() && b.position() < to; b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat image = fragment.charFormat().toImageFormat();
            const QSize pixels =
                quill::rtf::picturePixelSize(quill::rtf::pictureBytes(*doc_, image.name()));
            if (!pixels.isValid())
                continue;
            QSizeF size(image.width() > 0 ? image.width() : 0,
                        image.height() > 0 ? image.height() : 0);
            if (size.width() <= 0 && size.height() <= 0)
                size = pixels;
            else if (size.width() <= 0)
                size.setWidth(size.height() * pixels.width() / pixels.height());
            else if (size.height() <= 0)
                size.setHeight(size.width() * pixels.height() / pixels.width());
            const QSizeF fitted = quill::rtf::fitInto(size, area);
            if (fitted == size)
                continue;
            image.setWidth(fitted.width());
            image.setHeight(fitted.height());
            QTextCursor c(doc_.get());
            c.setPosition(fragment.position());
            c.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            c.setCharFormat(image);
        }
    }
}

void Builder::figures(const SubreportDefinition& sub) {
    const Figures f = readFigures(sub, def_.dataFile);
    block(keptWithNext(paragraph(0, 4)), text(1.05, true, false, kHeadingColour), sub.caption);
    if (!f.available) {
        block(paragraph(0, 8), text(0.95, false, true, kOpenColour),
              QStringLiteral("Figures unavailable: %1.").arg(f.reason));
        return;
    }
    ++summary_.subreportsShown;
    const bool anyTotal = f.totalled.contains(true);
    const int columns = f.captions.size();
    const int rows = 1 + std::max<int>(f.cells.size(), 1) + (anyTotal ? 1 : 0);
    QTextTable* table = cursor_.insertTable(rows, columns, FigureTable::format(3));
    auto put = [&](int r, int c, const QString& s, const QTextCharFormat& chars,
                   const QColor& background, Qt::Alignment align) {
        FigureTable::fill(table, r, c, s, chars, background, align);
    };
    const QTextCharFormat body = text(0.9);
    const QTextCharFormat bold = text(0.9, true);
    for (int c = 0; c < columns; ++c)
        put(0, c, f.captions[c], bold, FigureTable::kHeaderBackground, Qt::AlignLeft);
    if (f.cells.isEmpty()) {
        table->mergeCells(1, 0, 1, columns);
        put(1, 0, sub.emptyText, text(0.9, false, true), QColor(), Qt::AlignLeft);
    }
    for (int r = 0; r < f.cells.size(); ++r)
        for (int c = 0; c < columns; ++c)
            put(r + 1, c, f.cells[r].value(c), body, QColor(),
                f.totalled[c] || f.money[c] ? Qt::AlignRight : Qt::AlignLeft);
    if (anyTotal) {
        const int last = rows - 1;
        for (int c = 0; c < columns; ++c) {
            QString s;
            if (c == 0 && !f.totalled[0])
                s = QStringLiteral("Total");
            else if (f.totalled[c])
                s = formatNumber(f.totals[c], f.money[c], f.totalsFractional[c]);
            put(last, c, s, bold, FigureTable::kTotalBackground,
                f.totalled[c] ? Qt::AlignRight : Qt::AlignLeft);
        }
    }
    cursor_.movePosition(QTextCursor::End);
    if (f.skippedCells)
        block(paragraph(0, 4), text(0.8, false, true),
              QStringLiteral("Cells that do not hold a number are left out of the totals."));
    if (!sub.chartCategory.isEmpty() && !f.cells.isEmpty())
        chart(sub, f);
}

void Builder::chart(const SubreportDefinition& sub, const Figures& f) {
    const auto column = [&](const QString& name) {
        for (qsizetype i = 0; i < f.names.size(); ++i)
            if (f.names[i].compare(name, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
    };
    const int category = column(sub.chartCategory);
    const int value = column(sub.chartValue);
    const int series = sub.chartSeries.isEmpty() ? -1 : column(sub.chartSeries);
    if (category < 0 || value < 0)
        return; // the chart draws printed columns only
    const FigureChart::Data data =
        FigureChart::collect(f.cells, category, value, series, QStringLiteral("Other"));
    if (data.isEmpty())
        return;
    // As wide as the text, in the document's layout units (96 to the inch).
    const QSizeF paper = QPageSize(def_.page).size(QPageSize::Millimeter);
    const double width = (paper.width() - 2 * def_.marginMm) / 25.4 * 96.0;
    const double height = width * 0.45;
    const QString title =
        sub.chartTitle.isEmpty()
            ? QStringLiteral("%1 by %2").arg(f.captions[value], f.captions[category].toLower())
            : sub.chartTitle;
    const QImage image = FigureChart::draw(data, title, f.captions[value], def_.fontFamily,
                                           QSizeF(width * 0.75, height * 0.75), 192);
    const QUrl name(QStringLiteral("chart-%1.png").arg(summary_.subreportsShown));
    doc_->addResource(QTextDocument::ImageResource, name, image);
    block(paragraph(0, 10, Qt::AlignHCenter), text(), QString());
    QTextImageFormat picture;
    picture.setName(name.toString());
    picture.setWidth(width);
    picture.setHeight(height);
    cursor_.insertImage(picture);
}

void Builder::fillContents(const ReportDocument& report) {
    if (!contents_)
        return;
    // All pages first: writing a number moves every position after it.
    QList<int> pages;
    for (const Chapter& chapter : chapters_)
        pages.append(report.pageOf(chapter.headingPosition) + 1);
    for (int i = 0; i < chapters_.size(); ++i) {
        const int page = pages[i];
        QTextCursor c = contents_->cellAt(i, 1).firstCursorPosition();
        QTextBlockFormat right;
        right.setAlignment(Qt::AlignRight);
        c.setBlockFormat(right);
        // A word processor recounts the page from the chapter's bookmark.
        QTextCharFormat reference = text(1.0);
        reference.setProperty(quill::rtf::PageReferenceProperty, chapterBookmark(i));
        c.insertText(QString::number(page), reference);
    }
}

std::unique_ptr<ReportDocument> Builder::build() {
    const ChapterDefinition& cd = def_.chapters;
    ReportDatabase::Table steps;
    ReportDatabase::Table answers;
    {
        ReportDatabase db(def_.dataFile);
        steps = db.select(cd.stepsQuery);
        answers = db.select(cd.answersQuery);
    }
    auto column = [](const ReportDatabase::Table& t, const QString& name, const char* what) {
        if (name.isEmpty())
            return -1;
        const int i = t.column(name);
        if (i < 0)
            throw ReportError(ReportError::QueryFailed,
                              QStringLiteral("The %1 query of the report has no column '%2'.")
                                  .arg(QLatin1String(what), name));
        return i;
    };
    const int chapterCol = column(steps, cd.chapterColumn, "steps");
    const int sectionCol = column(steps, cd.sectionColumn, "steps");
    const int numberCol = column(steps, cd.numberColumn, "steps");
    const int questionCol = column(steps, cd.questionColumn, "steps");
    const int kindCol = column(steps, cd.kindColumn, "steps");
    const int answerCol = column(answers, cd.answerColumn, "answers");

    auto isOverview = [&](const ReportDatabase::Row& row) {
        return kindCol >= 0 && row[kindCol].toString() == cd.overviewValue;
    };
    int questions = 0;
    for (const ReportDatabase::Row& row : steps.rows)
        questions += isOverview(row) ? 0 : 1;

    // The answered count is only known after the answers are read; the title page is
    // completed at the end, so reserve its position now.
    titlePage(businessName(steps, answers, numberCol, answerCol), questions, 0);
    const int progressBlock = def_.showProgress ? cursor_.block().blockNumber() : -1;
    if (def_.hasContents)
        contents();

    QHash<int, QList<const SubreportDefinition*>> placed;
    QList<const SubreportDefinition*> appendix;
    QSet<int> numbers;
    for (const ReportDatabase::Row& row : steps.rows)
        numbers.insert(row[numberCol].toInt());
    for (const SubreportDefinition& sub : def_.subreports) {
        if (sub.after >= 0 && numbers.contains(sub.after))
            placed[sub.after].append(&sub);
        else
            appendix.append(&sub);
    }

    const QHash<int, QString> shortTitles = titles();
    const QSizeF paper = QPageSize(def_.page).size(QPageSize::Millimeter);
    const ReportStepContent::Writer extra = ReportStepContent::writerFor(
        {def_.dataFile, def_.fontFamily, def_.fontSize,
         (paper.width() - 2 * def_.marginMm) / 25.4 * ReportDocument::kLayoutDpi});
    QString chapter;
    QString section;
    bool started = false;
    for (qsizetype k = 0; k < steps.rows.size(); ++k) {
        const ReportDatabase::Row& row = steps.rows[k];
        const QString title = row[chapterCol].toString();
        if (!started || title != chapter) {
            chapterHeading(title);
            chapter = title;
            section.clear();
            started = true;
        }
        const int number = row[numberCol].toInt();
        const bool shown = !isOverview(row) || cd.showOverviews;
        // A sub-heading only above something printed: skipped overview steps have their own.
        if (shown && sectionCol >= 0 && row[sectionCol].toString() != section) {
            section = row[sectionCol].toString();
            if (!section.isEmpty() && section != chapter)
                block(heading(2, false), text(1.25, true, false, kHeadingColour), section);
        }
        if (isOverview(row)) {
            if (cd.showOverviews)
                block(paragraph(0, 8), text(0.95, false, true), row[questionCol].toString());
        } else {
            const QString heading = shortTitles.value(number, row[questionCol].toString());
            block(keptWithNext(paragraph(0, 3)), text(1.0, true, false, kQuestionColour),
                  QStringLiteral("%1. %2").arg(number).arg(heading));
            // Answers pair with the steps by position; a step without an answer row is open.
            answer(k < answers.rows.size() ? answers.rows[k][answerCol] : QVariant());
        }
        for (const SubreportDefinition* sub : placed.value(number))
            figures(*sub);
        if (extra) {
            extra(cursor_, number);
            cursor_.movePosition(QTextCursor::End);
        }
        // The layout at the end takes as long again as the steps or longer: they count half.
        if (progress_ && !progress_(int(k + 1), int(steps.rows.size() * 2)))
            return nullptr;
    }
    if (!appendix.isEmpty()) {
        chapterHeading(def_.appendixTitle);
        for (const SubreportDefinition* sub : appendix)
            figures(*sub);
    }

    if (progressBlock >= 0) {
        QTextCursor c(doc_->findBlockByNumber(progressBlock));
        c.movePosition(QTextCursor::StartOfBlock);
        c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        c.insertText(
            QStringLiteral("%1 of %2 questions answered").arg(summary_.answered).arg(questions),
            text(1.0, false, true));
    }
    if (contents_) {
        if (chapters_.size() > 1)
            contents_->appendRows(int(chapters_.size()) - 1);
        for (int i = 0; i < chapters_.size(); ++i)
            contents_->cellAt(i, 0).firstCursorPosition().insertText(chapters_[i].title, text());
        // Rows were added above the chapters: their positions moved; find the headings again.
        int found = 0;
        for (QTextBlock b = doc_->begin(); b.isValid() && found < chapters_.size(); b = b.next())
            if (b.blockFormat().headingLevel() == 1 && b.text() == chapters_[found].title &&
                !b.textList() && b.position() > contents_->lastPosition())
                chapters_[found++].headingPosition = b.position();
    }
    summary_.questions = questions;
    summary_.chapters = int(chapters_.size());

    auto report = std::make_unique<ReportDocument>(std::move(doc_), def_.title, def_.footer,
                                                   def_.page, def_.marginMm);
    const int steps2 = int(steps.rows.size() * 2);
    const bool laidOut = keepHeadingsWithNext(*report->textDocument(), [&](double share) {
        return !progress_ ||
               progress_(int(steps.rows.size()) + int(share * steps.rows.size()), steps2);
    });
    if (!laidOut)
        return nullptr;
    fillContents(*report);
    if (progress_ && !progress_(steps2, steps2))
        return nullptr;
    return report;
}

} // namespace

ReportRenderer::ReportRenderer(const ReportDefinition& definition) : def_(definition) {}

std::unique_ptr<ReportDocument> ReportRenderer::render(const Progress& progress) const {
    summary_ = {};
    return Builder(def_, summary_, progress).build();
}
