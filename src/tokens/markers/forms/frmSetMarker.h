#pragma once

#include "MarkerTextDialog.h"

#include <cstdint>

namespace vellmar::tokens {

// Asks for a new marker's text. Kept after use, so the last text is offered
// again the next time.
class frmSetMarker final : public MarkerTextDialog
{
    Q_OBJECT
public:
    frmSetMarker(MarkerExchange &exchange, core::Questions &questions, QWidget *parent = nullptr);

    std::int32_t mapX = 0;
    std::int32_t mapY = 0;

protected:
    void applyText(const QString &text) override;
};

} // namespace vellmar::tokens
