#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The hunspell dictionaries installed on the machine, and the one that suits a locale.
namespace DictionaryCatalog {

struct Dictionary {
    QString name;    // "en_US": the file names without .aff and .dic
    QString affPath; // the affix file
    QString dicPath; // the word file
};

// Where dictionaries are looked for, in order: the folders of $DICPATH (colon-separated,
// hunspell's own variable), then the system's hunspell and myspell folders.
QStringList searchFolders();

// Every NAME.aff that has a NAME.dic beside it in `folders`, sorted by name; a name found
// in an earlier folder hides the same name further on.
QList<Dictionary> installed(const QStringList& folders = searchFolders());

// The dictionary for a locale name such as "en_GB", "en_GB.UTF-8", "de-DE" or "C": the one
// of that language and country, else the first of that language, else "en_US", else none.
std::optional<Dictionary> forLocale(const QList<Dictionary>& dictionaries,
                                    const QString& localeName);

} // namespace DictionaryCatalog
