#pragma once

#include <QImage>
#include <QPageSize>
#include <QSizeF>
#include <QString>
#include <memory>

class QPagedPaintDevice;
class QPainter;
class QTextDocument;

// A rendered report: the text document paginated on its paper size, plus the page furniture
// (footer) that the text document itself cannot carry. The preview, the printer and the PDF
// exporter all paint pages through paintPage(), so what the user previews is what prints.
//
// The document is laid out at a fixed 96 dots per inch whatever the screen, so page breaks do
// not depend on the display the report happens to be rendered on.
class ReportDocument {
public:
    ReportDocument(std::unique_ptr<QTextDocument> doc, const QString& title, const QString& footer,
                   QPageSize::PageSizeId page, double marginMm);
    ~ReportDocument();
    ReportDocument(const ReportDocument&) = delete;
    ReportDocument& operator=(const ReportDocument&) = delete;

    static constexpr qreal kLayoutDpi = 96.0;

    QTextDocument* textDocument() const { return doc_.get(); }
    const QString& title() const { return title_; }
    // The footer as the definition gives it, with {title}, {page} and {pages} unreplaced.
    const QString& footerTemplate() const { return footer_; }
    QPageSize::PageSizeId pageSizeId() const { return page_; }
    int pageCount() const;
    QSizeF pageSize() const;                 // in layout units (pixels at kLayoutDpi)
    qreal margin() const { return margin_; } // in layout units
    double marginMm() const;
    // Page of a document position (0-based), after layout.
    int pageOf(int position) const;

    // Paints page `page` (0-based) with its top-left corner at the painter's origin, in
    // layout units; the caller scales for its device. The background is left to the caller.
    void paintPage(QPainter* painter, int page) const;
    // Prints pages [from, to] (0-based, inclusive; -1 = all) on a paged device such as a PDF
    // writer or a printer, one report page per device page. False when painting could not
    // begin on the device.
    bool print(QPagedPaintDevice* device, int from = -1, int to = -1) const;

private:
    std::unique_ptr<QImage> layoutDevice_;
    std::unique_ptr<QTextDocument> doc_;
    QString title_;
    QString footer_;
    QPageSize::PageSizeId page_;
    qreal margin_;
};
