#include "TableFog.h"

#include "map/MapState.h"
#include "table/Table.h"

#include <utility>

namespace vellmar::map::fog {

TableFog::TableFog(table::Table &table, const MapState &map, std::function<void()> changed)
    : m_table(table)
    , m_map(map)
    , m_changed(std::move(changed))
    , m_exchange(table.outbox(), table.identity(), [this](const QRect &) { m_changed(); })
{}

std::int64_t TableFog::pictureSerial() const
{
    // The upper half of the cache key numbers the image data; the lower half
    // counts writes to it, which do not make another picture.
    return m_map.mapLoaded && !m_map.picture.isNull() ? std::int64_t(m_map.picture.cacheKey() >> 32) : 0;
}

bool TableFog::fits(const FogMask &mask) const { return !mask.isNull() && mask.pictureSize() == m_map.picture.size(); }

bool TableFog::viewsShared() const
{
    const std::int64_t serial = pictureSerial();
    return serial != 0 && serial == m_sharedPicture && m_table.inSession && m_sharedMap
           && m_table.shownMap == m_sharedMap && fits(m_exchange.mask());
}

bool TableFog::viewsDraft() const
{
    const std::int64_t serial = pictureSerial();
    return m_table.isMaster && serial != 0 && serial == m_draftPicture && fits(m_draft.mask());
}

const FogMask *TableFog::sceneFog() const
{
    if (m_preview && (viewsShared() || viewsDraft()))
        return &*m_preview;
    if (viewsShared())
        return &m_exchange.mask();
    if (viewsDraft())
        return &m_draft.mask();
    return nullptr;
}

std::optional<FogMask> TableFog::savedFog() const
{
    const FogMask *mask = viewsShared() ? &m_exchange.mask() : viewsDraft() ? &m_draft.mask() : nullptr;
    if (!mask || mask->hiddenCells() == 0)
        return std::nullopt;
    return *mask;
}

void TableFog::shownMapArrived()
{
    if (m_table.isMaster)
        return;
    m_sharedPicture = pictureSerial();
    m_sharedMap = m_table.shownMap;
    m_changed();
}

void TableFog::mapShown()
{
    if (!m_table.isMaster || !m_table.inSession)
        return;
    const std::int64_t serial = pictureSerial();
    m_preview.reset();
    if (serial == 0) {
        // A map without a picture has nothing to cover.
        m_sharedPicture = 0;
    } else if (serial == m_sharedPicture && fits(m_exchange.mask())) {
        m_exchange.sendState(0); // shown again: it keeps its fog
    } else if (viewsDraft()) {
        m_exchange.restore(std::exchange(m_draft, FogHistory()));
        m_draftPicture = 0;
    } else {
        m_exchange.showPicture(m_map.picture.size());
    }
    m_sharedPicture = serial;
    m_sharedMap = m_table.shownMap;
    m_changed();
}

void TableFog::sendTo(std::int32_t playerId)
{
    if (m_table.isMaster && m_sharedPicture != 0 && m_sharedMap && m_table.shownMap == m_sharedMap)
        m_exchange.sendState(playerId);
}

void TableFog::tableOpened(const std::optional<FogMask> &fog)
{
    m_preview.reset();
    m_draftPicture = pictureSerial();
    if (m_draftPicture == 0)
        m_draft = FogHistory();
    else if (fog && fits(*fog))
        m_draft = FogHistory(*fog);
    else
        m_draft.reset(m_map.picture.size());
    m_changed();
}

QString TableFog::whyNoTools() const
{
    if (!m_table.isMaster)
        return QStringLiteral("Only the game master changes the fog.");
    if (pictureSerial() == 0)
        return QStringLiteral("The fog covers a map picture: load a map that has one first.");
    return {};
}

FogHistory *TableFog::draftForView()
{
    if (!m_table.isMaster || pictureSerial() == 0 || viewsShared())
        return nullptr;
    if (!viewsDraft()) {
        m_draft.reset(m_map.picture.size());
        m_draftPicture = pictureSerial();
    }
    return &m_draft;
}

bool TableFog::apply(const FogStep &step)
{
    m_preview.reset();
    if (!whyNoTools().isEmpty())
        return false;
    if (viewsShared())
        return m_exchange.apply(step);
    const bool applied = draftForView()->push(step);
    m_changed();
    return applied;
}

bool TableFog::undo()
{
    if (!whyNoTools().isEmpty())
        return false;
    if (viewsShared())
        return m_exchange.undo();
    if (!viewsDraft() || !m_draft.undo())
        return false;
    m_changed();
    return true;
}

bool TableFog::redo()
{
    if (!whyNoTools().isEmpty())
        return false;
    if (viewsShared())
        return m_exchange.redo();
    if (!viewsDraft() || !m_draft.redo())
        return false;
    m_changed();
    return true;
}

void TableFog::preview(const FogStep &step)
{
    if (!whyNoTools().isEmpty())
        return;
    if (!m_preview) {
        if (viewsShared())
            m_preview = m_exchange.mask();
        else
            m_preview = draftForView()->mask();
    }
    m_preview->apply(step);
    m_changed();
}

void TableFog::endPreview()
{
    if (m_preview) {
        m_preview.reset();
        m_changed();
    }
}

} // namespace vellmar::map::fog
