#pragma once

#include <QColor>
#include <QString>

// The page a document is written for, in the units of word processors' files: paper and
// margins in twips (1/1440 inch), and the footer that the preview paints on every page but
// the title page. The RTF, DOCX and ODT writers all read this one record.
struct ExportPage {
    int paperWidth = 11906; // A4
    int paperHeight = 16838;
    int margin = 1134; // every side
    // Footer text, centred; "{page}" and "{pages}" stand for the page number and the page
    // count, which the file leaves to the word processor. Empty: no footer.
    QString footer;
    // False: the first page (a title page) has no footer.
    bool footerOnFirstPage = false;
    double footerPoints = 8;
    bool footerItalic = true;
    QColor footerColour = QColor(0x60, 0x60, 0x60);
    QString title;
    // Pixels of the document's lengths per twip; 0: those of the screen.
    double pixelsPerTwip = 96.0 / 1440.0;

    int textWidth() const { return paperWidth - 2 * margin; }
    int textHeight() const { return paperHeight - 2 * margin; }
};
