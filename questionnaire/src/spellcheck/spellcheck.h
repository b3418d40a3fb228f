#pragma once

#include "dictionarycatalog.h"
#include "personalwordlist.h"
#include "spellhighlighter.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointer>

#include <memory>

class QMenu;
class QTextEdit;
class QThread;
class SpellDictionary;

// Spell-checking of a rich-text box as the owner types: misspelt words underlined, and on
// the context menu the suggestions for the word under the mouse, "Add to dictionary" and
// the choice among the installed dictionaries. Checking only draws; the text changes only
// when the owner picks a suggestion, which is an edit like any other.
class SpellCheck : public QObject {
    Q_OBJECT

public:
    // Attaches to `box` (which owns this object). No dictionary is loaded yet: see load().
    explicit SpellCheck(QTextEdit* box, PersonalWordList words = PersonalWordList());
    ~SpellCheck() override;

    // Loads the dictionary of a locale name ("en_GB.UTF-8"), falling back to en_US; does
    // nothing when one is in use already. False when no dictionary could be loaded.
    bool load(const QString& localeName);
    // As load(), but the dictionary is read on a worker thread and checking starts when it
    // is ready, so a window being shown never waits for it. A load() or useDictionary()
    // meanwhile takes precedence; a dictionary read too late is dropped.
    void loadInBackground(const QString& localeName);
    // Switches to an installed dictionary by name. False, with the reason, when it fails;
    // the dictionary in use stays.
    bool useDictionary(const QString& name, QString* error = nullptr);

    QString dictionaryName() const;
    QList<DictionaryCatalog::Dictionary> dictionaries() const { return m_installed; }
    SpellHighlighter* highlighter() const { return m_highlighter; }
    const PersonalWordList& personalWords() const { return m_words; }

    // The misspelt word at a point of the box's viewport: its document position and text;
    // an empty text when the point is not on a misspelt word.
    struct Word {
        int position = -1;
        QString text;
    };
    Word misspeltWordAt(const QPoint& viewportPos) const;
    // Accepts a word from now on and keeps it in the personal list.
    void addToDictionary(const QString& word);
    // Replaces the word at `position` (as misspeltWordAt gave it) by `replacement`.
    void replaceWord(const Word& word, const QString& replacement);

    // The context menu for a point of the viewport: the spelling entries above the box's
    // own. The caller owns it.
    QMenu* createContextMenu(const QPoint& viewportPos);

signals:
    // A context menu for the box has been made and is about to be shown: others may add
    // their commands to it.
    void contextMenuBuilt(QMenu* menu);
    // Something the owner should know: the personal list could not be written, no
    // dictionary is installed.
    void problem(const QString& message);

private:
    void showContextMenu(const QPoint& viewportPos);
    void install(std::unique_ptr<SpellDictionary> loaded);
    // Waits for a background load still running and installs what it read.
    void finishBackgroundLoad();

    struct Pending;

    QTextEdit* m_box;
    QPointer<SpellHighlighter> m_highlighter;
    PersonalWordList m_words;
    QList<DictionaryCatalog::Dictionary> m_installed;
    std::unique_ptr<SpellDictionary> m_dictionary;
    QThread* m_loader = nullptr;
    std::shared_ptr<Pending> m_pending;
};
