#pragma once

#include <QString>

#include <cstdint>

namespace vellmar::tokens {

// Where rolled initiatives go: the combat tracker, opened if need be. An
// interface, so the icon commands need no window to be built or tested.
class InitiativeTracker
{
public:
    virtual ~InitiativeTracker() = default;
    virtual void AddRow(const QString &participant, std::int32_t initiative) = 0;
};

} // namespace vellmar::tokens
