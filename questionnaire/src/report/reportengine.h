#pragma once

#include "reportdefinition.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class ReportDocument;
class ReportPreview;

// The report engine the main window drives (`PR1`): it is told a report definition file and
// the data file of the report and of each subreport, then asked to run, which renders the
// report from what the data files hold at that moment and shows it in a preview window.
//
// Every operation either succeeds or throws ReportError and leaves the engine's settings as
// they were (except 20000, after which the setting is kept and the subreport is printed as
// unavailable). Preview windows are independent top-level windows that the user closes; the
// engine closes those still open when it is destroyed.
class ReportEngine : public QObject {
    Q_OBJECT
public:
    enum Destination : int16_t { ToPreviewWindow = 0 };
    enum Action : int16_t { RunReport = 1 };

    explicit ReportEngine(QObject* parent = nullptr);
    ~ReportEngine() override;

    // Data file `index` of the main report, or of the subreport selected by
    // setSubreportToChange. A report reads one data file, index 0.
    void setDataFile(int16_t index, const QString& path);
    // Loads and checks the definition; selects the main report again.
    void setReportFileName(const QString& path);
    QString reportFileName() const { return reportFile_; }
    int16_t subreportCount() const;
    QString subreportName(int16_t index) const;
    // Later data-file settings apply to this subreport; an empty name selects the main report.
    void setSubreportToChange(const QString& name);
    // The preview option: whether the preview window offers the export button.
    void setExportButtonShown(bool shown) { exportShown_ = shown; }
    void setDestination(int16_t destination);
    void setWindowWidth(int width);
    void setWindowHeight(int height);
    // Action 1 renders the report now and shows it at the destination.
    void setAction(int16_t action);

    // Renders the report without showing it.
    // How long a run renders before its progress dialog shows, in milliseconds.
    void setProgressDelay(int ms) { progressDelayMs_ = ms; }

    // Null when `progress` stopped it.
    std::unique_ptr<ReportDocument>
    render(const std::function<bool(int, int)>& progress = {}) const;
    // The preview windows shown by this engine that are still open, oldest first.
    QList<ReportPreview*> previews() const;

private:
    const ReportDefinition& definition() const;
    ReportDefinition effectiveDefinition() const;

    QString reportFile_;
    std::optional<ReportDefinition> definition_;
    QString mainDataFile_;
    QHash<QString, QString> subreportDataFiles_; // by lower-case subreport name
    QString selected_;                           // empty: the main report
    int progressDelayMs_ = 500;
    bool exportShown_ = false;
    int16_t destination_ = ToPreviewWindow;
    QSize windowSize_{640, 480};
    QList<QPointer<ReportPreview>> previews_;
};
