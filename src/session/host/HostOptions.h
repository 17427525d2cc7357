#pragma once

#include "HeadlessHost.h"

#include <QString>
#include <QStringList>

#include <optional>

// vellmar-host's command line.
namespace vellmar::session {

struct HostOptions
{
    bool help = false;
    HeadlessHost::Options host;
    TransportSettings settings;
};

// Empty, with a sentence in error, when the command line is not usable.
std::optional<HostOptions> parseHostOptions(const QStringList &arguments, QString *error);
QString hostUsage();

} // namespace vellmar::session
