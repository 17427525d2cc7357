#pragma once

#include "map/DiscSprites.h"
#include "map/LabelCache.h"
#include "map/RecordsLayer.h"
#include "map/ViewGeometry.h"
#include "table/Collections.h"

class QImage;

namespace vellmar::map {

// The icons the master shows to players, drawn read-only under this copy's
// own records: a disc in the colour of its health word and "name (word)".
// They are few, so they are drawn afresh each time.
class ShownIconsLayer
{
public:
    ShownIconsLayer();
    // Icons on a spot that `hiding` fogs are left out.
    void paint(QImage &target, const ViewGeometry &geometry, const table::ShownIconCollection &icons,
               const RecordHiding &hiding = {});

private:
    LabelCache m_labels;
    DiscSprites m_discs;
};

} // namespace vellmar::map
