#pragma once

#include "session/protocol/FogMessages.h"

#include <QList>
#include <QPointF>
#include <QRectF>

// The master's fog steps as the tools make them: in picture pixels, inside
// the bounds a message keeps (see session::FogStep).
namespace vellmar::map::fog {

using session::FogKind;
using session::FogMode;
using session::FogStep;

FogStep wholeMap(FogMode mode);
FogStep rectangle(const QRectF &pictureRect, FogMode mode);
// A free-hand outline; more than kFogMaxPoints corners are thinned evenly
// (first and last kept), which a hand-drawn outline does not show.
FogStep polygon(const QList<QPointF> &outline, FogMode mode);
// A brush stroke: as many steps as its points need, each continuing from the
// last point of the one before so the stroke has no gap. The diameter is in
// picture pixels (see brushDiameter).
QList<FogStep> brushStroke(const QList<QPointF> &points, double diameter, FogMode mode);

// The brush size the palette offers in grid cells, as picture pixels for the
// grid now shown; a step keeps pixels so a later grid change does not move
// fog already drawn.
double brushDiameter(double gridCells, double gridCellPixels);

} // namespace vellmar::map::fog
