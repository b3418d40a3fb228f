#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// A zip package in memory (DOCX, ODT) read back with libzip, independently of the writer
// that made it. A package libzip cannot open reads as no entries.
namespace ZipReader {

using Entries = QList<QPair<QString, QByteArray>>;

// Every entry, by name, in the package's order.
Entries unzip(const QByteArray& package);

// The first entry called `name`; empty when there is none.
QByteArray entry(const Entries& entries, const QString& name);
QByteArray unzipEntry(const QByteArray& package, const QString& name);

} // namespace ZipReader
