#include "ScriptedQuestions.h"
#include "table/Table.h"
#include "tokens/markers/MarkerExchange.h"
#include "tokens/markers/forms/frmModifyMarker.h"
#include "tokens/markers/forms/frmSetMarker.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest/QTest>

using namespace vellmar;

class TestMarkerDialogs : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void setDialogRefusesSemicolonAndKeepsItsText()
    {
        table::Table state;
        ScriptedQuestions questions;
        tokens::MarkerExchange exchange(state, [] {});
        tokens::frmSetMarker dialog(exchange, questions);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Set Marker"));
        dialog.mapX = 12;
        dialog.mapY = 34;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_VERIFY(dialog.txtInfo->hasFocus());

        QTest::keyClicks(dialog.txtInfo, QStringLiteral("Door;s and more!!"));
        QCOMPARE(dialog.txtInfo->text(), QStringLiteral("Door;s and more!")); // 16 characters at most
        QTest::keyClick(dialog.txtInfo, Qt::Key_Return);
        QCOMPARE(questions.told, QStringList{QStringLiteral("Information cannot contain ;")});
        QVERIFY(dialog.isVisible());
        QVERIFY(state.markers.isEmpty());

        dialog.txtInfo->setText(QStringLiteral("Door"));
        QTest::keyClick(dialog.txtInfo, Qt::Key_Return);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(state.markers.find(1)->info, QStringLiteral("Door"));
        QCOMPARE(state.markers.find(1)->mapX, 12);

        // Next use offers the last text, all of it selected.
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_COMPARE(dialog.txtInfo->selectedText(), QStringLiteral("Door"));

        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(state.markers.size(), std::size_t(1));
    }

    void modifyingAMarkerThatWasRemovedMeanwhile()
    {
        table::Table state;
        ScriptedQuestions questions;
        int repaints = 0;
        tokens::MarkerExchange exchange(state, [&repaints] { ++repaints; });
        exchange.placeMarker(QStringLiteral("Trap"), 1, 1);

        tokens::frmModifyMarker dialog(exchange, questions);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Modify Marker"));
        dialog.id = 1;
        dialog.txtInfo->setText(QStringLiteral("Pit"));
        dialog.btnSet->click();
        QCOMPARE(state.markers.find(1)->info, QStringLiteral("Pit"));
        QVERIFY(questions.told.isEmpty());

        tokens::frmModifyMarker late(exchange, questions);
        late.id = 1;
        state.markers.remove(QStringLiteral("1"));
        late.txtInfo->setText(QStringLiteral("Gone"));
        late.btnSet->click();
        QCOMPARE(questions.told, QStringList{QStringLiteral("Master had deleted the marker - can't update")});
        QCOMPARE(late.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestMarkerDialogs)
#include "tst_marker_dialogs.moc"
