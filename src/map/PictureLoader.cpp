#include "PictureLoader.h"

#include <QFileInfo>
#include <QImageReader>

namespace vellmar::map {

namespace {

PictureLoad refused(const QString &path, const QString &why) { return {QImage(), path + QStringLiteral(": ") + why}; }

QString pixels(QSize size) { return QStringLiteral("%1 x %2 pixels").arg(size.width()).arg(size.height()); }

// Drawing a picture in its native 32-bit form is a plain copy; any other
// format would be converted on every repaint.
QImage drawable(QImage picture)
{
    const QImage::Format wanted =
        picture.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (picture.format() == wanted)
        return picture;
    QImage converted = picture.convertToFormat(wanted);
    // Too little memory for a copy: the picture still draws, only slower.
    return converted.isNull() ? picture : converted;
}

} // namespace

PictureLoad loadMapPicture(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return refused(path, QStringLiteral("the picture file does not exist"));
    if (!info.isFile())
        return refused(path, QStringLiteral("this is not a picture file"));

    QImageReader reader(path);
    reader.setAutoTransform(false); // every participant must see the same pixel grid
    if (!reader.canRead())
        return refused(path,
                       QStringLiteral("the file is not a picture that can be read (%1)").arg(reader.errorString()));

    const QSize size = reader.size();
    if (size.isValid()) {
        if (size.width() > largestPictureExtent || size.height() > largestPictureExtent)
            return refused(path, QStringLiteral("the picture is %1; a map may be at most %2 pixels wide and high")
                                     .arg(pixels(size))
                                     .arg(largestPictureExtent));
        const qint64 bytes = qint64(size.width()) * size.height() * 4;
        const qint64 limit = qint64(QImageReader::allocationLimit()) * 1024 * 1024;
        if (limit > 0 && bytes > limit)
            return refused(path, QStringLiteral("the picture is %1, too big to hold in memory (more than %2 MiB)")
                                     .arg(pixels(size))
                                     .arg(QImageReader::allocationLimit()));
    }

    QImage picture = reader.read();
    if (picture.isNull())
        return refused(path, QStringLiteral("the picture could not be read (%1)").arg(reader.errorString()));
    if (picture.width() > largestPictureExtent || picture.height() > largestPictureExtent)
        return refused(path, QStringLiteral("the picture is %1; a map may be at most %2 pixels wide and high")
                                 .arg(pixels(picture.size()))
                                 .arg(largestPictureExtent));
    return {drawable(std::move(picture)), QString()};
}

} // namespace vellmar::map
