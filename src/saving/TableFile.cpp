#include "TableFile.h"

#include "PictureHash.h"
#include "SavingLog.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <zip.h>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace vellmar::saving {

Q_LOGGING_CATEGORY(lcSaving, "vellmar.saving", QtWarningMsg)

namespace {

const char *const documentEntry = "table.json";
const char *const pictureEntry = "picture";
// Larger pictures are not shown anyway (the shared table refuses them too).
constexpr qint64 maxPictureBytes = qint64(256) * 1024 * 1024;

bool failWith(QString *error, const QString &why)
{
    if (error)
        *error = why;
    qCWarning(lcSaving) << "table not written:" << why;
    return false;
}

QString zipError(zip_t *archive) { return QString::fromUtf8(zip_strerror(archive)); }

QString zipError(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    QString text = QString::fromUtf8(zip_error_strerror(&error));
    zip_error_fini(&error);
    return text;
}

bool flushToDisk(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) && ::fsync(file.handle()) == 0;
}

struct ArchiveCloser
{
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
using Archive = std::unique_ptr<zip_t, ArchiveCloser>;

struct EntryCloser
{
    void operator()(zip_file_t *entry) const { zip_fclose(entry); }
};
using Entry = std::unique_ptr<zip_file_t, EntryCloser>;

} // namespace

bool writeTableFile(const TableSnapshot &snapshot, const QString &path, QString *error)
{
    TableContent content = snapshot.content;
    const bool withPicture = content.map && !snapshot.pictureFile.isEmpty();
    if (withPicture) {
        const QByteArray sha256 = pictureSha256(snapshot.pictureFile);
        if (sha256.isEmpty())
            return failWith(error, QStringLiteral("the map picture %1 cannot be read").arg(snapshot.pictureFile));
        content.map->pictureSha256 = sha256;
        content.map->pictureSize = QFileInfo(snapshot.pictureFile).size();
    }
    const bool includePicture = withPicture && !snapshot.linkOnly;
    const QByteArray document = encodeDocument(content, includePicture);

    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    int code = 0;
    zip_t *raw = zip_open(QFile::encodeName(part).constData(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!raw)
        return failWith(error, QStringLiteral("cannot create %1: %2").arg(part, zipError(code)));
    Archive archive(raw);
    zip_source_t *documentSource = zip_source_buffer(raw, document.constData(), zip_uint64_t(document.size()), 0);
    if (!documentSource || zip_file_add(raw, documentEntry, documentSource, ZIP_FL_ENC_UTF_8) < 0) {
        if (documentSource)
            zip_source_free(documentSource);
        return failWith(error, zipError(raw));
    }
    if (includePicture) {
        // The bytes are copied as they are: pictures are compressed already.
        zip_source_t *pictureSource = zip_source_file(raw, QFile::encodeName(snapshot.pictureFile).constData(), 0, -1);
        const zip_int64_t index = pictureSource ? zip_file_add(raw, pictureEntry, pictureSource, 0) : -1;
        if (index < 0) {
            if (pictureSource)
                zip_source_free(pictureSource);
            return failWith(error, zipError(raw));
        }
        zip_set_file_compression(raw, zip_uint64_t(index), ZIP_CM_STORE, 0);
    }
    if (zip_close(raw) != 0) {
        const QString why = zipError(raw);
        QFile::remove(part);
        return failWith(error, QStringLiteral("cannot write %1: %2").arg(part, why));
    }
    archive.release();
    if (!flushToDisk(part)
        || std::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) != 0) {
        QFile::remove(part);
        return failWith(error, QStringLiteral("cannot put the table in place at %1").arg(path));
    }
    return true;
}

namespace {

// Reads a whole entry; null when the archive is damaged (a checksum or
// length that does not match).
std::optional<QByteArray> readEntry(zip_t *archive, zip_int64_t index, qint64 limit)
{
    zip_stat_t stat;
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE)
        || stat.size > zip_uint64_t(limit))
        return std::nullopt;
    Entry entry(zip_fopen_index(archive, zip_uint64_t(index), 0));
    if (!entry)
        return std::nullopt;
    QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
    const zip_int64_t read = zip_fread(entry.get(), bytes.data(), stat.size);
    char extra = 0;
    if (read != zip_int64_t(stat.size) || zip_fread(entry.get(), &extra, 1) != 0)
        return std::nullopt;
    return bytes;
}

// Copies the picture entry into the folder under its hash's name, verified.
std::optional<QString> extractPicture(zip_t *archive, zip_int64_t index, const QByteArray &sha256, qint64 size,
                                      const QString &folder, QString *why)
{
    if (!QDir().mkpath(folder)) {
        *why = QStringLiteral("cannot create %1").arg(folder);
        return std::nullopt;
    }
    const QString target = QDir(folder).filePath(QString::fromLatin1(sha256.toHex()));
    if (QFileInfo::exists(target) && fileSha256(target) == sha256)
        return target;
    zip_stat_t stat;
    if (zip_stat_index(archive, zip_uint64_t(index), 0, &stat) != 0 || stat.size != zip_uint64_t(size)
        || size > maxPictureBytes) {
        *why = QStringLiteral("the picture in it has the wrong size");
        return std::nullopt;
    }
    Entry entry(zip_fopen_index(archive, zip_uint64_t(index), 0));
    QFile out(target + QStringLiteral(".part"));
    if (!entry || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *why = QStringLiteral("the picture in it cannot be unpacked");
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    zip_int64_t got = 0;
    qint64 total = 0;
    while ((got = zip_fread(entry.get(), chunk.data(), zip_uint64_t(chunk.size()))) > 0) {
        hash.addData(QByteArrayView(chunk.constData(), got));
        total += got;
        if (out.write(chunk.constData(), got) != got)
            break;
    }
    out.close();
    if (got < 0 || total != size || hash.result() != sha256) {
        QFile::remove(out.fileName());
        *why = QStringLiteral("the picture in it does not match its hash");
        return std::nullopt;
    }
    QFile::remove(target);
    if (!QFile::rename(out.fileName(), target)) {
        *why = QStringLiteral("cannot keep the picture in %1").arg(folder);
        return std::nullopt;
    }
    return target;
}

TableProblem pictureMissing(const table::ShownMap &map)
{
    return {TableProblem::Kind::PictureMissing,
            QStringLiteral("The table's map \"%1\" links its picture without holding it, and this computer does not "
                           "have that picture. Open the table on the computer that saved it and save it again "
                           "without \"link only\", or put the picture into the map folder first.")
                .arg(map.name)};
}

} // namespace

std::variant<OpenedTable, TableProblem> readTableFile(const QString &path, const PictureLookup &lookup,
                                                      const QString &pictureFolder)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return TableProblem{TableProblem::Kind::Unreadable,
                            QStringLiteral("The file %1 cannot be read: %2. Check that it exists and that you may "
                                           "read it.")
                                .arg(path, file.errorString())};
    const QByteArray magic = file.read(4);
    file.close();
    if (magic != QByteArrayLiteral("PK\x03\x04") && magic != QByteArrayLiteral("PK\x05\x06"))
        return notATable(QStringLiteral("it is not a ZIP archive"));

    int code = 0;
    Archive archive(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
    if (!archive)
        return truncatedFile(zipError(code));
    const zip_int64_t documentIndex = zip_name_locate(archive.get(), documentEntry, 0);
    if (documentIndex < 0)
        return notATable(QStringLiteral("it holds no table document"));
    const auto document = readEntry(archive.get(), documentIndex, 64 * 1024 * 1024);
    if (!document)
        return truncatedFile(QStringLiteral("the table document cannot be read back"));
    auto decoded = decodeDocument(*document);
    if (auto *problem = std::get_if<TableProblem>(&decoded))
        return *problem;
    auto &table = std::get<DecodedDocument>(decoded);

    OpenedTable opened{std::move(table.content), {}};
    if (!opened.content.map || opened.content.map->pictureSha256.isEmpty())
        return opened;
    const table::ShownMap &map = *opened.content.map;
    const zip_int64_t pictureIndex = table.pictureIncluded ? zip_name_locate(archive.get(), pictureEntry, 0) : -1;
    if (table.pictureIncluded && pictureIndex < 0)
        return truncatedFile(QStringLiteral("the map picture it names is not in it"));
    if (pictureIndex >= 0) {
        QString why;
        const auto extracted =
            extractPicture(archive.get(), pictureIndex, map.pictureSha256, map.pictureSize, pictureFolder, &why);
        if (!extracted)
            return truncatedFile(why);
        opened.pictureFile = *extracted;
        return opened;
    }
    QString found = lookup ? lookup(map.pictureSha256) : QString();
    if (found.isEmpty()) {
        const QString kept = QDir(pictureFolder).filePath(QString::fromLatin1(map.pictureSha256.toHex()));
        if (QFileInfo::exists(kept) && fileSha256(kept) == map.pictureSha256)
            found = kept;
    }
    if (found.isEmpty())
        return pictureMissing(map);
    opened.pictureFile = found;
    return opened;
}

} // namespace vellmar::saving
