#include "Dispatcher.h"

#include "session/protocol/Messages.h"
#include "session/transport/SessionTransport.h"

namespace vellmar::session {

namespace {

bool isApplicationType(std::int32_t type)
{
    switch (type) {
    case MSG_CHAT:
    case MSG_PRIVATE_CHAT:
    case MSG_PARTY_CHAT:
    case MSG_DICE_ROLL:
    case MSG_REMOVE_MARKER:
    case MSG_PLACE_MARKER:
    case MSG_REQUEST_MARKER:
    case MSG_UPDATE_MARKER:
        return true;
    default:
        return false;
    }
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
        if (!type)
            continue; // nothing readable: skip it, keep the session going

        if (received->from == kSystemSender) {
            handleNotice(*type, target);
            continue;
        }

        // A sender that cannot be named (gone before we asked) is skipped,
        // like a message about an unknown marker.
        const auto name = transport.GetPlayerFriendlyName(received->from);
        if (!name)
            continue;
        const QString sender = oneLine(*name);

        if (!isApplicationType(*type))
            continue; // not ours: dropped unread
        const auto payload = message.ReadString();
        if (!payload)
            continue;
        const QString text = oneLine(*payload);

        switch (*type) {
        case MSG_CHAT:
            target.Display(sender + u" : " + text);
            break;
        case MSG_PRIVATE_CHAT:
            target.receivePrivateLine(received->from, sender, text);
            break;
        case MSG_PARTY_CHAT:
            target.receivePartyLine(sender + u" : " + text);
            break;
        case MSG_DICE_ROLL:
            if (target.isMaster())
                target.Display(u"<" + target.rollTag() + u">" + sender + u" rolls " + text);
            else
                target.Display(sender + u" rolls " + text);
            break;
        default:
            target.receiveMarkerMessage(*type, received->from, sender, text);
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
