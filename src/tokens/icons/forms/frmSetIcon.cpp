#include "frmSetIcon.h"

#include "table/Identity.h"
#include "tokens/icons/IconEdits.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

namespace vellmar::tokens {

frmSetIcon::frmSetIcon(const table::Identity &identity, table::Records &records, core::Questions &questions,
                       std::function<void()> repaint, QWidget *parent)
    : IconForm(QStringLiteral("frmSetIcon"), QStringLiteral("Place icon"), parent)
    , m_identity(identity)
    , m_records(records)
    , m_questions(questions)
    , m_repaint(std::move(repaint))
{
    setTabChain({txtName, txtDamage, txtMaxhealth, txtSize, txtInitiative, btnSet, btnCancel});
    connect(btnSet, &QPushButton::clicked, this, &frmSetIcon::btnSet_Click);
    connect(btnCancel, &QPushButton::clicked, this, &frmSetIcon::btnCancel_Click);
}

void frmSetIcon::keyPressEvent(QKeyEvent *event)
{
    // This dialog has no cancel button: Escape must not close it.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    IconForm::keyPressEvent(event);
}

void frmSetIcon::btnSet_Click()
{
    const EntryReading reading = readEntry(entry());
    if (!reading.values) {
        refuse(m_questions, reading);
        return;
    }
    addPlacedIcon(m_records, *reading.values, mapX, mapY, m_identity.ownPlayerID);
    accept(); // hides; the boxes keep their text for the next icon
    if (m_repaint)
        m_repaint();
}

void frmSetIcon::btnCancel_Click() { reject(); }

} // namespace vellmar::tokens
