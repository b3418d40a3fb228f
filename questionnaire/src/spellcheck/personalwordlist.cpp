#include "personalwordlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

PersonalWordList::PersonalWordList(QString path) : m_path(std::move(path)) {
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    while (!f.atEnd()) {
        const QString word = QString::fromUtf8(f.readLine()).trimmed();
        if (!word.isEmpty() && !m_words.contains(word))
            m_words.append(word);
    }
}

QString PersonalWordList::defaultPath() {
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    // The XDG rule: a relative value is to be ignored.
    if (data.isEmpty() || QDir::isRelativePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/quillmark/personal-words.txt");
}

bool PersonalWordList::add(const QString& word, QString* error) {
    const QString w = word.trimmed();
    if (w.isEmpty() || w.contains(u'\n'))
        return true;
    if (!m_words.contains(w))
        m_words.append(w);
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath())) {
        if (error)
            *error = QStringLiteral("The folder of %1 cannot be made.").arg(m_path);
        return false;
    }
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_path, f.errorString());
        return false;
    }
    for (const QString& known : m_words)
        f.write(known.toUtf8() + '\n');
    if (!f.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_path, f.errorString());
        return false;
    }
    return true;
}
