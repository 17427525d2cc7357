#pragma once

#include "ui/Twips.h"

#include <Qt>

namespace vellmar::app {

// Where the main window's regions are, and how they follow a change of the
// window's size or a drag of the splitter grip. Pure arithmetic in twips, so
// the rules are tested without a window; the window copies the rectangles
// onto its widgets after each call.
class MainLayout
{
public:
    // Start positions; the grip is placed anew by the first layout.
    ui::TwipRect picture1{120, 120, 4935, 4455};
    ui::TwipRect vmapScroll{5040, 120, 255, 4455};
    ui::TwipRect hmapScroll{120, 4560, 4935, 255};
    ui::TwipRect btnResize{5160, 4640, 135, 195};
    ui::TwipRect frame1{5280, 0, 2775, 4695};
    ui::TwipRect txtChat{120, 4800, 7935, 1575};
    ui::TwipRect txtInput{120, 6435, 7935, 330};

    static constexpr int clientWidth = 8115;
    static constexpr int clientHeight = 6840;
    static constexpr int minHeightBelowGrip = 1820;
    static constexpr int minWidthBesidePanel = 600;
    static constexpr int gripAboveInput = 600;
    static constexpr int gripAbovePanelBottom = 45;
    static constexpr int gripSide = 135;

    // Remembers the outer size at load; every later layout works on the
    // difference to the last one.
    void start(int outerWidth, int outerHeight);

    struct Size
    {
        int width;
        int height;
    };
    // Lays the regions out for a new outer size and returns the size the
    // window must have: the same, or larger when it fell below the minimum.
    Size resize(int outerWidth, int outerHeight);

    // The smallest outer size the current layout allows.
    Size minimumSize() const;

    // Splitter grip drag; y is the pointer's position inside the grip.
    void pressGrip(Qt::MouseButton button, int y);
    // False when no drag is under way (nothing moved).
    bool moveGrip(int y);
    void releaseGrip();
    bool resizing() const { return m_resizing; }

    int lastWidth() const { return m_lastWidth; }
    int lastHeight() const { return m_lastHeight; }

private:
    void applyDifference(int outerWidth, int outerHeight);

    int m_lastWidth = 0;
    int m_lastHeight = 0;
    bool m_resizing = false;
    int m_dragStartY = 0;
};

} // namespace vellmar::app
