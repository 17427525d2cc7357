#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vellmar::core {
class Questions;
}

namespace vellmar::tokens {

class MarkerExchange;

// The two marker dialogs share their face: an "Info" text of at most 16
// characters, "Set" as the default and "Cancel" as the escape button, the
// focus in the text with all of it selected, and the ";" check on "Set".
class MarkerTextDialog : public QDialog
{
    Q_OBJECT
public:
    QLabel *lblInfo;
    QLineEdit *txtInfo;
    QPushButton *btnSet;
    QPushButton *btnCancel;

protected:
    MarkerTextDialog(MarkerExchange &exchange, core::Questions &questions, QWidget *parent);

    // Runs once the text was accepted.
    virtual void applyText(const QString &text) = 0;

    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    MarkerExchange &m_exchange;
    core::Questions &m_questions;

private:
    void btnSet_Click();
};

} // namespace vellmar::tokens
