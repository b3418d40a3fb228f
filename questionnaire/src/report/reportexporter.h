#pragma once

#include "exportpage.h"

#include <QList>
#include <QString>

class ReportDocument;

// Writes a rendered report to a file in one of the formats the preview offers. Rich Text
// Format is the one meant for further editing in a word processor.
//
// A file is written completely or not at all: a failed export leaves no partial file behind
// and an existing file of that name as it was.
namespace ReportExporter {

enum class Format { Rtf, Pdf, Docx, Odt, Html };

struct FormatInfo {
    Format format;
    QString label;  // as the export menu shows it
    QString suffix; // without the dot
};

const QList<FormatInfo>& formats();
// The name with the format's extension added when it has none ("plan" -> "plan.docx").
QString withSuffix(const QString& path, Format format);
const FormatInfo& info(Format format);

// The page a report's word-processor files are written for: its paper, margins and footer.
ExportPage exportPage(const ReportDocument& report);

// Returns an empty string on success, otherwise a message for the user that names the file
// and the reason.
QString write(const ReportDocument& report, Format format, const QString& path);

} // namespace ReportExporter
