#pragma once

#include <QColor>
#include <QString>

class ReportDocument;

// The page a report is exported for, in the units of word processors' files: paper and
// margins in twips (1/1440 inch), and the footer that the preview paints on every page but
// the title page.
struct ExportPage {
    int paperWidth = 11906; // A4
    int paperHeight = 16838;
    int margin = 1134; // every side
    // Footer text with the report's title filled in; "{page}" and "{pages}" stand for the
    // page number and the page count, which the file leaves to the word processor.
    QString footer;
    bool footerOnFirstPage = false;
    double footerPoints = 8;
    bool footerItalic = true;
    QColor footerColour = QColor(0x60, 0x60, 0x60);
    QString title;
    // Pixels of the document's lengths per twip.
    double pixelsPerTwip = 96.0 / 1440.0;

    static ExportPage of(const ReportDocument& report);
    int textWidth() const { return paperWidth - 2 * margin; }
};
