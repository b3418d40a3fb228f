#include "spelldictionary.h"

#include <QFile>

#include <algorithm>

#include <hunspell.hxx>

namespace {

// The checker sees the typographic apostrophe as the plain one, as the dictionaries do.
QString plainApostrophes(QString word) {
    return word.replace(u'\u2019', u'\'');
}

} // namespace

std::unique_ptr<SpellDictionary> SpellDictionary::load(const DictionaryCatalog::Dictionary& files,
                                                       QString* error) {
    // Hunspell reads whatever it can and says nothing when a file is missing: look first.
    for (const QString& path : {files.affPath, files.dicPath}) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("%1: %2").arg(path, f.errorString());
            return nullptr;
        }
    }
    std::unique_ptr<SpellDictionary> d(new SpellDictionary);
    d->m_name = files.name;
    d->m_hunspell = std::make_unique<Hunspell>(QFile::encodeName(files.affPath).constData(),
                                               QFile::encodeName(files.dicPath).constData());
    const QString encoding =
        QString::fromStdString(d->m_hunspell->get_dict_encoding()).toUpper().remove(u'-');
    d->m_utf8 = !encoding.startsWith(QLatin1String("ISO8859"));
    return d;
}

SpellDictionary::~SpellDictionary() = default;

std::string SpellDictionary::encode(const QString& word) const {
    return m_utf8 ? word.toStdString() : word.toLatin1().toStdString();
}

QString SpellDictionary::decode(const std::string& bytes) const {
    return m_utf8 ? QString::fromStdString(bytes) : QString::fromLatin1(bytes);
}

bool SpellDictionary::isCorrect(const QString& word) {
    const auto known = m_known.constFind(word);
    if (known != m_known.cend())
        return *known;
    const QString plain = plainApostrophes(word);
    // A Latin-1 dictionary cannot hold a word outside Latin-1: call it unknown.
    bool correct = false;
    if (m_utf8 ||
        std::all_of(plain.cbegin(), plain.cend(), [](QChar c) { return c.unicode() < 256; }))
        correct = m_hunspell->spell(encode(plain));
    // Bounded: a long session of pasted text must not grow the cache without end.
    if (m_known.size() > 200000)
        m_known.clear();
    m_known.insert(word, correct);
    return correct;
}

QStringList SpellDictionary::suggestions(const QString& word, int max) {
    QStringList out;
    for (const std::string& s : m_hunspell->suggest(encode(plainApostrophes(word)))) {
        if (out.size() >= max)
            break;
        out.append(decode(s));
    }
    return out;
}

void SpellDictionary::addWord(const QString& word) {
    m_hunspell->add(encode(plainApostrophes(word)));
    m_known.insert(word, true);
    m_known.insert(plainApostrophes(word), true);
}
