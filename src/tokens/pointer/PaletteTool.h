#pragma once

namespace vellmar::tokens {

// The tools of the palette; None is the plain pointer. Fog tools (a
// rectangle, a polygon and a brush, each revealing or hiding) take the
// values after Measure.
enum class PaletteTool { None, Objects, Markers, Measure };

} // namespace vellmar::tokens
