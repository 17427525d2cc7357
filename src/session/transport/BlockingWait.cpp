#include "BlockingWait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace vellmar::session {

bool waitUntil(const std::function<bool()> &done, std::chrono::milliseconds timeout)
{
    if (done())
        return true;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() >= timeout.count())
            loop.quit();
    });
    poll.start();
    loop.exec();
    return done();
}

} // namespace vellmar::session
