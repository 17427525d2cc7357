#pragma once

#include "session/transport/TransportTypes.h"

#include <QString>

#include <cstdint>

namespace vellmar::core {
class Questions;
}

namespace vellmar::session {

class SessionTransport;

// Brings a session up for hosting or joining, reporting each step as a status
// line, and says how it ended. The window does the rest (caption, controls,
// role flags) from the outcome.
class SessionStarter
{
public:
    class Ui
    {
    public:
        virtual ~Ui() = default;
        virtual void Display(const QString &line) = 0;
        virtual void setBusy(bool busy) = 0;
    };

    enum class Result { Success, Failed, NoSessions };
    struct Outcome
    {
        Result result = Result::Failed;
        PlayerId ownPlayerID = 0;
        std::int32_t eventHandle = 0;
        // The name the player was registered under: a joiner who asked for
        // the game master role is marked "(DM)" as a hosting master is.
        QString registeredName{};
    };

    SessionStarter(SessionTransport &transport, core::Questions &questions, Ui &ui);

    Outcome host(const QString &registeredName);
    Outcome join(const QString &registeredName);

private:
    bool bindTcpTransport();
    bool createPlayer(const QString &registeredName, Outcome &outcome);
    Outcome fail();

    SessionTransport &m_transport;
    core::Questions &m_questions;
    Ui &m_ui;
};

} // namespace vellmar::session
