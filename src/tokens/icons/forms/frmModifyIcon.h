#pragma once

#include "IconForm.h"

#include <cstdint>
#include <functional>

namespace vellmar::table {
class Records;
}

namespace vellmar::tokens {

// The modify-icon dialog, built for one icon and deleted when it closes.
// Whoever opens it sets `id` and fills the boxes from the icon, because "Set"
// writes all five boxes back.
class frmModifyIcon final : public IconForm
{
    Q_OBJECT
public:
    // `repaint` redraws the map view after the icon changed.
    frmModifyIcon(table::Records &records, core::Questions &questions, std::function<void()> repaint,
                  QWidget *parent = nullptr);

    // The identifier of the icon to change.
    std::int32_t id = 0;

private:
    void btnSet_Click();
    void btnCancel_Click();

    table::Records &m_records;
    core::Questions &m_questions;
    std::function<void()> m_repaint;
};

} // namespace vellmar::tokens
