#pragma once

#include "tokens/pointer/PaletteTool.h"

#include <QWidget>

#include <array>

class QAction;
class QActionGroup;
class QPushButton;
class QToolBar;

namespace vellmar::app {

// The tool palette: the map tools, at most one pressed, and "Close". The
// window deletes itself when closed, so every opening starts with no tool
// pressed; the main window then goes back to the plain pointer.
class frmToolbar final : public QWidget
{
    Q_OBJECT
public:
    explicit frmToolbar(QWidget *parent = nullptr);
    ~frmToolbar() override;

    // Fog tools join after these, below a separator.
    static constexpr int buttonCount = 3;

    QToolBar *Toolbar1;
    // Index 0 here is button 1 of the palette.
    std::array<QAction *, buttonCount> Buttons{};
    QPushButton *btnClose;

    // The pressed tool, or None when the click released it.
    tokens::PaletteTool tool() const;
    void Toolbar1_ButtonClick(QAction *Button);

Q_SIGNALS:
    void toolChosen(vellmar::tokens::PaletteTool tool);

protected:
    // Closing puts the plain pointer back: the window goes with its tools.
    void closeEvent(QCloseEvent *event) override;

private:
    void createToolbar();
    void btnClose_Click();

    QActionGroup *m_toolGroup;
};

} // namespace vellmar::app
