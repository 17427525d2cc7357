#pragma once

#include <QWidget>

class QToolButton;

namespace vellmar::app {

// A pair of arrow buttons holding a whole number in a range, without a text
// field of its own: the value is shown elsewhere (the zoom label).
class UpDownControl final : public QWidget
{
    Q_OBJECT
public:
    explicit UpDownControl(QWidget *parent = nullptr);

    int value() const { return m_value; }
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    void setRange(int minimum, int maximum);
    void setValue(int value);

    void stepUp() { setValue(m_value + 1); }
    void stepDown() { setValue(m_value - 1); }

Q_SIGNALS:
    void valueChanged(int value);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QToolButton *m_up;
    QToolButton *m_down;
    int m_minimum = 0;
    int m_maximum = 10;
    int m_value = 0;
};

} // namespace vellmar::app
