#pragma once

#include <QAbstractScrollArea>

class ReportDocument;

// Shows the pages of a report one below the other, as sheets of paper on a grey desk, at a
// zoom factor or fitted to the view's width. Only the pages in sight are painted.
class ReportPageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ReportPageView(const ReportDocument* report, QWidget* parent = nullptr);

    // A zoom of 0 fits the page width to the view.
    void setZoom(qreal zoom);
    qreal zoom() const { return zoom_; }
    qreal effectiveZoom() const;
    int currentPage() const; // 0-based: the page at the top of the view
    void showPage(int page);

signals:
    void currentPageChanged(int page);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBars();
    QRect pageRect(int page) const; // in content coordinates

    const ReportDocument* report_;
    qreal zoom_ = 0;
    int lastPage_ = -1;
};
