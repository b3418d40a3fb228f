#include "reportexporter.h"

#include "docxwriter.h"
#include "htmlwriter.h"
#include "odtwriter.h"
#include "reportdocument.h"
#include "rtfwriter.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTextDocument>

#include <cerrno>

namespace ReportExporter {

ExportPage exportPage(const ReportDocument& report) {
    ExportPage page;
    const QSizeF points = QPageSize(report.pageSizeId()).size(QPageSize::Point);
    page.paperWidth = qRound(points.width() * 20);
    page.paperHeight = qRound(points.height() * 20);
    page.margin = qRound(report.marginMm() / 25.4 * 1440);
    page.footer = report.footerTemplate();
    page.footer.replace(QLatin1String("{title}"), report.title());
    page.footerOnFirstPage = false; // the title page carries none, as in the preview
    page.title = report.title();
    page.pixelsPerTwip = ReportDocument::kLayoutDpi / 1440.0;
    return page;
}

const QList<FormatInfo>& formats() {
    static const QList<FormatInfo> list = {
        {Format::Rtf, QStringLiteral("Rich Text Format"), QStringLiteral("rtf")},
        {Format::Pdf, QStringLiteral("Portable Document Format (PDF)"), QStringLiteral("pdf")},
        {Format::Docx, QStringLiteral("Word document (DOCX)"), QStringLiteral("docx")},
        {Format::Odt, QStringLiteral("OpenDocument Text"), QStringLiteral("odt")},
        {Format::Html, QStringLiteral("Web page (HTML)"), QStringLiteral("html")},
    };
    return list;
}

QString withSuffix(const QString& path, Format format) {
    const QFileInfo file(path);
    if (path.isEmpty() || !file.suffix().isEmpty() || path.endsWith(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + info(format).suffix;
}

const FormatInfo& info(Format format) {
    for (const FormatInfo& f : formats())
        if (f.format == format)
            return f;
    return formats().front();
}

QString write(const ReportDocument& report, Format format, const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    auto failure = [&](const QString& why) {
        return QStringLiteral("The report could not be exported to %1: %2").arg(shown, why);
    };
    if (QFileInfo(path).isDir())
        return failure(QStringLiteral("that is a folder."));

    // The document is produced in memory first (some writers close the device they are
    // given), then written to a temporary file beside the target and renamed into place.
    QByteArray bytes;
    bool produced = true;
    switch (format) {
    case Format::Rtf:
        bytes = quill::rtf::RtfWriter::write(*report.textDocument(), exportPage(report));
        break;
    case Format::Docx: {
        QString why;
        bytes = DocxWriter::write(*report.textDocument(), exportPage(report), &why);
        if (bytes.isEmpty())
            return failure(why + QLatin1Char('.'));
        break;
    }
    case Format::Html:
        bytes = HtmlWriter::write(*report.textDocument());
        break;
    case Format::Odt: {
        QString why;
        bytes = OdtWriter::write(*report.textDocument(), exportPage(report), &why);
        if (bytes.isEmpty())
            return failure(why + QLatin1Char('.'));
        break;
    }
    case Format::Pdf: {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buffer);
        pdf.setTitle(report.title());
        pdf.setCreator(QStringLiteral("Quillmark"));
        pdf.setResolution(300);
        produced = report.print(&pdf);
        break;
    }
    }
    if (!produced || bytes.isEmpty())
        return failure(QStringLiteral("the document could not be produced."));

    QSaveFile file(path);
    // A write that fails for want of space often comes back with no reason given at all
    // ("Unknown error"): the owner is told the disk is full, and the old file stays.
    const auto reason = [&]() -> QString {
        const int code = errno;
        const QStorageInfo storage(QFileInfo(path).absolutePath());
        if (code == ENOSPC || file.error() == QFileDevice::ResourceError ||
            (storage.isValid() && storage.bytesAvailable() < bytes.size()))
            return QStringLiteral("the disk is full.");
        return file.errorString() + QLatin1Char('.');
    };
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return failure(reason());
    errno = 0;
    if (file.write(bytes) != bytes.size()) {
        const QString why = reason();
        file.cancelWriting();
        return failure(why);
    }
    errno = 0;
    if (!file.commit())
        return failure(reason());
    return {};
}

} // namespace ReportExporter
