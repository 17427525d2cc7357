#pragma once

#include "MarkerTextDialog.h"

#include <cstdint>

namespace vellmar::tokens {

// Changes an existing marker's text; made for one use and then discarded.
class frmModifyMarker final : public MarkerTextDialog
{
    Q_OBJECT
public:
    frmModifyMarker(MarkerExchange &exchange, core::Questions &questions, QWidget *parent = nullptr);

    std::int32_t id = 0;

protected:
    void applyText(const QString &text) override;
};

} // namespace vellmar::tokens
