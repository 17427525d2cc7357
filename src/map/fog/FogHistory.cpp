#include "FogHistory.h"

#include "session/protocol/WireBytes.h"

#include <climits>
#include <utility>

namespace vellmar::map::fog {

namespace {

constexpr std::uint8_t kFormatVersion = 1;
// Run lengths of 1024 x 1024 cells take at most 2 bytes a cell.
constexpr std::uint32_t kMaxRunBytes = 2 * FogMask::kMaxCells * FogMask::kMaxCells + 16;

} // namespace

FogHistory::FogHistory(FogMask start) : m_mask(std::move(start))
{
    if (!m_mask.isNull())
        m_snapshots.emplace(0, m_mask.cells());
}

void FogHistory::reset(QSize picture)
{
    m_mask = FogMask(picture);
    m_first = 0;
    m_position = 0;
    m_steps.clear();
    m_snapshots.clear();
    m_snapshots.emplace(0, m_mask.cells());
}

bool FogHistory::push(const FogStep &step, QRect *changed)
{
    if (m_mask.isNull() || session::fogStepProblem(step) || m_position >= session::kFogMaxIndex)
        return false;
    m_steps.resize(m_position - m_first);
    m_snapshots.erase(m_snapshots.upper_bound(m_position), m_snapshots.end());
    const QRect touched = m_mask.apply(step);
    if (changed)
        *changed = touched;
    m_steps.append(step);
    if (++m_position % kSnapshotEvery == 0)
        m_snapshots.emplace(m_position, m_mask.cells());
    trim();
    return true;
}

void FogHistory::trim()
{
    if (m_steps.size() <= kMaxSteps)
        return;
    // Snapshots lie on every multiple of kSnapshotEvery that was passed, so
    // one keeps between kUndoSteps and kMaxSteps steps behind it.
    auto base = m_snapshots.upper_bound(endIndex() - kUndoSteps);
    --base;
    if (base->first <= m_first)
        return;
    m_steps.remove(0, base->first - m_first);
    m_first = base->first;
    m_snapshots.erase(m_snapshots.begin(), base);
}

bool FogHistory::moveTo(int position, QRect *changed)
{
    if (m_mask.isNull() || position < m_first || position > endIndex())
        return false;
    QRect touched;
    if (position < m_position) {
        auto snapshot = m_snapshots.upper_bound(position);
        --snapshot; // there is always one at m_first
        m_mask.setCells(snapshot->second);
        touched = m_mask.cells().rect();
        m_position = snapshot->first;
    }
    for (; m_position < position; ++m_position)
        touched |= m_mask.apply(m_steps.at(m_position - m_first));
    if (changed)
        *changed = touched;
    return true;
}

QByteArray FogHistory::toBytes() const
{
    session::wire::Writer w;
    w.u8(kFormatVersion);
    w.u32(std::uint32_t(m_mask.pictureSize().width())).u32(std::uint32_t(m_mask.pictureSize().height()));
    w.u32(std::uint32_t(m_first)).u32(std::uint32_t(m_position)).u32(std::uint32_t(m_steps.size()));
    FogMask base(m_mask.pictureSize());
    base.setCells(m_snapshots.at(m_first));
    w.bytes(base.runLengths());
    for (const FogStep &step : m_steps) {
        w.u8(std::uint8_t(step.kind)).u8(std::uint8_t(step.mode)).u32(std::uint32_t(step.diameter));
        w.u16(std::uint16_t(step.points.size()));
        for (const QPoint &p : step.points)
            w.u32(std::uint32_t(p.x())).u32(std::uint32_t(p.y()));
    }
    return w.take();
}

std::optional<FogHistory> FogHistory::fromBytes(QByteArrayView bytes, QString *why)
{
    const auto fail = [why](const QString &reason) -> std::optional<FogHistory> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    session::wire::Reader r(bytes);
    if (r.u8() != kFormatVersion)
        return fail(QStringLiteral("fog data of an unknown version"));
    // One field a statement: the order of function arguments is unspecified.
    const auto width = r.u32();
    const auto height = r.u32();
    const auto first = r.u32();
    const auto position = r.u32();
    const auto count = r.u32();
    const QSize picture(int(std::min<std::uint32_t>(width, INT_MAX)), int(std::min<std::uint32_t>(height, INT_MAX)));
    if (!r.ok() || picture.width() < 1 || picture.height() < 1 || picture.width() > FogMask::kMaxPictureSide
        || picture.height() > FogMask::kMaxPictureSide)
        return fail(QStringLiteral("fog data has a bad picture size"));
    if (count > std::uint32_t(kMaxSteps) || first > std::uint32_t(session::kFogMaxIndex) - count || position < first
        || position > first + count)
        return fail(QStringLiteral("fog data has bad step numbers"));
    auto base = FogMask::fromRunLengths(picture, r.bytes(kMaxRunBytes));
    if (!r.ok() || !base)
        return fail(QStringLiteral("fog data has bad run lengths"));

    FogHistory history;
    history.m_mask = std::move(*base);
    history.m_first = history.m_position = int(first);
    history.m_snapshots.emplace(history.m_first, history.m_mask.cells());
    for (std::uint32_t i = 0; i < count; ++i) {
        FogStep step;
        const auto kind = r.u8();
        const auto mode = r.u8();
        step.kind = FogKind(kind);
        step.mode = FogMode(mode);
        step.diameter = std::int32_t(r.u32());
        const auto points = r.u16();
        if (!r.ok() || points > session::kFogMaxPoints)
            return fail(QStringLiteral("fog data step %1 is cut short or too long").arg(i));
        for (int p = 0; p < points; ++p) {
            const auto x = std::int32_t(r.u32());
            const auto y = std::int32_t(r.u32());
            step.points.append(QPoint(x, y));
        }
        if (!r.ok())
            return fail(QStringLiteral("fog data step %1 is cut short").arg(i));
        if (const auto problem = session::fogStepProblem(step))
            return fail(QStringLiteral("fog data step %1: %2").arg(i).arg(*problem));
        history.push(step);
    }
    if (!r.finishedCleanly())
        return fail(QStringLiteral("fog data has bytes left over"));
    history.moveTo(int(position));
    return history;
}

} // namespace vellmar::map::fog
