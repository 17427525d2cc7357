#include "BlockingWait.h"

#include <QAbstractEventDispatcher>
#include <QEventLoop>
#include <QTimer>

namespace vellmar::session {

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    if (done())
        return true;
    QEventLoop loop;
    const auto check = [&] {
        if (done())
            loop.quit();
    };
    // The dispatcher says when it is about to sleep, which is after every
    // batch of events it handled, and when it wakes up, which covers a loop
    // so busy that it never sleeps.
    auto *dispatcher = QAbstractEventDispatcher::instance();
    const auto asleep = QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, check);
    const auto awake = QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, &loop, check);
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeout);
    loop.exec();
    QObject::disconnect(asleep);
    QObject::disconnect(awake);
    return done();
}

} // namespace vellmar::session
