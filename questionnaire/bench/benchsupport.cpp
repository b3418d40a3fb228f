#include "benchsupport.h"
#include "mainform.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdio>

namespace {

void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (type != QtDebugMsg && !msg.contains(QLatin1String("propagateSizeHints")))
        std::fprintf(stderr, "%s\n", qPrintable(msg));
}

} // namespace

int runWindowBenchmarks(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    std::printf("platform %s; ratio = time / baseline_s, both over the same iterations\n",
                qPrintable(QGuiApplication::platformName()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

bool copyShippedDatabase(const QTemporaryDir& folder) {
    if (QFile::copy(QStringLiteral(QUILLMARK_SHIPPED_DB), folder.filePath("0002.mdb")))
        return true;
    std::fprintf(stderr, "cannot copy the shipped database\n");
    return false;
}

std::unique_ptr<mainForm> loadedForm(benchmark::State& state, const QTemporaryDir& folder,
                                     const std::function<bool()>& prepare) {
    if (!copyShippedDatabase(folder)) {
        state.SkipWithError("cannot copy the database");
        return nullptr;
    }
    if (prepare && !prepare()) {
        state.SkipWithError("cannot prepare the copy of the database");
        return nullptr;
    }
    auto form = std::make_unique<mainForm>(folder.path());
    if (!form->Form_Load()) {
        state.SkipWithError(qPrintable(form->loadError()));
        return nullptr;
    }
    return form;
}

void PairedTimer::own(double seconds) {
    m_own += seconds;
    m_state.SetIterationTime(seconds);
}

PairedTimer::~PairedTimer() {
    m_state.counters["baseline_s"] =
        benchmark::Counter(m_baseline, benchmark::Counter::kAvgIterations);
    m_state.counters["ratio"] = m_baseline > 0 ? m_own / m_baseline : 0.0;
}
