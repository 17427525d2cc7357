#pragma once

#include "tokens/icons/IconEntry.h"

#include <QDialog>

#include <initializer_list>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vellmar::core {
class Questions;
}

namespace vellmar::tokens {

// What the place and the modify dialog share: five labelled boxes for the
// icon's fields and the buttons "Set" and "Cancel", "Set" being the default.
class IconForm : public QDialog
{
    Q_OBJECT
public:
    QLabel *lblName;
    QLabel *lblDamage;
    QLabel *lblMaxhealth;
    QLabel *lblSize;
    QLabel *lblInitiative;
    QLineEdit *txtName;
    QLineEdit *txtDamage;
    QLineEdit *txtMaxhealth;
    QLineEdit *txtSize;
    QLineEdit *txtInitiative;
    QPushButton *btnSet;
    QPushButton *btnCancel;

    IconEntry entry() const;
    void setEntry(const IconEntry &entry);

protected:
    IconForm(const QString &name, const QString &caption, QWidget *parent);

    void setTabChain(std::initializer_list<QWidget *> chain);
    // Tells what is wrong and leaves the caret in the refused box, its text
    // selected; the dialog stays open.
    void refuse(core::Questions &questions, const EntryReading &reading);

    bool event(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void createControls();
    void Form_Activate();
    QLineEdit *box(IconBox which) const;

    // Where the focus goes on the next activation; the name box unless a
    // message about another box was just shown.
    QLineEdit *m_activationFocus = nullptr;
};

} // namespace vellmar::tokens
