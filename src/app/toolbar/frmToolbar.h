#pragma once

#include "tokens/pointer/PaletteTool.h"

#include <QWidget>

#include <array>

class QAction;
class QActionGroup;
class QLabel;
class QPushButton;
class QSpinBox;
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

    static constexpr int buttonCount = 3;
    static constexpr int fogButtonCount = 6;

    QToolBar *Toolbar1;
    // Index 0 here is button 1 of the palette.
    std::array<QAction *, buttonCount> Buttons{};
    QPushButton *btnClose;

    // The master's fog tools below the others, hidden until showFogTools:
    // reveal and hide by rectangle, polygon and brush, the commands on the
    // whole map, undo and redo, and the brush size in grid cells.
    QToolBar *FogToolbar;
    std::array<QAction *, fogButtonCount> FogButtons{};
    QAction *HideAll;
    QAction *RevealAll;
    QAction *UndoFog;
    QAction *RedoFog;
    QLabel *lblBrush;
    QSpinBox *BrushCells;
    // A player's palette has no fog tools; a pressed one is released.
    void showFogTools(bool shown);
    bool fogToolsShown() const { return m_fogShown; }

    // The pressed tool, or None when the click released it.
    tokens::PaletteTool tool() const;
    void Toolbar1_ButtonClick(QAction *Button);

Q_SIGNALS:
    void toolChosen(vellmar::tokens::PaletteTool tool);
    void hideAllClicked();
    void revealAllClicked();
    void undoFogClicked();
    void redoFogClicked();

protected:
    // Closing puts the plain pointer back: the window goes with its tools.
    void closeEvent(QCloseEvent *event) override;

private:
    void createToolbar();
    void createFogTools();
    void placeControls();
    void btnClose_Click();

    QActionGroup *m_toolGroup;
    bool m_fogShown = false;
};

} // namespace vellmar::app
