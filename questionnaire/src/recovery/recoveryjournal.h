#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>

// The crash-recovery file: the one answer edit that has not been stored yet, kept next to
// the database so that a crash or a kill loses at most the last second of typing.
//
// One file, "0002.recovery" in the program's folder, written whole through a temporary
// file and a rename (never half written), readable by the owner only. It is a file of its
// own: the database is never opened for it, and the report, which reads only stored
// answers, never sees it.
struct RecoveryEntry {
    int step = 0;           // the 1-based step the edit belongs to
    QVariant answerKey;     // the AnswerID of that step's answer row
    QString questionNumber; // the step's question number, as shown
    QByteArray rtf;         // the edit, as the answer box would store it
    QDateTime savedAt;      // when it was journalled (UTC)
    qint64 processId = 0;   // the program that wrote it
};

class RecoveryJournal {
public:
    explicit RecoveryJournal(const QString& programFolder);

    static QString fileName() { return QStringLiteral("0002.recovery"); }
    QString path() const { return m_path; }
    bool exists() const;

    // Replaces the file's content by `entry`. False, with the reason, when it cannot.
    bool write(const RecoveryEntry& entry, QString* error = nullptr) const;
    // The entry in the file; none when there is no file, or (with the reason) when it is
    // not a recovery file this program can read.
    std::optional<RecoveryEntry> read(QString* error = nullptr) const;
    // Removes the file; true when it is gone (or was never there).
    bool remove() const;

private:
    QString m_path;
};
