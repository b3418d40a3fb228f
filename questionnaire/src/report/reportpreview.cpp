#include "reportpreview.h"

#include "reportdocument.h"
#include "reportpageview.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPrintDialog>
#include <QPrinter>
#include <QStandardPaths>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kProgramTitle = QStringLiteral("Quillmark");

// The two toolbar pictures no icon theme can be relied on for, drawn at 24 x 24.
QIcon envelopeIcon() {
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x80, 0x40, 0x00), 1.5));
    p.setBrush(QColor(0xFF, 0xF4, 0xE0));
    const QRectF body(2.5, 5.5, 19, 13);
    p.drawRect(body);
    QPainterPath flap;
    flap.moveTo(body.topLeft());
    flap.lineTo(body.center().x(), body.center().y() + 1.5);
    flap.lineTo(body.topRight());
    p.drawPath(flap);
    return QIcon(pm);
}

QIcon printerIcon() {
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.2));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 2.5, 11, 7)); // paper going in
    p.setBrush(QColor(0xB0, 0xB0, 0xB0));
    p.drawRoundedRect(QRectF(2.5, 9.5, 19, 8), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 14.5, 11, 7)); // printed sheet
    return QIcon(pm);
}

const QList<int> kZoomSteps = {25, 50, 75, 100, 125, 150, 200, 300};

} // namespace

ReportPreview::ReportPreview(std::unique_ptr<ReportDocument> report, bool exportButton,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), report_(std::move(report)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(report_->title() + QStringLiteral(" - Preview"));

    toolBar_ = new QToolBar(this);
    toolBar_->setIconSize(QSize(20, 20));
    view_ = new ReportPageView(report_.get(), this);

    printAction_ =
        toolBar_->addAction(printerIcon(), tr("Print"), this, &ReportPreview::printReport);
    printAction_->setShortcut(QKeySequence::Print);
    exportAction_ =
        toolBar_->addAction(envelopeIcon(), tr("Export"), this, &ReportPreview::exportReport);
    exportAction_->setToolTip(tr("Export the report (Rich Text Format, PDF, DOCX, ODT, HTML)"));
    exportAction_->setVisible(exportButton);
    toolBar_->addSeparator();

    QStyle* st = style();
    QAction* first = toolBar_->addAction(st->standardIcon(QStyle::SP_MediaSkipBackward),
                                         tr("First page"), this, [this] { view_->showPage(0); });
    first->setShortcut(Qt::Key_Home);
    toolBar_->addAction(st->standardIcon(QStyle::SP_MediaSeekBackward), tr("Previous page"), this,
                        [this] { view_->showPage(view_->currentPage() - 1); });
    pageLabel_ = new QLabel(this);
    pageLabel_->setContentsMargins(6, 0, 6, 0);
    toolBar_->addWidget(pageLabel_);
    toolBar_->addAction(st->standardIcon(QStyle::SP_MediaSeekForward), tr("Next page"), this,
                        [this] { view_->showPage(view_->currentPage() + 1); });
    QAction* last =
        toolBar_->addAction(st->standardIcon(QStyle::SP_MediaSkipForward), tr("Last page"), this,
                            [this] { view_->showPage(report_->pageCount() - 1); });
    last->setShortcut(Qt::Key_End);
    toolBar_->addSeparator();

    toolBar_->addAction(tr("-"), this, [this] { zoomStep(-1); })->setToolTip(tr("Zoom out"));
    zoomBox_ = new QComboBox(this);
    zoomBox_->addItem(tr("Page width"), 0);
    for (int z : kZoomSteps)
        zoomBox_->addItem(QStringLiteral("%1%").arg(z), z);
    toolBar_->addWidget(zoomBox_);
    toolBar_->addAction(tr("+"), this, [this] { zoomStep(+1); })->setToolTip(tr("Zoom in"));
    connect(zoomBox_, &QComboBox::currentIndexChanged, this,
            [this](int i) { view_->setZoom(zoomBox_->itemData(i).toInt() / 100.0); });
    toolBar_->addSeparator();
    QAction* close = toolBar_->addAction(st->standardIcon(QStyle::SP_DialogCloseButton),
                                         tr("Close"), this, &QWidget::close);
    // A preview is left as a dialog is: by Escape, or the platform's close-document key.
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)});
    close->setToolTip(tr("Close (Esc)"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolBar_);
    layout->addWidget(view_, 1);

    connect(view_, &ReportPageView::currentPageChanged, this, &ReportPreview::updatePageLabel);
    updatePageLabel(0);
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::updatePageLabel(int page) {
    pageLabel_->setText(tr("Page %1 of %2").arg(page + 1).arg(report_->pageCount()));
}

void ReportPreview::zoomStep(int direction) {
    const int current = qRound(view_->effectiveZoom() * 100);
    int target = direction > 0 ? kZoomSteps.back() : kZoomSteps.front();
    if (direction > 0) {
        for (int z : kZoomSteps)
            if (z > current) {
                target = z;
                break;
            }
    } else {
        for (auto it = kZoomSteps.rbegin(); it != kZoomSteps.rend(); ++it)
            if (*it < current) {
                target = *it;
                break;
            }
    }
    zoomBox_->setCurrentIndex(zoomBox_->findData(target));
}

QString ReportPreview::exportTo(ReportExporter::Format format, const QString& path) {
    return ReportExporter::write(*report_, format, path);
}

void ReportPreview::exportReport() {
    QMenu menu(this);
    for (const ReportExporter::FormatInfo& f : ReportExporter::formats()) {
        const ReportExporter::Format format = f.format;
        menu.addAction(f.label, this, [this, format] { exportAs(format); });
    }
    QWidget* button = toolBar_->widgetForAction(exportAction_);
    menu.exec(button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos());
}

void ReportPreview::exportAs(ReportExporter::Format format) {
    const ReportExporter::FormatInfo& f = ReportExporter::info(format);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    const QString suggested = folder + QStringLiteral("/DraftBusinessReport.") + f.suffix;
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export the report as %1").arg(f.label), suggested,
                                     QStringLiteral("%1 (*.%2)").arg(f.label, f.suffix));
    if (path.isEmpty())
        return;
    // "plan" typed in the dialog is saved as "plan.rtf", as the chosen format says.
    const QString error = exportTo(format, ReportExporter::withSuffix(path, format));
    if (!error.isEmpty())
        QMessageBox::warning(this, kProgramTitle, error);
}

void ReportPreview::printReport() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(report_->title());
    printer.setFromTo(1, report_->pageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setMinMax(1, report_->pageCount());
    if (dialog.exec() != QDialog::Accepted)
        return;
    printer.setFullPage(true);
    const int from = printer.fromPage() > 0 ? printer.fromPage() - 1 : -1;
    const int to = printer.toPage() > 0 ? printer.toPage() - 1 : -1;
    if (!report_->print(&printer, from, to))
        QMessageBox::warning(this, kProgramTitle,
                             tr("The report could not be sent to the printer."));
}
