#include "MapFolder.h"
#include "ScriptedQuestions.h"
#include "app/forms/frmMain.h"
#include "chat/forms/Form2.h"
#include "chat/forms/frmPartyChat.h"
#include "session/transport/SessionTransport.h"
#include "tokens/icons/forms/frmModifyIcon.h"
#include "tokens/icons/forms/frmSetIcon.h"
#include "tokens/markers/forms/frmModifyMarker.h"
#include "tokens/markers/forms/frmSetMarker.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest/QTest>

using namespace vellmar;

namespace {

QSize textSize(const QWidget *control, const QString &text)
{
    return control->fontMetrics().size(Qt::TextShowMnemonic, text);
}

QStyleOptionButton buttonOption(const QAbstractButton *button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (const auto *push = qobject_cast<const QPushButton *>(button)) {
        if (push->autoDefault())
            option.features |= QStyleOptionButton::AutoDefaultButton;
        if (push->isDefault())
            option.features |= QStyleOptionButton::DefaultButton;
    }
    return option;
}

// The width a control needs to show its whole caption with the style's
// margins, or nothing when the control shows no caption of its own.
std::optional<int> neededWidth(const QWidget *control)
{
    QStyle *style = control->style();
    if (const auto *push = qobject_cast<const QPushButton *>(control)) {
        if (push->text().isEmpty())
            return std::nullopt;
        QStyleOptionButton option = buttonOption(push);
        // Without text the style adds no minimum width of its own, only margins.
        option.text.clear();
        return style->sizeFromContents(QStyle::CT_PushButton, &option, textSize(push, push->text()), push).width();
    }
    if (const auto *check = qobject_cast<const QCheckBox *>(control)) {
        const QStyleOptionButton option = buttonOption(check);
        return style->sizeFromContents(QStyle::CT_CheckBox, &option, textSize(check, check->text()), check).width();
    }
    if (const auto *radio = qobject_cast<const QRadioButton *>(control)) {
        const QStyleOptionButton option = buttonOption(radio);
        return style->sizeFromContents(QStyle::CT_RadioButton, &option, textSize(radio, radio->text()), radio).width();
    }
    if (const auto *tool = qobject_cast<const QToolButton *>(control))
        return tool->text().isEmpty() ? std::nullopt : std::optional<int>(tool->sizeHint().width());
    if (const auto *label = qobject_cast<const QLabel *>(control)) {
        if (label->text().isEmpty() || label->wordWrap())
            return std::nullopt;
        const int frameAndMargins = label->width() - label->contentsRect().width() + 2 * label->margin();
        return textSize(label, label->text()).width() + frameAndMargins + std::max(label->indent(), 0);
    }
    if (const auto *group = qobject_cast<const QGroupBox *>(control))
        return group->title().isEmpty() ? std::nullopt : std::optional<int>(group->minimumSizeHint().width());
    return std::nullopt;
}

QString captionOf(const QWidget *control)
{
    if (const auto *button = qobject_cast<const QAbstractButton *>(control))
        return button->text();
    if (const auto *label = qobject_cast<const QLabel *>(control))
        return label->text();
    if (const auto *group = qobject_cast<const QGroupBox *>(control))
        return group->title();
    return {};
}

// Every captioned control of the window whose caption does not fit its box.
QStringList cutCaptions(const QWidget *window)
{
    QStringList cut;
    const auto controls = window->findChildren<QWidget *>();
    for (const QWidget *control : controls) {
        // Other windows are walked on their own; controls kept out of sight on
        // purpose (hidden default buttons) show no caption.
        if (control->window() != window
            || (control->parentWidget() && !control->parentWidget()->rect().intersects(control->geometry())))
            continue;
        const auto needed = neededWidth(control);
        if (needed && *needed > control->width())
            cut << QStringLiteral("%1/%2 \"%3\": needs %4 px, has %5")
                       .arg(window->objectName(), control->objectName(), captionOf(control))
                       .arg(*needed)
                       .arg(control->width());
    }
    return cut;
}

const app::frmMain::TransportFactory noSession = [](core::Questions &) {
    return std::unique_ptr<session::SessionTransport>();
};

} // namespace

class TestCaptions : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A caption cut at its box's edge reads as a different word ("Show Gric").
    void everyCaptionOfEveryWindowFitsItsBox()
    {
        // The map list opens only with an index in ./map.
        vellmar::testing::MapFolder folder;
        QVERIFY(folder.create());
        QVERIFY(folder.enter());

        ScriptedQuestions questions;
        app::frmMain window(questions, noSession);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Controls that appear only in a session are measured too.
        window.lblRollVal->show();
        window.txtRollVal->show();
        for (QPushButton *opener : {window.btnDiceRolls, window.btnCombat, window.btnToolbar, window.btnMaplist})
            opener->click();
        folder.leave();

        const auto repaint = [] {};
        tokens::frmSetIcon setIcon(window.state().identity(), window.state().records(), questions, repaint, &window);
        tokens::frmModifyIcon modifyIcon(window.state(), questions, repaint, &window);
        tokens::frmSetMarker setMarker(window.markerExchange(), questions, &window);
        tokens::frmModifyMarker modifyMarker(window.markerExchange(), questions, &window);
        chat::Form2 privateChat(window.state().identity(), window.state().outbox(), 2, QStringLiteral("Ranger"),
                                &window);
        QList<QWidget *> windows{&window,    &window.partyChat(), &setIcon,    &modifyIcon,
                                 &setMarker, &modifyMarker,       &privateChat};
        for (const char *name : {"frmDiceRoll", "frmCombat", "frmToolbar", "frmMaplist"}) {
            auto *opened = window.findChild<QWidget *>(QString::fromLatin1(name));
            QVERIFY2(opened, name);
            windows << opened;
        }

        QStringList cut;
        int measured = 0;
        for (QWidget *shown : windows) {
            shown->show();
            QVERIFY(QTest::qWaitForWindowExposed(shown));
            cut << cutCaptions(shown);
            const auto controls = shown->findChildren<QWidget *>();
            measured += int(std::count_if(controls.cbegin(), controls.cend(),
                                          [](const QWidget *c) { return neededWidth(c).has_value(); }));
        }
        QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
        // The walk really found the captioned controls (the main window alone has a dozen).
        QVERIFY2(measured > 50, qPrintable(QString::number(measured)));
    }
};

QTEST_MAIN(TestCaptions)
#include "tst_captions.moc"
