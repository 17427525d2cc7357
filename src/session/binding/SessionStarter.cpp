#include "SessionStarter.h"

#include "SessionIdentity.h"
#include "core/Questions.h"
#include "session/transport/SessionTransport.h"

namespace vellmar::session {

SessionStarter::SessionStarter(SessionTransport &transport, core::Questions &questions, Ui &ui)
    : m_transport(transport)
    , m_questions(questions)
    , m_ui(ui)
{}

SessionStarter::Outcome SessionStarter::host(const QString &registeredName)
{
    m_ui.setBusy(true);
    if (!bindTcpTransport())
        return fail();

    SessionDescription desc = m_transport.CreateSessionData();
    desc.guidApplication = identity::applicationGuid();
    desc.maxPlayers = identity::maxPlayers;
    desc.sessionName = identity::sessionName();
    desc.flags = identity::sessionFlags;
    if (!m_transport.Open(desc, OpenMode::Create))
        return fail();

    Outcome outcome;
    if (!createPlayer(registeredName, outcome))
        return fail();
    return outcome;
}

SessionStarter::Outcome SessionStarter::join(const QString &registeredName)
{
    if (!bindTcpTransport())
        return fail();

    SessionDescription desc = m_transport.CreateSessionData();
    desc.guidApplication = identity::applicationGuid();
    const QList<SessionDescription> sessions = m_transport.GetDPEnumSessions(desc);
    if (sessions.isEmpty()) {
        m_questions.tell(QStringLiteral("No Sessions found"));
        return {Result::NoSessions};
    }
    // The first session found is joined; there is one per network in practice.
    SessionDescription session = sessions.first();
    QString name = registeredName;
    // Only a host without a player of its own leaves the role open; whoever
    // asks first while nobody holds it gets it.
    if ((session.flags & kSessionFlagMasterFree)
        && m_questions.askYesNo(
            QStringLiteral("Nobody is game master in \"%1\" yet. Join as the game master?").arg(session.sessionName))) {
        session.asksForMaster = true;
        name += u"(DM)";
    }
    if (!m_transport.Open(session, OpenMode::Join))
        return fail();

    Outcome outcome;
    if (!createPlayer(name, outcome))
        return fail();
    return outcome;
}

bool SessionStarter::bindTcpTransport()
{
    m_ui.Display(QStringLiteral("Enumerating protocols..."));
    QString tcpAddress;
    for (const ConnectionEntry &entry : m_transport.GetDPEnumConnections()) {
        if (entry.displayName.contains(u"TCP")) {
            m_ui.Display(QStringLiteral("- TCP/IP Protocol found"));
            tcpAddress = entry.address; // the last match wins
        }
    }
    m_ui.Display(QStringLiteral("Opening Session..."));
    return !tcpAddress.isNull() && m_transport.InitializeConnection(tcpAddress);
}

bool SessionStarter::createPlayer(const QString &registeredName, Outcome &outcome)
{
    m_ui.Display(QStringLiteral("- Session Opened"));
    m_ui.Display(QStringLiteral("Creating user entry..."));
    outcome.eventHandle = m_transport.CreateEvent();
    if (outcome.eventHandle == 0)
        return false;
    m_ui.Display(QStringLiteral("- DirectX Event created"));
    const auto id = m_transport.CreatePlayer(registeredName);
    if (!id)
        return false;
    outcome.ownPlayerID = *id;
    outcome.registeredName = registeredName;
    m_ui.Display(QStringLiteral("- User entry created"));
    m_ui.setBusy(false);
    m_ui.Display(QStringLiteral("**Success**"));
    outcome.result = Result::Success;
    return true;
}

SessionStarter::Outcome SessionStarter::fail()
{
    m_ui.setBusy(false);
    m_questions.tell(QStringLiteral("User creation error"));
    return {Result::Failed};
}

} // namespace vellmar::session
