#include "Dispatcher.h"

#include "session/protocol/Messages.h"
#include "session/transport/SessionTransport.h"

#include <QLoggingCategory>

namespace vellmar::session {

namespace {

Q_LOGGING_CATEGORY(lcDispatch, "vellmar.dispatch", QtWarningMsg)

bool isMarkerType(std::int32_t type)
{
    return type == MSG_REMOVE_MARKER || type == MSG_PLACE_MARKER || type == MSG_REQUEST_MARKER
           || type == MSG_UPDATE_MARKER;
}

// Keeps a text within the longest one shown, without splitting a character
// that takes two UTF-16 units.
QString capped(QString text, PlayerId from)
{
    if (text.size() <= Dispatcher::longestShownText)
        return text;
    qsizetype keep = Dispatcher::longestShownText;
    if (text.at(keep - 1).isHighSurrogate())
        --keep;
    qCWarning(lcDispatch, "text of %lld characters from player %d cut to %lld", qlonglong(text.size()), int(from),
              qlonglong(keep));
    text.truncate(keep);
    text += u'\u2026';
    return text;
}

} // namespace

const QString Dispatcher::joinSound = QStringLiteral("Sounds/knucklhd.wav");
const QString Dispatcher::leaveSound = QStringLiteral("Sounds/doorshut.wav");

QString Dispatcher::oneLine(QString text)
{
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    return text;
}

void Dispatcher::drain(SessionTransport &transport, PlayerId ownPlayerID, DispatchTarget &target)
{
    const int waiting = transport.GetMessageCount(ownPlayerID);
    for (int i = 0; i < waiting; ++i) {
        auto received = transport.Receive();
        if (!received)
            return;
        MessageBuffer &message = received->message;
        const auto type = message.ReadLong();
        if (!type) {
            qCWarning(lcDispatch, "skipped a message from player %d: it holds no type", int(received->from));
            continue; // keep the session going
        }

        if (received->from == kSystemSender) {
            handleNotice(*type, target);
            continue;
        }

        // A sender that cannot be named (gone before we asked) is skipped,
        // like a message about an unknown marker.
        const auto name = transport.GetPlayerFriendlyName(received->from);
        if (!name) {
            qCWarning(lcDispatch, "skipped a message of type %d from unknown player %d", int(*type),
                      int(received->from));
            continue;
        }
        const QString sender = oneLine(*name);

        if (!isApplicationType(*type)) {
            qCDebug(lcDispatch, "ignored a message of unknown type %d from player %d", int(*type), int(received->from));
            continue;
        }
        QString why;
        const auto decoded = decodeMessage(message.bytes(), &why);
        if (!decoded) {
            qCWarning(lcDispatch, "skipped a message of type %d from player %d: %s", int(*type), int(received->from),
                      qUtf8Printable(why));
            continue;
        }
        const QString text = oneLine(decoded->payload);
        if (isMarkerType(*type)) { // their fields are never cut
            target.receiveMarkerMessage(*type, received->from, sender, text);
            continue;
        }
        const QString shown = capped(text, received->from);

        switch (*type) {
        case MSG_CHAT:
            target.Display(sender + u" : " + shown);
            break;
        case MSG_PRIVATE_CHAT:
            target.receivePrivateLine(received->from, sender, shown);
            break;
        case MSG_PARTY_CHAT:
            target.receivePartyLine(sender + u" : " + shown);
            break;
        case MSG_DICE_ROLL:
            if (target.isMaster())
                target.Display(u"<" + target.rollTag() + u">" + sender + u" rolls " + shown);
            else
                target.Display(sender + u" rolls " + shown);
            break;
        default:
            break;
        }
    }
}

void Dispatcher::handleNotice(std::int32_t notice, DispatchTarget &target)
{
    switch (notice) {
    case NOTICE_PLAYER_CREATED:
        target.Display(QStringLiteral("<SYS> A user has joined"));
        target.RefreshPlayerList();
        target.playSound(joinSound);
        break;
    case NOTICE_PLAYER_DESTROYED:
        target.Display(QStringLiteral("<SYS> A user has left"));
        target.RefreshPlayerList();
        target.playSound(leaveSound);
        break;
    case NOTICE_HOST_MIGRATED:
        target.Display(QStringLiteral("<SYS> Hosting migrated to you"));
        break;
    case NOTICE_SESSION_LOST:
        target.Display(QStringLiteral("<SYS> The connection to the session was lost"));
        break;
    default:
        break;
    }
}

} // namespace vellmar::session
