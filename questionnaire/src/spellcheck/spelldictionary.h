#pragma once

#include "dictionarycatalog.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>

class Hunspell;

// One loaded hunspell dictionary. Answers are cached per word, because the same words come
// back on every keystroke in the paragraph being typed; words added at run time (the
// personal list) are known to every later check.
class SpellDictionary {
public:
    // Loads a dictionary; null, with the reason in `error`, when its files cannot be read.
    static std::unique_ptr<SpellDictionary> load(const DictionaryCatalog::Dictionary& files,
                                                 QString* error = nullptr);
    ~SpellDictionary();

    QString name() const { return m_name; }

    // Whether a word (as WordScanner finds it) is spelt correctly.
    bool isCorrect(const QString& word);
    // Up to `max` replacements for a misspelt word, the likeliest first.
    QStringList suggestions(const QString& word, int max = 8);
    // Accepts a word from now on, for as long as the dictionary is loaded.
    void addWord(const QString& word);

private:
    SpellDictionary() = default;
    std::string encode(const QString& word) const;
    QString decode(const std::string& bytes) const;

    QString m_name;
    std::unique_ptr<Hunspell> m_hunspell;
    bool m_utf8 = true; // else the dictionary is in Latin-1
    QHash<QString, bool> m_known;
};
