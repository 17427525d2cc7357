#pragma once

#include <QString>

#include <cstdint>

class QWidget;

namespace vellmar::ui {

// The main window's public operations that the other windows call. Tool
// windows depend on this interface, not on the main window class, so each
// subsystem's forms build and test without the main window.
class MainWindowApi
{
public:
    virtual ~MainWindowApi() = default;

    virtual void Display(const QString &p_Text) = 0;

    // Brings a hidden or minimised window back, shown in its normal state.
    virtual void RestoreWindow(QWidget &window) = 0;
};

} // namespace vellmar::ui
