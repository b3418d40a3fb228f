#pragma once

#include "recoveryjournal.h"

#include <QObject>
#include <QTimer>

class StepHost;

// Keeps the answer box's pending edit in the recovery file while it is not stored.
//
// The answer is still stored only when the owner leaves the step. Beside that, a second
// after typing pauses the pending edit goes into the recovery file; when the edit stops
// being pending (it was stored, or undone), the file goes as soon as the handler that
// stored it has returned. At a normal end the file goes
// too, unless an edit could not be stored: then it stays for the next start. On the next
// start after a crash the owner is offered the text back ("Restore" puts it into the box
// of its step as a pending edit; "Discard" removes the file).
class RecoveryKeeper : public QObject {
    Q_OBJECT

public:
    static constexpr int PauseMs = 1000;

    explicit RecoveryKeeper(StepHost* host);

    const RecoveryJournal& journal() const { return m_journal; }

    // How long typing must pause before the edit is journalled: PauseMs unless changed
    // (tests lengthen it so that it cannot end while they look). The time left of a pause
    // now running, or -1 when none is.
    void setPauseMs(int ms) { m_pause.setInterval(ms); }
    int pauseRemainingMs() const { return m_pause.remainingTime(); }

    // Journals the pending edit now (what the pause timer does); removes the file when
    // there is no pending edit.
    void journalNow();

    // At start, once the window is shown: offers to restore an edit that an earlier run
    // left behind. Does nothing when there is none.
    void offerRestore();
    // Goes to the entry's step and puts its text in the box as a pending edit. False, with
    // nothing changed, when the step is no longer in the database as it was.
    bool restore(const RecoveryEntry& entry);

    // The program ends normally.
    void programEnds();

signals:
    // The recovery file cannot be written or read: the owner should know.
    void problem(const QString& message);

private:
    void contentsChanged();
    void modificationChanged(bool modified);
    // Whether the box holds an edit of an answer row that a store would write.
    bool editPending() const;
    void removeOurs();

    StepHost* m_host;
    RecoveryJournal m_journal;
    QTimer m_pause;
    bool m_written = false; // the file holds an edit of this run
    bool m_warned = false;
};
