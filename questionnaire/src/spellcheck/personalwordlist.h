#pragma once

#include <QString>
#include <QStringList>

// The owner's own words ("Add to dictionary"): one word per line in UTF-8, kept per user
// in the XDG data folder, $XDG_DATA_HOME/quillmark/personal-words.txt (by default under
// ~/.local/share), and shared by every dictionary. The file is rewritten whole through a
// temporary file, so a crash never leaves it half written.
class PersonalWordList {
public:
    // Reads the list from `path` (missing = empty).
    explicit PersonalWordList(QString path = defaultPath());

    static QString defaultPath();

    QString path() const { return m_path; }
    QStringList words() const { return m_words; }
    bool contains(const QString& word) const { return m_words.contains(word); }

    // Adds a word and writes the list. False, with the reason in `error`, when the file
    // cannot be written; the word is still known for this session.
    bool add(const QString& word, QString* error = nullptr);

private:
    QString m_path;
    QStringList m_words;
};
