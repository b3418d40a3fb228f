#include "reportengine.h"

#include "reportdatabase.h"
#include "reportdocument.h"
#include "reporterror.h"
#include "reportpreview.h"
#include "reportrenderer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProgressDialog>
#include <QScreen>

#include <limits>

namespace {
constexpr int kMaxWindowSide = 16000;
}

ReportEngine::ReportEngine(QObject* parent) : QObject(parent) {}

ReportEngine::~ReportEngine() {
    for (const QPointer<ReportPreview>& p : previews_)
        delete p.data();
}

const ReportDefinition& ReportEngine::definition() const {
    if (!definition_)
        throw ReportError(ReportError::NoReportFile,
                          QStringLiteral("No report file has been set."));
    return *definition_;
}

void ReportEngine::setDataFile(int16_t index, const QString& path) {
    if (index != 0)
        throw ReportError(
            ReportError::BadDataFileIndex,
            QStringLiteral("Data file %1 does not exist; a report reads data file 0.").arg(index));
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (selected_.isEmpty()) {
        ReportDatabase::check(absolute);
        mainDataFile_ = absolute;
        return;
    }
    const SubreportDefinition* sub = definition().subreport(selected_);
    // The setting is kept even when the figures cannot be reached, so that the rest of the
    // report renders and the subreport says why its figures are missing.
    subreportDataFiles_.insert(selected_.toLower(), absolute);
    QString why;
    try {
        ReportDatabase db(absolute);
        if (!db.hasTable(sub->table))
            why = QStringLiteral("the table '%1' is not in %2")
                      .arg(sub->table, QFileInfo(absolute).fileName());
    } catch (const ReportError& e) {
        why = e.message();
    }
    if (!why.isEmpty())
        throw ReportError(ReportError::SubreportDataUnavailable,
                          QStringLiteral("The figures of subreport '%1' cannot be read (%2); the "
                                         "report is printed without them.")
                              .arg(sub->name, why));
}

void ReportEngine::setReportFileName(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    ReportDefinition loaded = ReportDefinition::load(absolute);
    definition_ = std::move(loaded);
    reportFile_ = absolute;
    subreportDataFiles_.clear();
    selected_.clear();
}

int16_t ReportEngine::subreportCount() const {
    return int16_t(std::min<qsizetype>(definition().subreports.size(), INT16_MAX));
}

QString ReportEngine::subreportName(int16_t index) const {
    const ReportDefinition& def = definition();
    if (index < 0 || index >= def.subreports.size())
        throw ReportError(ReportError::BadSubreportIndex,
                          QStringLiteral("There is no subreport number %1; the report has %2.")
                              .arg(index)
                              .arg(def.subreports.size()));
    return def.subreports[index].name;
}

void ReportEngine::setSubreportToChange(const QString& name) {
    if (name.isEmpty()) {
        selected_.clear();
        return;
    }
    const SubreportDefinition* sub = definition().subreport(name);
    if (!sub)
        throw ReportError(ReportError::NoSuchSubreport,
                          QStringLiteral("The report has no subreport named '%1'.").arg(name));
    selected_ = sub->name;
}

void ReportEngine::setDestination(int16_t destination) {
    if (destination != ToPreviewWindow)
        throw ReportError(ReportError::BadSetting,
                          QStringLiteral("Destination %1 is not supported; 0 shows the preview "
                                         "window.")
                              .arg(destination));
    destination_ = destination;
}

void ReportEngine::setWindowWidth(int width) {
    if (width < 1 || width > kMaxWindowSide)
        throw ReportError(
            ReportError::BadSetting,
            QStringLiteral("A preview window %1 pixels wide cannot be shown.").arg(width));
    windowSize_.setWidth(width);
}

void ReportEngine::setWindowHeight(int height) {
    if (height < 1 || height > kMaxWindowSide)
        throw ReportError(
            ReportError::BadSetting,
            QStringLiteral("A preview window %1 pixels high cannot be shown.").arg(height));
    windowSize_.setHeight(height);
}

ReportDefinition ReportEngine::effectiveDefinition() const {
    ReportDefinition def = definition();
    if (!mainDataFile_.isEmpty())
        def.dataFile = mainDataFile_;
    for (SubreportDefinition& sub : def.subreports) {
        const QString set = subreportDataFiles_.value(sub.name.toLower());
        if (!set.isEmpty())
            sub.dataFile = set;
    }
    return def;
}

std::unique_ptr<ReportDocument>
ReportEngine::render(const std::function<bool(int, int)>& progress) const {
    const ReportDefinition def = effectiveDefinition();
    return ReportRenderer(def).render(progress);
}

void ReportEngine::setAction(int16_t action) {
    if (action != RunReport)
        throw ReportError(
            ReportError::BadSetting,
            QStringLiteral("Action %1 is not supported; 1 runs the report.").arg(action));
    // The run uses the selection; the next settings are the report's own again, so a
    // subreport's data file is not set (and its missing table not reported) a second time.
    selected_.clear();
    // A long render shows its progress and can be cancelled; the dialog keeps input from
    // the main window meanwhile, so nothing there changes under the report.
    QProgressDialog dialog(QStringLiteral("Preparing the report..."), QStringLiteral("Cancel"), 0,
                           100);
    dialog.setWindowTitle(QStringLiteral("Quillmark"));
    dialog.setWindowModality(Qt::ApplicationModal);
    // Shown here after the delay (half a second), whatever the dialog would estimate.
    dialog.setMinimumDuration(std::numeric_limits<int>::max());
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<ReportDocument> doc = render([&](int done, int total) {
        dialog.setMaximum(std::max(total, 1));
        dialog.setValue(std::min(done, total));
        if (!dialog.isVisible() && clock.elapsed() >= progressDelayMs_)
            dialog.show();
        // Until the dialog shows (and with it, its modality), the user's input waits: the
        // answer box must not change under a render that reads the stored answers.
        QCoreApplication::processEvents(dialog.isVisible() ? QEventLoop::AllEvents
                                                           : QEventLoop::ExcludeUserInputEvents);
        return !dialog.wasCanceled();
    });
    dialog.close();
    if (!doc)
        return; // cancelled: no preview, and nothing else changed
    auto* preview = new ReportPreview(std::move(doc), exportShown_);
    preview->resize(windowSize_);
    previews_.removeAll(nullptr);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        QPoint at = area.center() - preview->rect().center();
        // A further preview opens down and to the right of the last one, not on top of it.
        if (!previews_.isEmpty() && previews_.last()) {
            at = previews_.last()->pos() + QPoint(32, 32);
            if (at.x() + preview->width() > area.right() ||
                at.y() + preview->height() > area.bottom())
                at = area.topLeft() + QPoint(16, 16);
        }
        preview->move(at);
    }
    preview->show();
    preview->raise();
    preview->activateWindow();
    previews_.removeAll(nullptr);
    previews_.append(preview);
}

QList<ReportPreview*> ReportEngine::previews() const {
    QList<ReportPreview*> open;
    for (const QPointer<ReportPreview>& p : previews_)
        if (p)
            open.append(p.data());
    return open;
}
