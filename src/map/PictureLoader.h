#pragma once

#include <QImage>
#include <QString>

namespace vellmar::map {

// A map picture read from a file, or why it could not be.
struct PictureLoad
{
    QImage picture;  // null when the file could not be used
    QString problem; // empty on success
};

// The widest and tallest picture the view can scroll over: scroll values are 16-bit.
inline constexpr int largestPictureExtent = 65534;

// Reads a picture in any format Qt reads (at least JPEG and BMP), refusing
// pictures larger than the scroll values reach or than Qt's allocation limit
// allows, and keeps it in a format that is drawn without conversion.
PictureLoad loadMapPicture(const QString &path);

} // namespace vellmar::map
