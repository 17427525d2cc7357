#pragma once

#include "tokens/icons/IconDialogs.h"
#include "tokens/icons/forms/frmModifyIcon.h"
#include "tokens/icons/forms/frmSetIcon.h"

#include <QPointer>

#include <functional>

class QWidget;

namespace vellmar::table {
struct Identity;
class Records;
} // namespace vellmar::table

namespace vellmar::core {
class Questions;
}

namespace vellmar::tokens {

// The real icon dialogs, shown application-modal over `parent` without
// blocking the caller: "Set" does the work when the user presses it.
class QtIconDialogs final : public IconDialogs
{
public:
    QtIconDialogs(const table::Identity &identity, table::Records &records, core::Questions &questions,
                  std::function<void()> repaint, QWidget *parent);
    ~QtIconDialogs() override;
    QtIconDialogs(const QtIconDialogs &) = delete;
    QtIconDialogs &operator=(const QtIconDialogs &) = delete;

    void showPlaceIcon(std::int32_t mapX, std::int32_t mapY) override;
    void showModifyIcon(std::int32_t id, const IconEntry &entry) override;

    // The place dialog once it was first shown, else null.
    frmSetIcon *placeDialog() const { return m_setIcon; }
    // The modify dialog while it is open, else null.
    frmModifyIcon *modifyDialog() const { return m_modifyIcon; }

private:
    const table::Identity &m_identity;
    table::Records &m_records;
    core::Questions &m_questions;
    std::function<void()> m_repaint;
    QWidget *m_parent;
    QPointer<frmSetIcon> m_setIcon;
    QPointer<frmModifyIcon> m_modifyIcon;
};

} // namespace vellmar::tokens
