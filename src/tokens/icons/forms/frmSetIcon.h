#pragma once

#include "IconForm.h"

#include <cstdint>
#include <functional>

namespace vellmar::table {
struct Identity;
class Records;
} // namespace vellmar::table

namespace vellmar::tokens {

// The place-icon dialog. Built once and then only shown and hidden, so its
// boxes offer the values typed last time. Escape does nothing here.
class frmSetIcon final : public IconForm
{
    Q_OBJECT
public:
    // `repaint` redraws the map view after an icon was placed.
    frmSetIcon(const table::Identity &identity, table::Records &records, core::Questions &questions,
               std::function<void()> repaint, QWidget *parent = nullptr);

    // The map position for the new icon, set before the dialog is shown.
    std::int32_t mapX = 0;
    std::int32_t mapY = 0;

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void btnSet_Click();
    void btnCancel_Click();

    const table::Identity &m_identity;
    table::Records &m_records;
    core::Questions &m_questions;
    std::function<void()> m_repaint;
};

} // namespace vellmar::tokens
