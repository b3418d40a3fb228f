// RTF throughput for representative rich answers of about 20 KB and 1 MB of RTF:
// RtfWriter::write and RtfReader::read beside QTextDocument::toHtml and setHtml of
// the same document, in the same run. Bytes per second count each format's own
// bytes; compare times per document for the ratio against Qt's HTML.
#include "rtfreader.h"
#include "rtfwriter.h"

#include <QGuiApplication>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

using quill::rtf::RtfReader;
using quill::rtf::RtfWriter;

// One section of a business-plan answer: a heading, formatted prose, a bulleted
// and a numbered list, and a small table of figures.
void appendSection(QTextCursor& c, int n) {
    QTextCharFormat heading;
    heading.setFontWeight(QFont::Bold);
    heading.setFontPointSize(14);
    QTextBlockFormat headingBlock;
    headingBlock.setTopMargin(12);
    headingBlock.setHeadingLevel(2);
    c.insertBlock(headingBlock, heading);
    c.insertText(QStringLiteral("Section %1: market and customers").arg(n), heading);

    QTextCharFormat plain, bold, italic, coloured, mono;
    bold.setFontWeight(QFont::Bold);
    italic.setFontItalic(true);
    coloured.setForeground(QColor(0x1f, 0x4e, 0x79));
    coloured.setFontUnderline(true);
    mono.setFontFamilies({QStringLiteral("DejaVu Sans Mono")});
    QTextBlockFormat body;
    body.setBottomMargin(6);
    body.setAlignment(Qt::AlignJustify);
    for (int p = 0; p < 3; ++p) {
        c.insertBlock(body, plain);
        c.insertText(QStringLiteral("Our customers are small cafés and bakeries in the old town; "),
                     plain);
        c.insertText(QStringLiteral("most of them"), bold);
        c.insertText(QStringLiteral(" buy twice a week and pay within "), plain);
        c.insertText(QStringLiteral("thirty days"), italic);
        c.insertText(QStringLiteral(". Prices start at €12 — see "), plain);
        c.insertText(QStringLiteral("the price list"), coloured);
        c.insertText(QStringLiteral(" and order code "), plain);
        c.insertText(QStringLiteral("QM-%1").arg(n * 10 + p), mono);
        c.insertText(QStringLiteral(". Competitors charge more for less, “and they know it”."),
                     plain);
    }

    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    c.insertBlock(QTextBlockFormat(), plain);
    QTextList* list = c.createList(bullets);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            c.insertBlock();
            list->add(c.block());
        }
        c.insertText(QStringLiteral("Advantage %1: local delivery before 7 am").arg(i + 1));
    }
    QTextListFormat numbers;
    numbers.setStyle(QTextListFormat::ListDecimal);
    c.insertBlock(QTextBlockFormat(), plain);
    list = c.createList(numbers);
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            c.insertBlock();
            list->add(c.block());
        }
        c.insertText(QStringLiteral("Step %1 of the launch plan").arg(i + 1));
    }

    c.insertBlock(QTextBlockFormat(), plain);
    QTextTableFormat tableFormat;
    tableFormat.setBorder(1);
    tableFormat.setCellPadding(3);
    QTextTable* table = c.insertTable(4, 3, tableFormat);
    const char* header[] = {"Year", "Revenue", "Costs"};
    for (int col = 0; col < 3; ++col)
        table->cellAt(0, col).firstCursorPosition().insertText(header[col], bold);
    for (int r = 1; r < 4; ++r) {
        table->cellAt(r, 0).firstCursorPosition().insertText(QString::number(2023 + r));
        table->cellAt(r, 1).firstCursorPosition().insertText(QString::number(100000 * r));
        table->cellAt(r, 2).firstCursorPosition().insertText(QString::number(70000 * r));
    }
    c.setPosition(table->lastPosition() + 1);
}

// A document whose RTF is at least targetBytes long, built once per size.
QTextDocument& document(int64_t targetBytes) {
    static std::map<int64_t, std::unique_ptr<QTextDocument>> documents;
    auto& doc = documents[targetBytes];
    if (!doc) {
        doc = std::make_unique<QTextDocument>();
        QTextCursor c(doc.get());
        int n = 0;
        // Sections are ~2.5 KB of RTF each; check the size now and then.
        while (true) {
            for (int i = 0; i < 4; ++i)
                appendSection(c, ++n);
            if (RtfWriter::write(*doc).size() >= targetBytes)
                break;
        }
    }
    return *doc;
}

void BM_RtfWrite(benchmark::State& state) {
    QTextDocument& doc = document(state.range(0));
    int64_t bytes = 0;
    for (auto _ : state) {
        const QByteArray rtf = RtfWriter::write(doc);
        bytes = rtf.size();
        benchmark::DoNotOptimize(rtf.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["doc_bytes"] = static_cast<double>(bytes);
}

void BM_RtfRead(benchmark::State& state) {
    const QByteArray rtf = RtfWriter::write(document(state.range(0)));
    for (auto _ : state) {
        QTextDocument doc;
        RtfReader::read(rtf, &doc);
        benchmark::DoNotOptimize(doc.characterCount());
    }
    state.SetBytesProcessed(state.iterations() * rtf.size());
    state.counters["doc_bytes"] = static_cast<double>(rtf.size());
}

void BM_HtmlWrite(benchmark::State& state) {
    QTextDocument& doc = document(state.range(0));
    int64_t bytes = 0;
    for (auto _ : state) {
        const QString html = doc.toHtml();
        bytes = html.size();
        benchmark::DoNotOptimize(html.constData());
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["doc_bytes"] = static_cast<double>(bytes);
}

void BM_HtmlRead(benchmark::State& state) {
    const QString html = document(state.range(0)).toHtml();
    for (auto _ : state) {
        QTextDocument doc;
        doc.setHtml(html);
        benchmark::DoNotOptimize(doc.characterCount());
    }
    state.SetBytesProcessed(state.iterations() * html.size());
    state.counters["doc_bytes"] = static_cast<double>(html.size());
}

constexpr int64_t small = 20 * 1024;
constexpr int64_t large = 1024 * 1024;

BENCHMARK(BM_RtfWrite)->Arg(small)->Arg(large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlWrite)->Arg(small)->Arg(large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RtfRead)->Arg(small)->Arg(large)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtmlRead)->Arg(small)->Arg(large)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    // Text layout needs a GUI application; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
