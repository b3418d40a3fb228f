#pragma once

#include <QList>
#include <QString>

class QAbstractItemModel;

// The sections of the question set in step order, read from the question cursor's rows and
// the answer rows paired with them by position.
struct SectionEntry {
    QString title;     // the section title (Heading)
    int firstStep = 0; // 1-based step that opens the section
    int questions = 0; // its question steps (an overview step asks nothing)
    int answered = 0;  // ... of which have an answer with some text
};

namespace SectionIndex {

// `questions` has the columns "Heading" and "description" (flag "1" = overview step);
// `answers` has "Answer" (RTF). Row k of each belongs to step k+1. A section is a run of
// steps under one title. `pending`, when not null, stands for the answer of step
// `pendingStep` (the edit in the answer box, not yet stored).
QList<SectionEntry> read(const QAbstractItemModel& questions, const QAbstractItemModel& answers,
                         int pendingStep = 0, const QString* pendingText = nullptr);

// Whether an RTF answer holds any text beyond blanks.
bool hasText(const QByteArray& rtf);

} // namespace SectionIndex
