#include "MapLoading.h"

#include "map/MapState.h"

namespace vellmar::map {

QStringList applyMapEntry(MapState &state, const MapEntry &entry, const PictureReader &readPicture)
{
    QStringList problems = entry.problems;
    bool namesPicture = false;
    for (const MapSetting &setting : entry.settings) {
        switch (setting.kind) {
        case MapSetting::Kind::PictureFile: {
            namesPicture = true;
            PictureLoad load = readPicture(setting.pictureFile);
            if (load.picture.isNull())
                problems << load.problem;
            else
                state.picture = std::move(load.picture);
            break;
        }
        case MapSetting::Kind::GridSize:
            state.map10Size = setting.gridSize;
            break;
        case MapSetting::Kind::GridOffsetX:
            state.map10OffsetX = setting.offset;
            break;
        case MapSetting::Kind::GridOffsetY:
            state.map10OffsetY = setting.offset;
            break;
        }
    }
    // Without this the user sees a bare grid and cannot tell why.
    if (state.picture.isNull() && !namesPicture)
        problems << QStringLiteral("the entry names no picture (no \"mapfile\" line), so only the grid is drawn");
    state.mapLoaded = true;
    return problems;
}

} // namespace vellmar::map
