#include "reportdefinition.h"

#include "reporterror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <optional>

namespace {

constexpr auto kMagic = "quillmark-report";
constexpr int kFormatVersion = 1;

// Names that end up inside SQL text must be plain identifiers; anything else in a definition
// is refused rather than quoted, so a definition can never smuggle SQL into a table name.
bool isIdentifier(const QString& s) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(s).hasMatch();
}

class Parser {
public:
    Parser(const QString& origin, const QString& baseFolder) : origin_(origin), base_(baseFolder) {}

    ReportDefinition run(const QByteArray& text);

private:
    struct Entry {
        QString key;
        QString value;
        int line;
    };

    [[noreturn]] void fail(int line, const QString& what) const {
        throw ReportError(
            ReportError::DefinitionMalformed,
            QStringLiteral("Report definition %1, line %2: %3").arg(origin_).arg(line).arg(what));
    }

    bool flag(const Entry& e) const {
        const QString v = e.value.toLower();
        if (v == u"yes" || v == u"true" || v == u"1")
            return true;
        if (v == u"no" || v == u"false" || v == u"0")
            return false;
        fail(e.line, QStringLiteral("'%1' must be yes or no").arg(e.key));
    }

    double number(const Entry& e, double min, double max) const {
        bool ok = false;
        const double v = e.value.toDouble(&ok);
        if (!ok || v < min || v > max)
            fail(e.line,
                 QStringLiteral("%1 must be a number from %2 to %3").arg(e.key).arg(min).arg(max));
        return v;
    }

    QString identifier(const Entry& e) const {
        if (!isIdentifier(e.value))
            fail(e.line, QStringLiteral("'%1' is not a plain column or table name").arg(e.value));
        return e.value;
    }

    QString path(const QString& value) const {
        return QDir::cleanPath(QDir(base_).absoluteFilePath(value));
    }

    void section(const QString& name, int line);
    void apply(const Entry& e);
    void applyReport(const Entry& e);
    void applyTitlePage(const Entry& e);
    void applyContents(const Entry& e);
    void applyChapters(const Entry& e);
    void applySubreport(const Entry& e);
    void finish(int lastLine);

    QString origin_;
    QString base_;
    ReportDefinition def_;
    QString section_;
    int sectionLine_ = 0;
    bool sawReport_ = false;
    bool sawChapters_ = false;
};

ReportDefinition Parser::run(const QByteArray& text) {
    QString all = QString::fromUtf8(text);
    if (all.startsWith(QChar(0xFEFF)))
        all.remove(0, 1);
    const QStringList lines = all.split(QLatin1Char('\n'));

    bool sawMagic = false;
    std::optional<Entry> pending;
    auto flush = [&] {
        if (pending) {
            apply(*pending);
            pending.reset();
        }
    };

    int lineNo = 0;
    for (QString raw : lines) {
        ++lineNo;
        if (raw.endsWith(QLatin1Char('\r')))
            raw.chop(1);
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')) ||
            line.startsWith(QLatin1Char(';')))
            continue;
        if (!sawMagic) {
            const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (parts.size() != 2 || parts[0] != QLatin1String(kMagic))
                fail(lineNo, QStringLiteral("the file does not begin with '%1 %2'; it is not a "
                                            "report definition")
                                 .arg(QLatin1String(kMagic))
                                 .arg(kFormatVersion));
            if (parts[1] != QString::number(kFormatVersion))
                fail(lineNo, QStringLiteral("format version %1 is not supported").arg(parts[1]));
            sawMagic = true;
            continue;
        }
        // An indented line continues the value above it (long queries).
        if (raw.front().isSpace() && pending && !line.startsWith(QLatin1Char('['))) {
            pending->value += QLatin1Char(' ') + line;
            continue;
        }
        flush();
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                fail(lineNo, QStringLiteral("section header without ']'"));
            section(line.mid(1, line.size() - 2).trimmed(), lineNo);
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0)
            fail(lineNo, QStringLiteral("expected 'key = value', found '%1'").arg(line));
        if (section_.isEmpty())
            fail(lineNo, QStringLiteral("'%1' stands outside any section").arg(line));
        pending = Entry{line.left(eq).trimmed().toLower(), line.mid(eq + 1).trimmed(), lineNo};
    }
    flush();
    if (!sawMagic)
        fail(lineNo, QStringLiteral("the file is empty"));
    finish(lineNo);
    return def_;
}

void Parser::section(const QString& name, int line) {
    sectionLine_ = line;
    const QString lower = name.toLower();
    if (lower == u"report") {
        if (sawReport_)
            fail(line, QStringLiteral("[report] appears twice"));
        sawReport_ = true;
    } else if (lower == u"chapters") {
        if (sawChapters_)
            fail(line, QStringLiteral("[chapters] appears twice"));
        sawChapters_ = true;
    } else if (lower == u"contents") {
        def_.hasContents = true;
    } else if (lower == u"title-page") {
    } else if (lower.startsWith(u"subreport ") || lower == u"subreport") {
        const QString subName = name.mid(9).trimmed();
        if (subName.isEmpty())
            fail(line, QStringLiteral("a subreport needs a name: [subreport NAME]"));
        if (def_.subreport(subName))
            fail(line, QStringLiteral("subreport '%1' is defined twice").arg(subName));
        SubreportDefinition sub;
        sub.name = subName;
        sub.caption = subName;
        def_.subreports.append(sub);
        section_ = QStringLiteral("subreport");
        return;
    } else {
        fail(line, QStringLiteral("unknown section [%1]").arg(name));
    }
    section_ = lower;
}

void Parser::apply(const Entry& e) {
    if (e.value.isEmpty() && e.key != u"note")
        fail(e.line, QStringLiteral("'%1' has no value").arg(e.key));
    if (section_ == u"report")
        applyReport(e);
    else if (section_ == u"title-page")
        applyTitlePage(e);
    else if (section_ == u"contents")
        applyContents(e);
    else if (section_ == u"chapters")
        applyChapters(e);
    else
        applySubreport(e);
}

void Parser::applyReport(const Entry& e) {
    if (e.key == u"title") {
        def_.title = e.value;
    } else if (e.key == u"datafile") {
        def_.dataFile = path(e.value);
    } else if (e.key == u"page") {
        const QString v = e.value.toLower();
        if (v == u"a4")
            def_.page = QPageSize::A4;
        else if (v == u"letter")
            def_.page = QPageSize::Letter;
        else
            fail(e.line, QStringLiteral("page must be A4 or Letter"));
    } else if (e.key == u"margin-mm") {
        def_.marginMm = number(e, 5, 50);
    } else if (e.key == u"font") {
        def_.fontFamily = e.value;
    } else if (e.key == u"font-size") {
        def_.fontSize = number(e, 6, 36);
    } else if (e.key == u"footer") {
        def_.footer = e.value;
    } else if (e.key == u"appendix") {
        def_.appendixTitle = e.value;
    } else {
        fail(e.line, QStringLiteral("unknown key '%1' in [report]").arg(e.key));
    }
}

void Parser::applyTitlePage(const Entry& e) {
    if (e.key == u"subtitle")
        def_.subtitle = e.value;
    else if (e.key == u"note")
        def_.notes.append(e.value);
    else if (e.key == u"show-date")
        def_.showDate = flag(e);
    else if (e.key == u"show-progress")
        def_.showProgress = flag(e);
    else if (e.key == u"name-step")
        def_.nameStep = int(number(e, 1, 32767));
    else if (e.key == u"name-default")
        def_.nameDefault = e.value;
    else
        fail(e.line, QStringLiteral("unknown key '%1' in [title-page]").arg(e.key));
}

void Parser::applyContents(const Entry& e) {
    if (e.key == u"title")
        def_.contentsTitle = e.value;
    else
        fail(e.line, QStringLiteral("unknown key '%1' in [contents]").arg(e.key));
}

void Parser::applyChapters(const Entry& e) {
    ChapterDefinition& c = def_.chapters;
    if (e.key == u"steps")
        c.stepsQuery = e.value;
    else if (e.key == u"answers")
        c.answersQuery = e.value;
    else if (e.key == u"chapter")
        c.chapterColumn = identifier(e);
    else if (e.key == u"section")
        c.sectionColumn = identifier(e);
    else if (e.key == u"number")
        c.numberColumn = identifier(e);
    else if (e.key == u"question")
        c.questionColumn = identifier(e);
    else if (e.key == u"kind")
        c.kindColumn = identifier(e);
    else if (e.key == u"overview")
        c.overviewValue = e.value;
    else if (e.key == u"show-overviews")
        c.showOverviews = flag(e);
    else if (e.key == u"answer")
        c.answerColumn = identifier(e);
    else if (e.key == u"open")
        c.openText = e.value;
    else if (e.key == u"titles")
        c.titlesQuery = e.value;
    else
        fail(e.line, QStringLiteral("unknown key '%1' in [chapters]").arg(e.key));
}

void Parser::applySubreport(const Entry& e) {
    SubreportDefinition& s = def_.subreports.last();
    if (e.key == u"datafile") {
        s.dataFile = path(e.value);
    } else if (e.key == u"table") {
        s.table = identifier(e);
    } else if (e.key == u"caption") {
        s.caption = e.value;
    } else if (e.key == u"empty") {
        s.emptyText = e.value;
    } else if (e.key == u"order") {
        s.order = identifier(e);
    } else if (e.key == u"after") {
        bool ok = false;
        s.after = e.value.toInt(&ok);
        if (!ok || s.after < 0)
            fail(e.line, QStringLiteral("'after' must be a step number"));
    } else if (e.key == u"column") {
        const QStringList parts = e.value.split(QLatin1Char('|'));
        SubreportColumn col;
        col.name = parts.value(0).trimmed();
        if (!isIdentifier(col.name))
            fail(e.line, QStringLiteral("'%1' is not a plain column name").arg(col.name));
        col.caption = parts.value(1).trimmed();
        if (parts.size() > 3)
            fail(e.line, QStringLiteral("a column is 'name | caption | total money'"));
        if (parts.size() == 3) {
            for (const QString& word : parts[2].simplified().toLower().split(u' ')) {
                if (word == u"total")
                    col.total = true;
                else if (word == u"money")
                    col.money = true;
                else
                    fail(e.line, QStringLiteral("the third part of a column can only hold "
                                                "'total' and 'money'"));
            }
        }
        s.columns.append(col);
    } else if (e.key == u"chart") {
        const QStringList parts = e.value.split(QLatin1Char('|'));
        if (parts.size() < 2 || parts.size() > 3)
            fail(e.line, QStringLiteral("a chart is 'category | value | series'"));
        for (const QString& part : parts)
            if (!isIdentifier(part.trimmed()))
                fail(e.line, QStringLiteral("'%1' is not a plain column name").arg(part.trimmed()));
        s.chartCategory = parts[0].trimmed();
        s.chartValue = parts[1].trimmed();
        s.chartSeries = parts.value(2).trimmed();
    } else if (e.key == u"chart-title") {
        s.chartTitle = e.value;
    } else if (e.key == u"hide" || e.key == u"totals") {
        QStringList& list = e.key == u"hide" ? s.hidden : s.totals;
        for (const QString& part : e.value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString name = part.trimmed();
            if (!isIdentifier(name))
                fail(e.line, QStringLiteral("'%1' is not a plain column name").arg(name));
            list.append(name);
        }
    } else {
        fail(e.line, QStringLiteral("unknown key '%1' in [subreport %2]").arg(e.key, s.name));
    }
}

void Parser::finish(int lastLine) {
    if (!sawReport_)
        fail(lastLine, QStringLiteral("the [report] section is missing"));
    if (def_.title.isEmpty())
        fail(lastLine, QStringLiteral("[report] needs a title"));
    if (!sawChapters_)
        fail(lastLine, QStringLiteral("the [chapters] section is missing"));
    const ChapterDefinition& c = def_.chapters;
    const std::pair<const QString*, const char*> required[] = {
        {&c.stepsQuery, "steps"},    {&c.answersQuery, "answers"},    {&c.chapterColumn, "chapter"},
        {&c.numberColumn, "number"}, {&c.questionColumn, "question"}, {&c.answerColumn, "answer"},
    };
    for (const auto& [value, key] : required)
        if (value->isEmpty())
            fail(lastLine, QStringLiteral("[chapters] needs '%1'").arg(QLatin1String(key)));
    for (const SubreportDefinition& s : def_.subreports) {
        if (s.table.isEmpty())
            fail(lastLine, QStringLiteral("[subreport %1] needs a table").arg(s.name));
        if (!s.columns.isEmpty() && (!s.hidden.isEmpty() || !s.totals.isEmpty()))
            fail(lastLine, QStringLiteral("[subreport %1]: 'hide' and 'totals' apply only "
                                          "without a column list")
                               .arg(s.name));
    }
}

} // namespace

ReportDefinition ReportDefinition::parse(const QByteArray& text, const QString& origin,
                                         const QString& baseFolder) {
    return Parser(origin, baseFolder).run(text);
}

ReportDefinition ReportDefinition::load(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw ReportError(ReportError::ReportFileMissing,
                          QStringLiteral("The report file %1 was not found.")
                              .arg(QDir::toNativeSeparators(path)));
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly))
        throw ReportError(
            ReportError::ReportFileUnreadable,
            QStringLiteral("The report file %1 cannot be read: %2")
                .arg(QDir::toNativeSeparators(path),
                     info.isDir() ? QStringLiteral("it is a folder") : file.errorString()));
    // Definitions are a few kilobytes; anything far larger is not one.
    constexpr qint64 kMaxSize = 1 << 20;
    if (file.size() > kMaxSize)
        throw ReportError(ReportError::DefinitionMalformed,
                          QStringLiteral("The report file %1 is too large to be a report "
                                         "definition.")
                              .arg(QDir::toNativeSeparators(path)));
    return parse(file.readAll(), info.fileName(), info.absolutePath());
}

const SubreportDefinition* ReportDefinition::subreport(const QString& name) const {
    for (const SubreportDefinition& s : subreports)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

SubreportDefinition* ReportDefinition::subreport(const QString& name) {
    for (SubreportDefinition& s : subreports)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}
