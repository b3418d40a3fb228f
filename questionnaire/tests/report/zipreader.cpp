#include "zipreader.h"

#include <zip.h>

namespace ZipReader {

Entries unzip(const QByteArray& package) {
    Entries entries;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(package.constData(), package.size(), 0, &error);
    zip_t* archive = source ? zip_open_from_source(source, ZIP_RDONLY, &error) : nullptr;
    if (!archive) {
        zip_source_free(source);
        return entries;
    }
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t st;
        zip_stat_index(archive, i, 0, &st);
        QByteArray data(qsizetype(st.size), '\0');
        zip_file_t* f = zip_fopen_index(archive, i, 0);
        if (f) {
            zip_fread(f, data.data(), st.size);
            zip_fclose(f);
        }
        entries.append({QString::fromUtf8(st.name), data});
    }
    zip_close(archive);
    return entries;
}

QByteArray entry(const Entries& entries, const QString& name) {
    for (const auto& [n, data] : entries)
        if (n == name)
            return data;
    return {};
}

QByteArray unzipEntry(const QByteArray& package, const QString& name) {
    return entry(unzip(package), name);
}

} // namespace ZipReader
