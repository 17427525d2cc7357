#pragma once

#include <QImage>
#include <QString>

#include <cstdint>

namespace vellmar::map {

// What the main window knows about the loaded map and how it is viewed. It
// lives as long as the main window and is never cleared: a new map replaces
// the fields that its index entry names and keeps the others.
class MapState
{
public:
    // Twice the grid cell size, in picture pixels.
    double map10Size = 22.56;
    // The first grid lines lie at picture x = -map10OffsetX, y = -map10OffsetY.
    std::int32_t map10OffsetX = -9;
    std::int32_t map10OffsetY = -13;
    // Becomes true at the first map load and stays true; nothing is drawn before.
    bool mapLoaded = false;
    // Zoom factor of the view, 1.5 raised to (zoom step - 6).
    double zoom = 1.0;
    // Kept in a format that draws without conversion; null until a map with a
    // readable picture is loaded.
    QImage picture;
    // The loaded map's name and the file its picture was read from; empty
    // until a map with a readable picture is loaded. Showing the map to the
    // players names the picture by this file's bytes.
    QString name;
    QString pictureFile;
};

} // namespace vellmar::map
