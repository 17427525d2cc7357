#pragma once

// Several copies of the program in one test process, each with its own main
// window and a real transport on loopback.

#include "ScriptedQuestions.h"
#include "TransportHarness.h"
#include "app/forms/frmMain.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QtTest/QTest>

#include <algorithm>
#include <memory>

namespace vellmar::apptest {

using app::frmMain;

// The main chat lines after the empty first one.
inline QStringList lines(const QPlainTextEdit *edit) { return edit->toPlainText().split(u'\n').mid(1); }

inline QStringList playerNames(const frmMain &window)
{
    QStringList names;
    for (int i = 0; i < window.lstPlayer->count(); ++i)
        names << window.lstPlayer->item(i)->text();
    return names;
}

// Each copy's transport runs on loopback with short clocks.
inline const frmMain::TransportFactory onLoopback = [](core::Questions &asker) {
    return std::make_unique<session::TcpSessionTransport>(&asker, session::testing::fastSettings());
};

// One copy of the program: its own main window, its own answers to the
// questions it asks, and a real transport on loopback.
struct Participant
{
    ScriptedQuestions questions;
    std::unique_ptr<frmMain> window;

    explicit Participant(const frmMain::TransportFactory &factory = onLoopback,
                         frmMain::PictureSupplyFactory pictures = frmMain::defaultPictureSupply())
        : window(std::make_unique<frmMain>(questions, factory, std::move(pictures)))
    {}

    frmMain &w() { return *window; }
    std::uint16_t port() const
    {
        return qobject_cast<session::TcpSessionTransport *>(window->directPlay())->hostPort();
    }
    bool says(const QString &line) const { return lines(window->txtChat).contains(line); }
    int count(const QString &line) const { return int(lines(window->txtChat).count(line)); }
    void type(const QString &text)
    {
        window->txtInput->setText(text);
        QTest::keyClick(window->txtInput, Qt::Key_Return);
    }
};

inline void host(Participant &p, const QString &name)
{
    p.questions.textAnswers = {name};
    p.w().mnuHostSession->trigger();
    QVERIFY(p.w().state().inSession);
}

inline void join(Participant &p, const QString &name, const Participant &host)
{
    p.questions.textAnswers = {name, u"127.0.0.1:" + QString::number(host.port())};
    p.w().mnuJoinSession->trigger();
    QVERIFY(p.w().state().inSession);
}

// Scout hosts, Ranger and then Cleric (if given) join; true once every copy
// lists everyone.
inline bool gather(Participant &master, Participant &ranger, Participant *cleric = nullptr)
{
    host(master, QStringLiteral("Scout"));
    join(ranger, QStringLiteral("Ranger"), master);
    if (cleric)
        join(*cleric, QStringLiteral("Cleric"), master);
    const QList<Participant *> all = cleric ? QList{&master, &ranger, cleric} : QList{&master, &ranger};
    return !QTest::currentTestFailed() && QTest::qWaitFor([&] {
        return std::all_of(all.cbegin(), all.cend(),
                           [&](Participant *p) { return playerNames(p->w()).size() == all.size(); });
    });
}

} // namespace vellmar::apptest
