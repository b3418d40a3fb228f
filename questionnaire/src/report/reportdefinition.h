#pragma once

#include <QByteArray>
#include <QList>
#include <QPageSize>
#include <QString>
#include <QStringList>

// One column of a subreport's figure table.
struct SubreportColumn {
    QString name;       // column of the table
    QString caption;    // header text; the column name when empty
    bool total = false; // summed into the total row
    bool money = false; // an amount of money: always two decimals
};

// A named block of figures read from one table of its own data file.
struct SubreportDefinition {
    QString name;
    QString dataFile; // data file 0 of this subreport (absolute once loaded)
    QString table;
    QString caption;
    QString emptyText = QStringLiteral("No figures have been entered yet.");
    QString order;                  // column to sort the rows by; table order when empty
    int after = -1;                 // placed below the step with this number; -1: in the appendix
    QList<SubreportColumn> columns; // empty: every column of the table except `hidden`
    QStringList hidden;
    QStringList totals; // with no column list: the columns summed into the total row
    // A chart below the table: bars per value of chartCategory, stacked by chartSeries,
    // of the sums of chartValue (printed columns); empty chartCategory: no chart.
    QString chartCategory;
    QString chartValue;
    QString chartSeries;
    QString chartTitle;
};

// How the chapters are built from the question set and the answers paired with it.
struct ChapterDefinition {
    QString stepsQuery;
    QString answersQuery;
    QString chapterColumn;
    QString sectionColumn; // optional: a sub-heading whenever this column changes
    QString numberColumn;
    QString questionColumn;
    QString kindColumn;
    QString overviewValue = QStringLiteral("1");
    bool showOverviews = false;
    QString answerColumn;
    // Optional: a query returning a step number and that step's short title, printed in
    // place of the question text. When it fails (a database made before titles existed)
    // or a step has no title, the question text is printed.
    QString titlesQuery;
    QString openText = QStringLiteral("Still open: no answer has been stored yet.");
};

// A parsed report definition (the text format is described in FORMAT.md beside this file).
// Parsing either yields a complete definition or throws ReportError 20506 naming the line.
struct ReportDefinition {
    QString title;
    QString subtitle;
    QStringList notes;
    bool showDate = true;
    bool showProgress = true;
    // The step whose answer names the business (the first line of it is the title page's
    // heading); -1: none. The default heading when that answer is empty.
    int nameStep = -1;
    QString nameDefault = QStringLiteral("Business plan");
    QString dataFile; // data file 0 of the main report (absolute once loaded)
    QPageSize::PageSizeId page = QPageSize::A4;
    double marginMm = 20.0;
    QString fontFamily = QStringLiteral("DejaVu Serif");
    double fontSize = 11.0;
    QString footer = QStringLiteral("{title}  -  page {page} of {pages}");
    bool hasContents = false;
    QString contentsTitle = QStringLiteral("Contents");
    QString appendixTitle = QStringLiteral("Figures");
    ChapterDefinition chapters;
    QList<SubreportDefinition> subreports;

    // Parses definition text. `origin` names the source in error messages; relative data
    // file paths are resolved against `baseFolder`.
    static ReportDefinition parse(const QByteArray& text, const QString& origin,
                                  const QString& baseFolder);
    // Reads and parses a definition file (20504 when missing, 20505 when unreadable).
    static ReportDefinition load(const QString& path);

    const SubreportDefinition* subreport(const QString& name) const;
    SubreportDefinition* subreport(const QString& name);
};
