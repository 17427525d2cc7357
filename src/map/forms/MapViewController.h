#pragma once

#include "map/MapRenderer.h"
#include "map/MapScene.h"
#include "map/ViewGeometry.h"

#include <QObject>

#include <functional>

class QCheckBox;
class QLabel;
class QScrollBar;

namespace vellmar::map {

class MapState;
class MapView;

// Steers the map view from the main window's controls: the scroll bars choose
// the map point at the view's centre, the zoom step the scale, "Show Grid"
// the grid. The main window forwards its map operations here.
class MapViewController final : public QObject
{
    Q_OBJECT
public:
    // The main window's controls that belong to the map.
    struct Controls
    {
        MapView *view = nullptr;          // Picture1
        QScrollBar *horizontal = nullptr; // HmapScroll
        QScrollBar *vertical = nullptr;   // vmapScroll
        QCheckBox *showGrid = nullptr;    // chkShowGrid
        QLabel *pictureHolder = nullptr;  // Picture2: shows the picture's top-left corner
    };
    // Read at every drawing: the records, the selection and whether the
    // splitter is being dragged.
    struct Sources
    {
        std::function<MapScene()> scene;
        std::function<bool()> resizing;
    };

    // Connects the scroll bars (change and drag clear and repaint) and the
    // grid switch (repaints without clearing).
    MapViewController(MapState &state, const Controls &controls, Sources sources, QObject *parent = nullptr);

    // Draws every layer over what the view shows; nothing before a map is
    // loaded or while the splitter is dragged.
    void Picture1_Paint();
    // Clears the view to its background.
    void clearView();
    // Both: what every change of the view geometry does.
    void clearAndPaint();

    // Scroll ranges from the picture's size: -W/2 to W/2, small change 4,
    // large change 20. A value outside the new range moves to its nearest end.
    void SetHScroll();
    void SetVScroll();

    // The zoom step changed: store the new factor, clear and repaint, then
    // set both scroll ranges.
    void UpDownZoom_Change(int step, int minimum, int maximum);

    // After a map entry was read: shows the new picture in the holder, sets
    // the scroll ranges, clears and repaints.
    void mapReplaced();

    // The geometry the next drawing uses; for pointer positions too.
    ViewGeometry geometry() const;

private:
    void scrollChanged();
    void chkShowGrid_Click();
    void showPictureCorner();

    MapState &m_state;
    Controls m_controls;
    Sources m_sources;
    MapRenderer m_renderer;
};

} // namespace vellmar::map
