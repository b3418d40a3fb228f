#pragma once

#include <QObject>

class QAction;
class QMenu;
class QTextEdit;

// The writing keys of a rich-text box, as word processors have them: bold (Ctrl+B), italic
// (Ctrl+I), underline (Ctrl+U), a bulleted list (Ctrl+Shift+L), a numbered list
// (Ctrl+Shift+N), one list level in or out, or the paragraph's indent without a list
// (Ctrl+M, Ctrl+Shift+M), and clear formatting (Ctrl+\). The keys act while the box has the
// focus; the same commands make the "Format" part of the box's context menu.
//
// With a selection a command formats the selection; without one, bold, italic and underline
// apply to what is typed next, and the list and indent commands to the paragraph at the
// caret. Every command is one step of the box's undo. The box stores whatever formatting its
// document carries, so nothing here knows about storing.
class FormatKeys : public QObject {
    Q_OBJECT

public:
    explicit FormatKeys(QTextEdit* box);

    QAction* bold() const { return m_bold; }
    QAction* italic() const { return m_italic; }
    QAction* underline() const { return m_underline; }
    QAction* bulletedList() const { return m_bullets; }
    QAction* numberedList() const { return m_numbers; }
    QAction* indent() const { return m_indent; }
    QAction* outdent() const { return m_outdent; }
    QAction* clearFormatting() const { return m_clear; }

    // Appends the "&Format" submenu to a context menu of the box.
    void addMenuTo(QMenu* menu) const;

private:
    void setBold(bool on);
    void setItalic(bool on);
    void setUnderline(bool on);
    void toggleList(bool numbered);
    void changeLevel(int delta);
    void clear();
    // Shows the caret's formatting on the checkable commands.
    void showCurrentFormat();

    QTextEdit* m_box;
    QAction* m_bold;
    QAction* m_italic;
    QAction* m_underline;
    QAction* m_bullets;
    QAction* m_numbers;
    QAction* m_indent;
    QAction* m_outdent;
    QAction* m_clear;
};
