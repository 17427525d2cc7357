#pragma once

namespace vellmar::tokens {

// The tools of the palette; None is the plain pointer. The fog tools (the
// master's only) reveal or hide a rectangle, a free-hand polygon or what a
// brush paints.
enum class PaletteTool {
    None,
    Objects,
    Markers,
    Measure,
    FogRevealRect,
    FogHideRect,
    FogRevealPolygon,
    FogHidePolygon,
    FogRevealBrush,
    FogHideBrush,
};

constexpr bool isFogTool(PaletteTool tool) { return tool >= PaletteTool::FogRevealRect; }

} // namespace vellmar::tokens
