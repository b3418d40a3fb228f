#include "zippackage.h"

#include <zip.h>

#include <algorithm>
#include <memory>

namespace {

struct SourceFree {
    void operator()(zip_source_t* s) const { zip_source_free(s); }
};

QString describe(zip_error_t* error) {
    const QString text = QString::fromUtf8(zip_error_strerror(error));
    zip_error_fini(error);
    return text;
}

} // namespace

void ZipPackage::add(const QString& name, const QByteArray& data, bool compress) {
    entries_.append({name, data, compress});
}

QByteArray ZipPackage::finish(QString* error) const {
    zip_error_t ze;
    zip_error_init(&ze);
    // The archive is written into a buffer source that outlives the archive handle.
    std::unique_ptr<zip_source_t, SourceFree> buffer(zip_source_buffer_create(nullptr, 0, 0, &ze));
    if (!buffer) {
        *error = describe(&ze);
        return {};
    }
    zip_t* archive = zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &ze);
    if (!archive) {
        *error = describe(&ze);
        return {};
    }
    zip_source_keep(buffer.get());
    for (const Entry& e : entries_) {
        // The entries' bytes live in this object until zip_close has read them.
        zip_source_t* data =
            zip_source_buffer(archive, e.data.constData(), zip_uint64_t(e.data.size()), 0);
        const zip_int64_t index =
            data ? zip_file_add(archive, e.name.toUtf8().constData(), data, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0) {
            if (data)
                zip_source_free(data);
            *error = QString::fromUtf8(zip_strerror(archive));
            zip_discard(archive);
            return {};
        }
        zip_set_file_compression(archive, zip_uint64_t(index),
                                 e.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0);
        // A fixed time: the same report gives the same file.
        zip_file_set_mtime(archive, zip_uint64_t(index), 315532800 + 86400, 0);
    }
    if (zip_close(archive) < 0) {
        *error = QString::fromUtf8(zip_strerror(archive));
        zip_discard(archive);
        return {};
    }
    QByteArray bytes;
    if (zip_source_open(buffer.get()) < 0) {
        *error = QString::fromUtf8(zip_error_strerror(zip_source_error(buffer.get())));
        return {};
    }
    zip_source_seek(buffer.get(), 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(buffer.get());
    zip_source_seek(buffer.get(), 0, SEEK_SET);
    bytes.resize(qsizetype(std::max<zip_int64_t>(size, 0)));
    const zip_int64_t read =
        zip_source_read(buffer.get(), bytes.data(), zip_uint64_t(bytes.size()));
    zip_source_close(buffer.get());
    if (read != size) {
        *error = QStringLiteral("the archive could not be read back from memory");
        return {};
    }
    return bytes;
}
