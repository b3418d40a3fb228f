#include "benchsupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <algorithm>
#include <cstdio>

namespace {

void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& msg) {
    if (type != QtDebugMsg && !msg.contains(QLatin1String("propagateSizeHints")))
        std::fprintf(stderr, "%s\n", qPrintable(msg));
}

} // namespace

void prepareWindowBench() {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietHandler);
}

bool copyShippedDatabase(const QTemporaryDir& folder) {
    if (QFile::copy(QStringLiteral(QUILLMARK_SHIPPED_DB), folder.filePath("0002.mdb")))
        return true;
    std::fprintf(stderr, "cannot copy the shipped database\n");
    return false;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}
