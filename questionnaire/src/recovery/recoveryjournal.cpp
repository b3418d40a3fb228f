#include "recoveryjournal.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

const QLatin1String Format("quillmark recovery 1");
// Far above any answer; a larger file is not ours and is not read into memory.
constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

} // namespace

RecoveryJournal::RecoveryJournal(const QString& programFolder)
    : m_path(programFolder + u'/' + fileName()) {}

bool RecoveryJournal::exists() const {
    return QFileInfo::exists(m_path);
}

bool RecoveryJournal::write(const RecoveryEntry& entry, QString* error) const {
    QJsonObject o;
    o.insert(QStringLiteral("format"), Format);
    o.insert(QStringLiteral("step"), entry.step);
    o.insert(QStringLiteral("answerId"), QJsonValue::fromVariant(entry.answerKey));
    o.insert(QStringLiteral("questionNumber"), entry.questionNumber);
    o.insert(QStringLiteral("savedAt"), entry.savedAt.toUTC().toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("pid"), entry.processId);
    // Base64: the bytes come back exactly as they went in, whatever the answer holds.
    o.insert(QStringLiteral("rtf"), QString::fromLatin1(entry.rtf.toBase64()));

    QSaveFile f(m_path);
    // Unsaved text is the owner's own: nobody else on the machine reads it.
    if (!f.open(QIODevice::WriteOnly) ||
        !f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        f.write(QJsonDocument(o).toJson(QJsonDocument::Compact)) < 0 || !f.commit()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_path, f.errorString());
        f.cancelWriting();
        return false;
    }
    return true;
}

std::optional<RecoveryEntry> RecoveryJournal::read(QString* error) const {
    QFile f(m_path);
    if (!f.exists())
        return std::nullopt;
    auto refuse = [&](const QString& why) -> std::optional<RecoveryEntry> {
        if (error)
            *error = QStringLiteral("%1: %2").arg(m_path, why);
        return std::nullopt;
    };
    if (!f.open(QIODevice::ReadOnly))
        return refuse(f.errorString());
    if (f.size() > MaxFileSize)
        return refuse(QStringLiteral("too large for a recovery file"));
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &parse);
    const QJsonObject o = doc.object();
    if (parse.error != QJsonParseError::NoError || o.value(QStringLiteral("format")) != Format)
        return refuse(QStringLiteral("not a recovery file"));
    RecoveryEntry e;
    e.step = o.value(QStringLiteral("step")).toInt();
    e.answerKey = o.value(QStringLiteral("answerId")).toVariant();
    e.questionNumber = o.value(QStringLiteral("questionNumber")).toString();
    e.savedAt =
        QDateTime::fromString(o.value(QStringLiteral("savedAt")).toString(), Qt::ISODateWithMs);
    e.processId = o.value(QStringLiteral("pid")).toInteger();
    const QString rtf = o.value(QStringLiteral("rtf")).toString();
    auto decoded =
        QByteArray::fromBase64Encoding(rtf.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (e.step < 1 || !decoded)
        return refuse(QStringLiteral("damaged"));
    e.rtf = *decoded;
    return e;
}

bool RecoveryJournal::remove() const {
    return !QFileInfo::exists(m_path) || QFile::remove(m_path);
}
