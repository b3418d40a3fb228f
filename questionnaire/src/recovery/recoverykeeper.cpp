#include "recoverykeeper.h"

#include "answermodel.h"
#include "rtfreader.h"
#include "stephost.h"

#include <QCoreApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QMetaProperty>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <signal.h>
#endif

namespace {

const AnswerModel* answers(const StepHost& host) {
    return qobject_cast<const AnswerModel*>(host.answerRows());
}

// Whether the program that wrote an entry is still running (another copy on the same
// folder): its edit is not left over from a crash.
bool stillRunning(qint64 pid) {
#ifdef Q_OS_UNIX
    if (pid <= 0 || pid == QCoreApplication::applicationPid())
        return false;
    return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
#else
    Q_UNUSED(pid);
    return false;
#endif
}

QString preview(const QByteArray& rtf) {
    QTextDocument doc;
    QString text =
        quill::rtf::RtfReader::read(rtf, &doc) ? doc.toPlainText() : QString::fromUtf8(rtf);
    text = text.simplified();
    if (text.size() > 300)
        text = text.left(300) + QStringLiteral("...");
    return text;
}

} // namespace

RecoveryKeeper::RecoveryKeeper(StepHost* host)
    : QObject(host->hostWindow()), m_host(host), m_journal(host->programFolder()) {
    m_pause.setSingleShot(true);
    m_pause.setInterval(PauseMs);
    connect(&m_pause, &QTimer::timeout, this, &RecoveryKeeper::journalNow);
    QTextDocument* doc = host->answerBox()->document();
    connect(doc, &QTextDocument::contentsChanged, this, &RecoveryKeeper::contentsChanged);
    connect(doc, &QTextDocument::modificationChanged, this, &RecoveryKeeper::modificationChanged);
}

bool RecoveryKeeper::editPending() const {
    const QTextEdit* box = m_host->answerBox();
    return box->document()->isModified() && !box->isHidden() && !box->isReadOnly() &&
           m_host->answerRowShown() && answers(*m_host);
}

void RecoveryKeeper::contentsChanged() {
    // Each change restarts the wait, so the file is written once typing pauses.
    if (m_host->answerBox()->document()->isModified())
        m_pause.start();
}

void RecoveryKeeper::modificationChanged(bool modified) {
    if (modified) {
        // Also an edit put back into the box after a store failed.
        m_pause.start();
        return;
    }
    // Stored, undone, or a new step shown after storing: nothing is pending any more. A
    // store that fails puts the edit back, unmodified for a moment on the way; so look
    // again once the handler that stored has finished.
    m_pause.stop();
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_host->answerBox()->document()->isModified())
                removeOurs();
        },
        Qt::QueuedConnection);
}

void RecoveryKeeper::removeOurs() {
    if (m_written && m_journal.remove())
        m_written = false;
}

void RecoveryKeeper::journalNow() {
    m_pause.stop();
    if (!editPending()) {
        removeOurs();
        return;
    }
    RecoveryEntry e;
    const QTextEdit* box = m_host->answerBox();
    e.step = m_host->answerRow() + 1;
    e.answerKey = answers(*m_host)->key(m_host->answerRow());
    e.questionNumber = m_host->questionNumber();
    e.rtf = box->property(box->metaObject()->userProperty().name()).toByteArray();
    e.savedAt = QDateTime::currentDateTimeUtc();
    e.processId = QCoreApplication::applicationPid();
    QString error;
    if (m_journal.write(e, &error)) {
        m_written = true;
        return;
    }
    if (!m_warned) {
        m_warned = true;
        emit problem(QStringLiteral("Your unsaved text cannot be kept safe from a crash: ") +
                     error);
    }
}

void RecoveryKeeper::offerRestore() {
    QString error;
    const std::optional<RecoveryEntry> entry = m_journal.read(&error);
    if (!entry) {
        if (!error.isEmpty())
            emit problem(QStringLiteral("A recovery file was found but cannot be read: ") + error);
        return;
    }
    if (stillRunning(entry->processId))
        return;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Quillmark"),
                    QStringLiteral("Quillmark did not end normally last time. Text you typed "
                                   "at step %1 was not stored:\n\n%2\n\nRestore it into the "
                                   "answer box of that step, or discard it?")
                        .arg(entry->step)
                        .arg(preview(entry->rtf)),
                    QMessageBox::NoButton, m_host->hostWindow());
    QPushButton* restoreButton = box.addButton(QStringLiteral("Restore"), QMessageBox::AcceptRole);
    QPushButton* discardButton =
        box.addButton(QStringLiteral("Discard"), QMessageBox::DestructiveRole);
    box.setDefaultButton(restoreButton);
    box.exec();
    if (box.clickedButton() == discardButton) {
        m_journal.remove();
        return;
    }
    // Closed without an answer: the file stays, and the question comes back next time.
    if (box.clickedButton() != restoreButton)
        return;
    if (!restore(*entry)) {
        QMessageBox::warning(m_host->hostWindow(), QStringLiteral("Quillmark"),
                             QStringLiteral("The step of the unsaved text is no longer in the "
                                            "database as it was, so the text cannot be put "
                                            "back. The recovery file stays as it is: %1")
                                 .arg(m_journal.path()));
    }
}

bool RecoveryKeeper::restore(const RecoveryEntry& entry) {
    const AnswerModel* model = answers(*m_host);
    const int row = entry.step - 1;
    if (!model || row < 0 || row >= model->rowCount() || row >= m_host->stepCount() ||
        (entry.answerKey.isValid() && model->key(row) != entry.answerKey))
        return false;
    if (!m_host->goToStep(entry.step))
        return false;
    QTextEdit* box = m_host->answerBox();
    if (box->isHidden() || box->isReadOnly())
        return false;
    // The text comes back as a pending edit, stored when the owner leaves the step; until
    // then the file stays, so a second crash loses nothing either.
    box->setProperty(box->metaObject()->userProperty().name(), entry.rtf);
    box->document()->setModified(true);
    m_written = true;
    QTextCursor end = box->textCursor();
    end.movePosition(QTextCursor::End);
    box->setTextCursor(end);
    return true;
}

void RecoveryKeeper::programEnds() {
    m_pause.stop();
    if (editPending()) {
        // Not stored (the store failed and the owner left anyway): keep it for next time.
        journalNow();
        return;
    }
    removeOurs();
}
