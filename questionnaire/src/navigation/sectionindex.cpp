#include "sectionindex.h"

#include "rtfreader.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QPair>
#include <QTextDocument>

namespace SectionIndex {
namespace {

int column(const QAbstractItemModel& model, const QString& name) {
    for (int c = 0; c < model.columnCount(); ++c)
        if (model.headerData(c, Qt::Horizontal).toString().compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

} // namespace

bool hasText(const QByteArray& rtf) {
    if (rtf.trimmed().isEmpty())
        return false;
    // The menu asks about every answer each time it opens, and answers rarely change
    // between two looks: remember what each answer gave, by a 64-bit hash and the length.
    static QHash<QPair<size_t, qsizetype>, bool> known;
    const QPair<size_t, qsizetype> key(qHash(rtf), rtf.size());
    if (const auto it = known.constFind(key); it != known.cend())
        return *it;
    QTextDocument doc;
    const bool text = quill::rtf::RtfReader::read(rtf, &doc)
                          ? !doc.toPlainText().trimmed().isEmpty()
                          : !QString::fromUtf8(rtf).trimmed().isEmpty(); // shown as plain text
    if (known.size() >= 1024)
        known.clear();
    known.insert(key, text);
    return text;
}

QList<SectionEntry> read(const QAbstractItemModel& questions, const QAbstractItemModel& answers,
                         int pendingStep, const QString* pendingText) {
    QList<SectionEntry> sections;
    const int heading = column(questions, QStringLiteral("Heading"));
    const int kind = column(questions, QStringLiteral("description"));
    const int answer = column(answers, QStringLiteral("Answer"));
    if (heading < 0 || kind < 0)
        return sections;
    for (int row = 0; row < questions.rowCount(); ++row) {
        const QString title = questions.index(row, heading).data().toString();
        if (sections.isEmpty() || sections.last().title != title)
            sections.append({title, row + 1, 0, 0});
        if (questions.index(row, kind).data().toString() == QLatin1String("1"))
            continue;
        SectionEntry& s = sections.last();
        ++s.questions;
        bool filled = false;
        if (pendingText && row + 1 == pendingStep)
            filled = !pendingText->trimmed().isEmpty();
        else if (answer >= 0 && row < answers.rowCount())
            filled = hasText(answers.index(row, answer).data().toByteArray());
        if (filled)
            ++s.answered;
    }
    return sections;
}

} // namespace SectionIndex
