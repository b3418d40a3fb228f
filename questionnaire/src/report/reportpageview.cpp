#include "reportpageview.h"

#include "reportdocument.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {
constexpr int kGap = 16; // space around and between pages, in screen pixels
const QColor kDesk(0x80, 0x80, 0x80);
} // namespace

ReportPageView::ReportPageView(const ReportDocument* report, QWidget* parent)
    : QAbstractScrollArea(parent), report_(report) {
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
    updateScrollBars();
}

void ReportPageView::setZoom(qreal zoom) {
    const int page = currentPage();
    zoom_ = zoom < 0 ? 0 : zoom;
    updateScrollBars();
    showPage(page);
    viewport()->update();
}

qreal ReportPageView::effectiveZoom() const {
    if (zoom_ > 0)
        return zoom_;
    const qreal width = report_->pageSize().width();
    const int available = viewport()->width() - 2 * kGap;
    return std::max<qreal>(0.1, available / width);
}

QRect ReportPageView::pageRect(int page) const {
    const qreal z = effectiveZoom();
    const QSizeF s = report_->pageSize() * z;
    const int w = qRound(s.width());
    const int h = qRound(s.height());
    const int contentWidth = std::max(w + 2 * kGap, viewport()->width());
    return QRect((contentWidth - w) / 2, kGap + page * (h + kGap), w, h);
}

void ReportPageView::updateScrollBars() {
    const int pages = report_->pageCount();
    const QRect last = pageRect(pages - 1);
    const int contentHeight = last.bottom() + kGap;
    const int contentWidth = last.width() + 2 * kGap;
    verticalScrollBar()->setRange(0, std::max(0, contentHeight - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

int ReportPageView::currentPage() const {
    const QRect first = pageRect(0);
    const int stride = first.height() + kGap;
    const int y = verticalScrollBar()->value() + viewport()->height() / 3;
    return std::clamp((y - kGap / 2) / std::max(1, stride), 0, report_->pageCount() - 1);
}

void ReportPageView::showPage(int page) {
    page = std::clamp(page, 0, report_->pageCount() - 1);
    verticalScrollBar()->setValue(pageRect(page).top() - kGap);
    viewport()->update();
}

void ReportPageView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), kDesk);
    const qreal z = effectiveZoom();
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QRect visible = event->rect().translated(offset);
    const int pages = report_->pageCount();
    const int stride = pageRect(0).height() + kGap;
    const int first = std::max(0, (visible.top() - kGap) / std::max(1, stride));
    for (int page = first; page < pages; ++page) {
        const QRect r = pageRect(page);
        if (r.top() > visible.bottom())
            break;
        const QRect onScreen = r.translated(-offset);
        painter.fillRect(onScreen.translated(3, 3), QColor(0x50, 0x50, 0x50));
        painter.fillRect(onScreen, Qt::white);
        painter.save();
        painter.setClipRect(onScreen);
        painter.translate(onScreen.topLeft());
        painter.scale(z, z);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        report_->paintPage(&painter, page);
        painter.restore();
    }
}

void ReportPageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ReportPageView::scrollContentsBy(int, int) {
    viewport()->update();
    const int page = currentPage();
    if (page != lastPage_) {
        lastPage_ = page;
        emit currentPageChanged(page);
    }
}
