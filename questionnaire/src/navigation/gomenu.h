#pragma once

#include <QKeyCombination>
#include <QObject>

class QAction;
class QMenu;
class StepHost;

// The "&Go" menu beside "&File": the sections with how many of their questions are
// answered, each taking the owner to the section's first step; and "First step" and "Last
// step" (Alt+Home, Alt+End), which do what First and Last do, wherever the focus is. The
// editing keys of a text box (Ctrl+Home, Ctrl+End and the rest) stay with the box.
class GoMenu : public QObject {
    Q_OBJECT

public:
    static constexpr QKeyCombination FirstStepKey = Qt::AltModifier | Qt::Key_Home;
    static constexpr QKeyCombination LastStepKey = Qt::AltModifier | Qt::Key_End;

    // Adds the menu to the window's menu bar, after the menus already there.
    explicit GoMenu(StepHost* host);

    QMenu* menu() const { return m_menu; }
    QAction* firstStep() const { return m_first; }
    QAction* lastStep() const { return m_last; }

    // Fills the menu with the sections as they stand now (also done each time it opens).
    void refresh();

private:
    StepHost* m_host;
    QMenu* m_menu;
    QAction* m_first;
    QAction* m_last;
};
