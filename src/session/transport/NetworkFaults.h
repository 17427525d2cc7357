#pragma once

#include <QObject>

#include <chrono>

// A participant's own network misbehaving on purpose, for tests of what the
// transport does then. In normal use there is none: the network is taken as
// it comes.
namespace vellmar::session {

class NetworkFaults : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // How much longer no connection attempt of this participant gets
    // through; zero while its network works.
    virtual std::chrono::milliseconds outageLeft() const = 0;

Q_SIGNALS:
    // This participant's link to its host breaks now (a pulled cable).
    void linkCut();
    // This participant stops without a word: every connection is dropped
    // and nothing more is sent, as a crash would.
    void crashed();
};

} // namespace vellmar::session
