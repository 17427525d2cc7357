#include "frmModifyIcon.h"

#include "core/Questions.h"
#include "table/Records.h"
#include "tokens/icons/IconEdits.h"

#include <QLineEdit>
#include <QPushButton>

namespace vellmar::tokens {

frmModifyIcon::frmModifyIcon(table::Records &records, core::Questions &questions, std::function<void()> repaint,
                             QWidget *parent)
    : IconForm(QStringLiteral("frmModifyIcon"), QStringLiteral("Modify Icon"), parent)
    , m_records(records)
    , m_questions(questions)
    , m_repaint(std::move(repaint))
{
    setAttribute(Qt::WA_DeleteOnClose);
    // "Set" comes first; Escape presses "Cancel" (QDialog's reject).
    setTabChain({btnSet, txtName, txtDamage, txtMaxhealth, txtSize, txtInitiative, btnCancel});
    connect(btnSet, &QPushButton::clicked, this, &frmModifyIcon::btnSet_Click);
    connect(btnCancel, &QPushButton::clicked, this, &frmModifyIcon::btnCancel_Click);
}

void frmModifyIcon::btnSet_Click()
{
    const EntryReading reading = readEntry(entry());
    if (!reading.values) {
        refuse(m_questions, reading);
        return;
    }
    if (!rewriteIcon(m_records.icons, id, *reading.values))
        m_questions.tell(QStringLiteral("This icon is no longer on the map; nothing was changed."));
    accept(); // closing deletes the dialog
    if (m_repaint)
        m_repaint();
}

void frmModifyIcon::btnCancel_Click() { reject(); }

} // namespace vellmar::tokens
