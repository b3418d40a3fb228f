#pragma once

#include <QObject>

class QAction;
class QMenu;
class mainForm;

// The "Go" menu beside "&File": the sections with how many of their questions are
// answered, each taking the owner to the section's first step; and Ctrl+Home and Ctrl+End,
// which go to the first and the last step as First and Last do, wherever the focus is
// (in the answer box too, where the keys would otherwise move the caret).
class GoMenu : public QObject {
    Q_OBJECT

public:
    // Adds the menu to the form's menu bar, after the menus already there.
    explicit GoMenu(mainForm* form);

    QMenu* menu() const { return m_menu; }
    QAction* firstStep() const { return m_first; }
    QAction* lastStep() const { return m_last; }

    // Fills the menu with the sections as they stand now (also done each time it opens).
    void refresh();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    mainForm* m_form;
    QMenu* m_menu;
    QAction* m_first;
    QAction* m_last;
};
