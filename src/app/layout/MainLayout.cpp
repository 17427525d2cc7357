#include "MainLayout.h"

#include <algorithm>

namespace vellmar::app {

void MainLayout::start(int outerWidth, int outerHeight)
{
    m_lastWidth = outerWidth;
    m_lastHeight = outerHeight;
    m_resizing = false;
}

MainLayout::Size MainLayout::minimumSize() const
{
    return {frame1.width + minWidthBesidePanel, btnResize.top + minHeightBelowGrip};
}

MainLayout::Size MainLayout::resize(int outerWidth, int outerHeight)
{
    // Growing a too-small window to its minimum is a layout of its own that
    // completes first, so what follows sees no further difference.
    const Size minimum = minimumSize();
    const Size size{std::max(outerWidth, minimum.width), std::max(outerHeight, minimum.height)};
    applyDifference(size.width, size.height);
    return size;
}

void MainLayout::applyDifference(int outerWidth, int outerHeight)
{
    const int dW = outerWidth - m_lastWidth;
    const int dH = outerHeight - m_lastHeight;

    frame1.left += dW;
    picture1.width += dW;
    txtChat.width += dW;
    txtInput.width += dW;

    btnResize.left = picture1.right() + 80;
    btnResize.top = picture1.bottom() + 45;

    txtChat.height += dH;
    txtInput.top += dH;

    vmapScroll.left += dW;
    hmapScroll.width += dW;

    m_lastWidth = outerWidth;
    m_lastHeight = outerHeight;
}

void MainLayout::pressGrip(Qt::MouseButton button, int y)
{
    if (button != Qt::LeftButton)
        return;
    m_resizing = true;
    m_dragStartY = y;
}

bool MainLayout::moveGrip(int y)
{
    if (!m_resizing)
        return false;
    const int oldTop = btnResize.top;
    int top = oldTop + (y - m_dragStartY);
    // The upper limit is applied last, so it wins when the window is too
    // short for both.
    top = std::min(top, txtInput.top - gripAboveInput);
    top = std::max(top, frame1.height - gripAbovePanelBottom);
    const int d = top - oldTop;

    btnResize.top = top;
    txtChat.top += d;
    txtChat.height -= d;
    picture1.height += d;
    hmapScroll.top += d;
    vmapScroll.height += d;
    btnResize.width = gripSide;
    btnResize.height = gripSide;
    return true;
}

void MainLayout::releaseGrip() { m_resizing = false; }

} // namespace vellmar::app
