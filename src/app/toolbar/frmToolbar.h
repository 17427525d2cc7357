#pragma once

#include <QWidget>

#include <array>

class QAction;
class QActionGroup;
class QPushButton;
class QToolBar;

namespace vellmar::core {
class Questions;
}

namespace vellmar::app {

// The tool palette: six map-tool buttons that only report which one is
// pressed, and "Close". The window deletes itself when closed, so every
// opening starts with no tool pressed.
class frmToolbar final : public QWidget
{
    Q_OBJECT
public:
    explicit frmToolbar(core::Questions &questions, QWidget *parent = nullptr);
    ~frmToolbar() override;

    static constexpr int buttonCount = 6;

    QToolBar *Toolbar1;
    // Index 0 here is button 1 of the palette; button 3 is a separator.
    std::array<QAction *, buttonCount> Buttons{};
    QPushButton *btnClose;

    // Tells the caption of every pressed button, first to last. The clicked
    // button itself does not matter: the pressed states say it all.
    void Toolbar1_ButtonClick(QAction *Button);

private:
    void createToolbar();
    void btnClose_Click();

    core::Questions &m_questions;
    QActionGroup *m_toolGroup;
};

} // namespace vellmar::app
