#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A zip archive built in memory, for the office formats (DOCX, ODT), which are zip packages
// of XML parts. Entries keep the order they are added in; an entry can be stored without
// compression where a format asks for it (an ODT's "mimetype" must come first, stored).
class ZipPackage {
public:
    void add(const QString& name, const QByteArray& data, bool compress = true);
    // The archive's bytes; empty, with the reason in *error, when it cannot be built.
    QByteArray finish(QString* error) const;

private:
    struct Entry {
        QString name;
        QByteArray data;
        bool compress;
    };
    QList<Entry> entries_;
};
