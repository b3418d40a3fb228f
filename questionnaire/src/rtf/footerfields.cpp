#include "footerfields.h"

namespace quill::rtf {

void splitFooterFields(const QString& footer, const std::function<void(QStringView)>& text,
                       const std::function<void(FooterField)>& field) {
    static const QString page = QStringLiteral("{page}");
    static const QString pages = QStringLiteral("{pages}");
    qsizetype from = 0;
    while (from < footer.size()) {
        const qsizetype atPage = footer.indexOf(page, from);
        const qsizetype atPages = footer.indexOf(pages, from);
        qsizetype at = atPage;
        if (at < 0 || (atPages >= 0 && atPages < at))
            at = atPages;
        text(QStringView(footer).mid(from, at < 0 ? -1 : at - from));
        if (at < 0)
            break;
        const bool isPages = at == atPages;
        field(isPages ? FooterField::PageCount : FooterField::PageNumber);
        from = at + (isPages ? pages.size() : page.size());
    }
}

QTextCharFormat footerCharFormat(double points, bool italic, const QColor& colour) {
    QTextCharFormat format;
    format.setFontPointSize(points);
    format.setFontItalic(italic);
    if (colour.isValid())
        format.setForeground(colour);
    return format;
}

} // namespace quill::rtf
