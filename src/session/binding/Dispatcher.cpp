#include "Dispatcher.h"

#include "session/protocol/Messages.h"
#include "session/transport/SessionTransport.h"

#include <QLoggingCategory>

#include <algorithm>

namespace vellmar::session {

namespace {

Q_LOGGING_CATEGORY(lcDispatch, "vellmar.dispatch", QtWarningMsg)

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

void Dispatcher::route(std::int32_t type, Payload payload, Handler handler)
{
    Q_ASSERT_X(!m_routes.contains(type), "Dispatcher::route", "a message type has one owner");
    m_routes.insert(type, {payload, std::move(handler), {}});
}

void Dispatcher::routeBytes(std::int32_t type, BytesHandler handler)
{
    Q_ASSERT_X(!m_routes.contains(type), "Dispatcher::routeBytes", "a message type has one owner");
    m_routes.insert(type, {Payload::fields, {}, std::move(handler)});
}

void Dispatcher::onNotice(std::int32_t notice, NoticeHandler handler)
{
    m_notices[notice].push_back(std::move(handler));
}

void Dispatcher::onNotice(std::int32_t notice, std::function<void()> handler)
{
    onNotice(notice, [handler = std::move(handler)](PlayerId) { handler(); });
}

QString Dispatcher::oneLine(QString text)
{
    const auto breaksLine = [](QChar c) {
        // Printable ASCII, nearly every character, needs no table look-up.
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f)
            return false;
        return c.category() == QChar::Other_Control || c == QChar::LineSeparator || c == QChar::ParagraphSeparator;
    };
    // Only a text that needs a change is detached and written.
    const qsizetype first = std::find_if(text.cbegin(), text.cend(), breaksLine) - text.cbegin();
    if (first == text.size())
        return text;
    QChar *const chars = text.data(); // detaches here, after the search
    for (qsizetype at = first; at < text.size(); ++at) {
        if (breaksLine(chars[at]))
            chars[at] = u' ';
    }
    return text;
}

void Dispatcher::drain(SessionTransport &transport, PlayerId ownPlayerID) const
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
            const auto notice = m_notices.constFind(*type);
            if (notice != m_notices.cend()) {
                const PlayerId about = message.ReadLong().value_or(0);
                for (const NoticeHandler &handler : *notice)
                    handler(about);
            }
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

        const auto route = m_routes.constFind(*type);
        if (route == m_routes.cend()) {
            qCDebug(lcDispatch, "ignored a message of unknown type %d from player %d", int(*type), int(received->from));
            continue;
        }
        QString why;
        if (route->bytesHandler) {
            const auto bytes = decodeMessageBytes(message.bytes(), &why);
            if (!bytes) {
                qCWarning(lcDispatch, "skipped a message of type %d from player %d: %s", int(*type),
                          int(received->from), qUtf8Printable(why));
                continue;
            }
            route->bytesHandler(received->from, *bytes);
            continue;
        }
        const auto decoded = decodeMessage(message.bytes(), &why);
        if (!decoded) {
            qCWarning(lcDispatch, "skipped a message of type %d from player %d: %s", int(*type), int(received->from),
                      qUtf8Printable(why));
            continue;
        }
        QString text = oneLine(decoded->payload);
        if (route->payload == Payload::shownText)
            text = capped(std::move(text), received->from);
        route->handler(received->from, oneLine(*name), text);
    }
}

} // namespace vellmar::session
