// libFuzzer target for the RTF reader: any bytes must read without a crash, a
// leak or undefined behaviour, and whatever was read must survive the writer:
// its output reads back to the same text.
//
// Build and run (about a minute, as CI does):
//   cmake --preset fuzz && cmake --build --preset fuzz
//   mkdir -p build/fuzz/corpus && build/fuzz/questionnaire/src/rtf/fuzz/rtf_reader_fuzzer \
//       -max_total_time=60 -dict=questionnaire/fuzz/rtf.dict build/fuzz/corpus \
//       questionnaire/fuzz/corpus/rtf
#include "rtfreader.h"
#include "rtfwriter.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QTextDocument>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Qt's text layout needs a GUI application; libFuzzer's own arguments are not
    // Qt's business, so it gets none of them.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "rtf_reader_fuzzer";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTextDocument doc;
    if (!quill::rtf::RtfReader::read(input, &doc))
        return 0;

    const QByteArray written = quill::rtf::RtfWriter::write(doc);
    QTextDocument again;
    if (!quill::rtf::RtfReader::read(written, &again)) {
        std::fprintf(stderr, "the writer's output is not RTF\n");
        std::abort();
    }
    if (again.toPlainText() != doc.toPlainText()) {
        std::fprintf(stderr, "text changed in a round trip:\n%s\n---\n%s\n",
                     qPrintable(doc.toPlainText()), qPrintable(again.toPlainText()));
        std::abort();
    }
    return 0;
}
