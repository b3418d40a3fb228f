#include "gomenu.h"

#include "sectionindex.h"
#include "stephost.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTextDocument>
#include <QTextEdit>

GoMenu::GoMenu(StepHost* host) : QObject(host->hostWindow()), m_host(host) {
    QMainWindow* form = host->hostWindow();
    m_menu = form->menuBar()->addMenu(QStringLiteral("&Go"));
    // Keys that no text box uses: Ctrl+Home and Ctrl+End belong to the caret in the box.
    m_first = new QAction(QStringLiteral("First step"), this);
    m_first->setShortcut(QKeySequence(FirstStepKey));
    m_last = new QAction(QStringLiteral("Last step"), this);
    m_last->setShortcut(QKeySequence(LastStepKey));
    for (QAction* a : {m_first, m_last}) {
        a->setShortcutContext(Qt::WindowShortcut);
        form->addAction(a);
    }
    // As the buttons: a disabled First or Last does nothing.
    connect(m_first, &QAction::triggered, form, [host] { host->goToFirstStep(); });
    connect(m_last, &QAction::triggered, form, [host] { host->goToLastStep(); });
    connect(m_menu, &QMenu::aboutToShow, this, &GoMenu::refresh);
    refresh();
}

void GoMenu::refresh() {
    m_menu->clear();
    const QAbstractItemModel* questions = m_host->questionRows();
    const QAbstractItemModel* answers = m_host->answerRows();
    if (questions && answers) {
        // The edit in the box counts as the owner sees it.
        const QTextEdit* box = m_host->answerBox();
        const QString pending = box->toPlainText();
        const bool edited = box->document()->isModified() && !box->isHidden();
        const QList<SectionEntry> sections = SectionIndex::read(
            *questions, *answers, m_host->currentStep(), edited ? &pending : nullptr);
        for (qsizetype i = 0; i < sections.size(); ++i) {
            const SectionEntry& s = sections[i];
            QString number = QString::number(i + 1);
            number.insert(number.size() - 1, u'&'); // 1..9 by their digit, 10.. by the last
            // A figure space is as wide as a digit: the titles of 1..9 line up with 10's.
            if (sections.size() >= 10 && i + 1 < 10)
                number.prepend(QChar(0x2007));
            QString title = s.title;
            title.replace(u'&', QLatin1String("&&"));
            const QString caption = QStringLiteral("%1  %2\t%3 of %4 answered")
                                        .arg(number, title)
                                        .arg(s.answered)
                                        .arg(s.questions);
            const int step = s.firstStep;
            connect(m_menu->addAction(caption), &QAction::triggered, m_host->hostWindow(),
                    [host = m_host, step] { host->goToStep(step); });
        }
    }
    m_menu->addSeparator();
    m_menu->addAction(m_first);
    m_menu->addAction(m_last);
}
