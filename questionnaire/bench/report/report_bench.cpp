// Draft report throughput: the report rendered from 93 stored answers of about 2 KB of rich
// text each, then exported to RTF, PDF, ODT and DOCX, beside LibreOffice (when installed)
// converting that same RTF to PDF and to DOCX headless in the same run. LibreOffice is timed
// as a whole process, so our export is timed as one too: this program run again with
// --export-once renders from the database and writes one file. Figures are reported as
// ratios.

#include "reportdocument.h"
#include "reportengine.h"
#include "reportexporter.h"
#include "reportfixture.h"
#include "rtfwriter.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

#include <benchmark/benchmark.h>

#include <cstring>
#include <map>

namespace {

struct Setup {
    QTemporaryDir dir;
    QString database;
    std::unique_ptr<ReportEngine> engine;
    std::unique_ptr<ReportDocument> report;
    QString rtfPath;
    QString soffice;
};

Setup* setup = nullptr;

// About 2 KB of RTF: paragraphs with bold and italic runs and a short bulleted list.
QString answerRtf(int step) {
    QTextDocument doc;
    QTextCursor c(&doc);
    QTextCharFormat plain;
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    QTextCharFormat italic;
    italic.setFontItalic(true);
    c.insertText(QStringLiteral("Answer to step %1. ").arg(step), bold);
    c.insertText(QStringLiteral("We sell fresh bread and pastries to cafes, offices and families "
                                "in the old town, delivered before eight every morning. "),
                 plain);
    c.insertText(QStringLiteral("Our customers value reliability above price. "), italic);
    c.insertBlock();
    c.insertText(QStringLiteral("Over the next two years we plan to add a second oven and a "
                                "third van, and to open a small shop front at the bakery."),
                 plain);
    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    c.insertList(bullets);
    c.insertText(QStringLiteral("Wholesale to twelve cafes"), plain);
    c.insertBlock();
    c.insertText(QStringLiteral("Weekly orders from four offices"), plain);
    c.insertBlock();
    c.insertText(QStringLiteral("Market stall on Saturdays"), bold);
    QByteArray rtf = quill::rtf::RtfWriter::write(doc);
    // Pad with more plain prose to the intended size.
    const QString filler = QStringLiteral(" Seasonal demand rises before the holidays.");
    QTextCursor end(&doc);
    end.movePosition(QTextCursor::End);
    end.insertBlock(QTextBlockFormat(), plain);
    while (rtf.size() < 2048) {
        end.insertText(filler, plain);
        rtf = quill::rtf::RtfWriter::write(doc);
    }
    return QString::fromLatin1(rtf);
}

bool prepare() {
    setup = new Setup;
    setup->database = ReportFixture::makeDatabase(setup->dir.path());
    if (setup->database.isEmpty())
        return false;
    for (int step = 1; step <= 93; ++step)
        ReportFixture::setAnswer(setup->database, step, answerRtf(step));
    ReportFixture::exec(setup->database,
                        QStringLiteral("UPDATE projections SET ProductOrService = 'Loaves', "
                                       "Customers = 10, ItemsSold = 400, SalesAmount = 1000 "
                                       "WHERE ID <= 12"));
    setup->engine = std::make_unique<ReportEngine>();
    ReportEngine& e = *setup->engine;
    e.setDataFile(0, setup->database);
    e.setReportFileName(ReportFixture::shippedDefinition());
    for (int16_t i = 0; i < e.subreportCount(); ++i) {
        e.setSubreportToChange(e.subreportName(i));
        e.setDataFile(0, setup->database);
    }
    setup->report = e.render();
    setup->rtfPath = setup->dir.filePath(QStringLiteral("draft.rtf"));
    if (!ReportExporter::write(*setup->report, ReportExporter::Format::Rtf, setup->rtfPath)
             .isEmpty())
        return false;
    setup->soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    return true;
}

void BM_Render(benchmark::State& state) {
    for (auto _ : state) {
        auto report = setup->engine->render();
        benchmark::DoNotOptimize(report->pageCount());
    }
    state.counters["pages"] = setup->report->pageCount();
}

void BM_ExportRtf(benchmark::State& state) {
    const QString path = setup->dir.filePath(QStringLiteral("bench.rtf"));
    for (auto _ : state)
        ReportExporter::write(*setup->report, ReportExporter::Format::Rtf, path);
}

void BM_ExportOdt(benchmark::State& state) {
    const QString path = setup->dir.filePath(QStringLiteral("bench.odt"));
    for (auto _ : state)
        ReportExporter::write(*setup->report, ReportExporter::Format::Odt, path);
}

void BM_ExportDocx(benchmark::State& state) {
    const QString path = setup->dir.filePath(QStringLiteral("bench.docx"));
    for (auto _ : state)
        ReportExporter::write(*setup->report, ReportExporter::Format::Docx, path);
}

// This program started again to render from the database and write one file, whole.
void ourProcess(benchmark::State& state, const char* format) {
    const QString out = setup->dir.filePath(QStringLiteral("process.") + QLatin1String(format));
    for (auto _ : state) {
        QProcess p;
        p.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--export-once"), QLatin1String(format), setup->database, out});
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            state.SkipWithError("the export process failed");
    }
}
void BM_OurProcessToPdf(benchmark::State& state) {
    ourProcess(state, "pdf");
}
void BM_OurProcessToDocx(benchmark::State& state) {
    ourProcess(state, "docx");
}

void BM_ExportPdf(benchmark::State& state) {
    const QString path = setup->dir.filePath(QStringLiteral("bench.pdf"));
    for (auto _ : state)
        ReportExporter::write(*setup->report, ReportExporter::Format::Pdf, path);
}

// Render from the database and write both files: what a user waits for end to end.
void BM_RenderAndExportBoth(benchmark::State& state) {
    const QString rtf = setup->dir.filePath(QStringLiteral("both.rtf"));
    const QString pdf = setup->dir.filePath(QStringLiteral("both.pdf"));
    for (auto _ : state) {
        auto report = setup->engine->render();
        ReportExporter::write(*report, ReportExporter::Format::Rtf, rtf);
        ReportExporter::write(*report, ReportExporter::Format::Pdf, pdf);
    }
}

// The baseline: LibreOffice Writer converting the exported RTF to PDF or DOCX (process
// start included, with a warmed-up profile), as a user would do by hand.
void libreOffice(benchmark::State& state, const char* format) {
    if (setup->soffice.isEmpty()) {
        state.SkipWithError("soffice is not installed; no LibreOffice figure");
        return;
    }
    const QString profile =
        QUrl::fromLocalFile(setup->dir.filePath(QStringLiteral("lo"))).toString();
    const QString out = setup->dir.filePath(QStringLiteral("lo-out"));
    auto convert = [&] {
        QProcess p;
        p.start(setup->soffice,
                {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                 QStringLiteral("--convert-to"), QLatin1String(format), QStringLiteral("--outdir"),
                 out, setup->rtfPath});
        return p.waitForFinished(120000) && p.exitCode() == 0 &&
               QFile::exists(out + QStringLiteral("/draft.") + QLatin1String(format));
    };
    if (!convert()) { // first start builds the profile: not timed
        state.SkipWithError("LibreOffice could not convert the RTF");
        return;
    }
    for (auto _ : state)
        if (!convert())
            state.SkipWithError("LibreOffice failed during the run");
}
void BM_LibreOfficeRtfToPdf(benchmark::State& state) {
    libreOffice(state, "pdf");
}
void BM_LibreOfficeRtfToDocx(benchmark::State& state) {
    libreOffice(state, "docx");
}

BENCHMARK(BM_Render)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportRtf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportPdf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportOdt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportDocx)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OurProcessToPdf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_OurProcessToDocx)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_RenderAndExportBoth)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibreOfficeRtfToPdf)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LibreOfficeRtfToDocx)->Unit(benchmark::kMillisecond)->Iterations(3);

// Prints the runs as usual and, at the end, each figure as a ratio against the baselines.
// A figure is a benchmark's median when repetitions gave one, else its mean, else the mean
// of its runs, in seconds whatever unit it was printed in: never a spread (stddev, cv) and
// never whichever aggregate came last, so the ratios agree with the printed numbers under
// any flags (repetitions, aggregates only, time unit, filters).
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred)
                continue;
            const double seconds =
                r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit);
            Figure& f = figures_[r.run_name.function_name];
            if (r.run_type == Run::RT_Aggregate) {
                if (r.aggregate_name == "median")
                    f.median = seconds;
                else if (r.aggregate_name == "mean")
                    f.mean = seconds;
            } else {
                f.sum += seconds;
                ++f.runs;
            }
        }
        for (const auto& [name, f] : figures_)
            times[name] = f.seconds();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double both = times["BM_RenderAndExportBoth"];
        const double lo = times["BM_LibreOfficeRtfToPdf"];
        std::printf("\nratios (same run)\n");
        if (both > 0 && times["BM_Render"] > 0)
            std::printf("  render share of render+RTF+PDF:        %.2f\n",
                        times["BM_Render"] / both);
        const double rtf = times["BM_ExportRtf"];
        if (rtf > 0)
            std::printf("  PDF / ODT / DOCX export against RTF export: %.2f / %.2f / %.2f\n",
                        times["BM_ExportPdf"] / rtf, times["BM_ExportOdt"] / rtf,
                        times["BM_ExportDocx"] / rtf);
        if (lo > 0 && both > 0) {
            std::printf("  LibreOffice RTF->PDF / our render+RTF+PDF: %.1fx\n", lo / both);
            if (times["BM_ExportPdf"] > 0)
                std::printf("  LibreOffice RTF->PDF / our PDF export:     %.1fx\n",
                            lo / times["BM_ExportPdf"]);
            const double ourPdf = times["BM_OurProcessToPdf"];
            const double ourDocx = times["BM_OurProcessToDocx"];
            const double loDocx = times["BM_LibreOfficeRtfToDocx"];
            if (ourPdf > 0)
                std::printf("  processes: LibreOffice RTF->PDF / ours DB->PDF:   %.1fx\n",
                            lo / ourPdf);
            if (ourDocx > 0 && loDocx > 0)
                std::printf("  processes: LibreOffice RTF->DOCX / ours DB->DOCX: %.1fx\n",
                            loDocx / ourDocx);
        } else {
            std::printf("  LibreOffice figure skipped (soffice missing or failed)\n");
        }
    }
    std::map<std::string, double> times;

private:
    struct Figure {
        double median = -1;
        double mean = -1;
        double sum = 0;
        int runs = 0;
        double seconds() const {
            return median >= 0 ? median : mean >= 0 ? mean : runs > 0 ? sum / runs : 0;
        }
    };
    std::map<std::string, Figure> figures_;
};

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // One export as a process of its own: render from the database, write one file.
    if (argc == 5 && std::strcmp(argv[1], "--export-once") == 0) {
        ReportEngine e;
        const QString database = QString::fromLocal8Bit(argv[3]);
        e.setDataFile(0, database);
        e.setReportFileName(ReportFixture::shippedDefinition());
        for (int16_t i = 0; i < e.subreportCount(); ++i) {
            e.setSubreportToChange(e.subreportName(i));
            e.setDataFile(0, database);
        }
        const auto report = e.render();
        ReportExporter::Format format = ReportExporter::Format::Pdf;
        for (const auto& f : ReportExporter::formats())
            if (f.suffix == QLatin1String(argv[2]))
                format = f.format;
        return ReportExporter::write(*report, format, QString::fromLocal8Bit(argv[4])).isEmpty()
                   ? 0
                   : 1;
    }
    benchmark::Initialize(&argc, argv);
    if (!prepare()) {
        std::fprintf(stderr, "report_bench: the fixture could not be prepared\n");
        return 1;
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    delete setup;
    return 0;
}
