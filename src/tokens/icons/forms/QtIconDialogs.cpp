#include "QtIconDialogs.h"

#include "frmModifyIcon.h"
#include "frmSetIcon.h"

namespace vellmar::tokens {

namespace {

void showModal(QDialog &dialog)
{
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    dialog.raise();
    dialog.activateWindow();
}

} // namespace

QtIconDialogs::QtIconDialogs(const table::Identity &identity, table::Records &records, core::Questions &questions,
                             std::function<void()> repaint, QWidget *parent)
    : m_identity(identity)
    , m_records(records)
    , m_questions(questions)
    , m_repaint(std::move(repaint))
    , m_parent(parent)
{}

// The dialogs call back into state that may not outlive this object.
QtIconDialogs::~QtIconDialogs()
{
    delete m_modifyIcon.data();
    delete m_setIcon.data();
}

void QtIconDialogs::showPlaceIcon(std::int32_t mapX, std::int32_t mapY)
{
    if (!m_setIcon)
        m_setIcon = new frmSetIcon(m_identity, m_records, m_questions, m_repaint, m_parent);
    m_setIcon->mapX = mapX;
    m_setIcon->mapY = mapY;
    showModal(*m_setIcon);
}

void QtIconDialogs::showModifyIcon(std::int32_t id, const IconEntry &entry)
{
    // One icon at a time: a dialog still open (the dialogs are modal, so
    // only from code) gives way to the new one.
    delete m_modifyIcon.data();
    m_modifyIcon = new frmModifyIcon(m_records, m_questions, m_repaint, m_parent);
    m_modifyIcon->id = id;
    m_modifyIcon->setEntry(entry);
    showModal(*m_modifyIcon);
}

} // namespace vellmar::tokens
