#pragma once

#include <QImage>
#include <QWidget>

namespace vellmar::map {

// The map view: a picture box that keeps what was drawn on it. Drawing goes
// into its canvas, which the widget shows as it is; only clear() wipes it, so
// a repaint without clearing leaves earlier drawing where nothing covers it.
class MapView final : public QWidget
{
    Q_OBJECT
public:
    explicit MapView(QWidget *parent = nullptr);

    // View-sized; draw into it, then call present().
    QImage &canvas();
    const QImage &canvas() const;

    // Fills the canvas with the background.
    void clear();
    // Shows the canvas's current contents.
    void present();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Follows the widget's size, also while it is hidden and gets no resize events.
    void fitCanvas() const;

    mutable QImage m_canvas;
};

} // namespace vellmar::map
