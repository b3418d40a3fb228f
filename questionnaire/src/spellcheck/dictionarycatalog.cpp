#include "dictionarycatalog.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace DictionaryCatalog {
namespace {

// "en-GB.UTF-8@euro" -> "en_GB".
QString normalised(QString name) {
    for (const QChar cut : {u'.', u'@'}) {
        const qsizetype at = name.indexOf(cut);
        if (at >= 0)
            name.truncate(at);
    }
    name.replace(u'-', u'_');
    return name;
}

QString language(const QString& name) {
    return name.section(u'_', 0, 0);
}

} // namespace

QStringList searchFolders() {
    QStringList folders;
    const QString dicpath = qEnvironmentVariable("DICPATH");
    for (const QString& f : dicpath.split(u':', Qt::SkipEmptyParts))
        folders.append(f);
    folders << QStringLiteral("/usr/share/hunspell") << QStringLiteral("/usr/local/share/hunspell")
            << QStringLiteral("/usr/share/myspell") << QStringLiteral("/usr/share/myspell/dicts");
    return folders;
}

QList<Dictionary> installed(const QStringList& folders) {
    QList<Dictionary> found;
    QSet<QString> names;
    for (const QString& folder : folders) {
        const QDir dir(folder);
        const QFileInfoList affixes =
            dir.entryInfoList({QStringLiteral("*.aff")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo& aff : affixes) {
            const QString name = aff.completeBaseName();
            const QFileInfo dic(dir.filePath(name + QStringLiteral(".dic")));
            // A name such as "hyph_en_US" belongs to another tool; a dictionary is a locale.
            if (!dic.isFile() || !dic.isReadable() || names.contains(name) ||
                name.startsWith(u"hyph"))
                continue;
            names.insert(name);
            found.append({name, aff.absoluteFilePath(), dic.absoluteFilePath()});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const Dictionary& a, const Dictionary& b) { return a.name < b.name; });
    return found;
}

std::optional<Dictionary> forLocale(const QList<Dictionary>& dictionaries,
                                    const QString& localeName) {
    const QString wanted = normalised(localeName);
    auto find = [&](auto&& match) -> std::optional<Dictionary> {
        const auto it = std::find_if(dictionaries.cbegin(), dictionaries.cend(), match);
        if (it == dictionaries.cend())
            return std::nullopt;
        return *it;
    };
    if (auto d = find(
            [&](const Dictionary& d) { return d.name.compare(wanted, Qt::CaseInsensitive) == 0; }))
        return d;
    const QString lang = language(wanted);
    if (!lang.isEmpty() && lang != QLatin1String("C") && lang != QLatin1String("POSIX")) {
        if (auto d = find([&](const Dictionary& d) {
                return language(d.name).compare(lang, Qt::CaseInsensitive) == 0;
            }))
            return d;
    }
    return find([](const Dictionary& d) { return d.name == QLatin1String("en_US"); });
}

} // namespace DictionaryCatalog
