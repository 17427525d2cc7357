#pragma once

#include "map/MapIndex.h"
#include "map/PictureLoader.h"

#include <QStringList>

#include <functional>

namespace vellmar::map {

class MapState;

// Reads a picture named by an index entry; the real one reads from disk.
using PictureReader = std::function<PictureLoad(const QString &fileName)>;

// Applies an entry's settings in the order they stand: a picture is replaced
// as soon as its line is reached, numbers replace their fields, a key that
// occurs twice wins with its later value. Fields the entry does not name keep
// their values. Marks the map as loaded. Returns what could not be applied,
// including a map left without any picture.
QStringList applyMapEntry(MapState &state, const MapEntry &entry, const PictureReader &readPicture);

} // namespace vellmar::map
