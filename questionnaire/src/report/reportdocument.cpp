#include "reportdocument.h"

#include <QAbstractTextDocumentLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>

namespace {
constexpr qreal kMmPerInch = 25.4;
}

ReportDocument::ReportDocument(std::unique_ptr<QTextDocument> doc, const QString& title,
                               const QString& footer, QPageSize::PageSizeId page, double marginMm)
    : layoutDevice_(std::make_unique<QImage>(1, 1, QImage::Format_RGB32)), doc_(std::move(doc)),
      title_(title), footer_(footer), page_(page), margin_(marginMm / kMmPerInch * kLayoutDpi) {
    const int dpm = qRound(kLayoutDpi / kMmPerInch * 1000.0);
    layoutDevice_->setDotsPerMeterX(dpm);
    layoutDevice_->setDotsPerMeterY(dpm);
    doc_->documentLayout()->setPaintDevice(layoutDevice_.get());

    QTextFrameFormat root = doc_->rootFrame()->frameFormat();
    root.setMargin(margin_);
    doc_->rootFrame()->setFrameFormat(root);
    const QSizeF mm = QPageSize(page_).size(QPageSize::Millimeter);
    doc_->setPageSize(
        QSizeF(mm.width() / kMmPerInch * kLayoutDpi, mm.height() / kMmPerInch * kLayoutDpi));
}

ReportDocument::~ReportDocument() {
    // The layout refers to the device; drop the document first.
    doc_.reset();
}

double ReportDocument::marginMm() const {
    return margin_ / kLayoutDpi * kMmPerInch;
}

int ReportDocument::pageCount() const {
    return doc_->pageCount();
}

QSizeF ReportDocument::pageSize() const {
    return doc_->pageSize();
}

int ReportDocument::pageOf(int position) const {
    const QTextBlock block = doc_->findBlock(position);
    const QRectF r = doc_->documentLayout()->blockBoundingRect(block);
    return int(r.top() / doc_->pageSize().height());
}

void ReportDocument::paintPage(QPainter* painter, int page) const {
    const QSizeF size = pageSize();
    const QRectF clip(0, page * size.height(), size.width(), size.height());

    painter->save();
    painter->translate(0, -clip.top());
    painter->setClipRect(clip);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = clip;
    context.palette.setColor(QPalette::Text, Qt::black);
    doc_->documentLayout()->draw(painter, context);
    painter->restore();

    // The title page carries no footer.
    if (page == 0 || footer_.isEmpty())
        return;
    QString text = footer_;
    text.replace(QLatin1String("{title}"), title_)
        .replace(QLatin1String("{page}"), QString::number(page + 1))
        .replace(QLatin1String("{pages}"), QString::number(pageCount()));
    painter->save();
    // Sized in layout units: the painter is already scaled to the device.
    QFont font = doc_->defaultFont();
    font.setPixelSize(qRound(8.0 / 72.0 * kLayoutDpi));
    font.setItalic(true);
    painter->setFont(font);
    painter->setPen(QColor(0x60, 0x60, 0x60));
    const QRectF band(margin_, size.height() - margin_ * 0.75, size.width() - 2 * margin_,
                      margin_ * 0.5);
    painter->drawText(band, Qt::AlignHCenter | Qt::AlignVCenter, text);
    painter->restore();
}

bool ReportDocument::print(QPagedPaintDevice* device, int from, int to) const {
    device->setPageSize(QPageSize(page_));
    device->setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(device))
        return false;
    const int count = pageCount();
    from = from < 0 ? 0 : std::min(from, count - 1);
    to = to < 0 ? count - 1 : std::min(to, count - 1);
    const qreal scale = device->logicalDpiX() / kLayoutDpi;
    for (int page = from; page <= to; ++page) {
        if (page > from)
            device->newPage();
        painter.save();
        painter.scale(scale, scale);
        paintPage(&painter, page);
        painter.restore();
    }
    return painter.end();
}
