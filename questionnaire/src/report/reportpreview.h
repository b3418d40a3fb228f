#pragma once

#include "reportexporter.h"

#include <QWidget>
#include <memory>

class QAction;
class QComboBox;
class QLabel;
class QToolBar;
class ReportDocument;
class ReportPageView;

// The preview window of a rendered report: the pages, page navigation, zoom, printing and
// (when the engine's preview option asks for it) the envelope button that exports the report
// as Rich Text Format, PDF, OpenDocument Text or HTML. It owns its report and deletes itself
// when closed; it does not block the main window.
class ReportPreview : public QWidget {
    Q_OBJECT
public:
    ReportPreview(std::unique_ptr<ReportDocument> report, bool exportButton,
                  QWidget* parent = nullptr);
    ~ReportPreview() override;

    const ReportDocument& report() const { return *report_; }
    ReportPageView* pageView() const { return view_; }
    QAction* exportAction() const { return exportAction_; }
    QAction* printAction() const { return printAction_; }

    // Exports without asking anything; returns the message shown to the user on failure,
    // empty on success.
    QString exportTo(ReportExporter::Format format, const QString& path);

public slots:
    void exportReport(); // asks for a format and a file
    void printReport();  // asks for a printer

private:
    void exportAs(ReportExporter::Format format);
    void updatePageLabel(int page);
    void zoomStep(int direction);

    std::unique_ptr<ReportDocument> report_;
    ReportPageView* view_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* pageLabel_ = nullptr;
    QComboBox* zoomBox_ = nullptr;
    QAction* exportAction_ = nullptr;
    QAction* printAction_ = nullptr;
};
