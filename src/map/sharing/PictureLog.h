#pragma once

#include <QLoggingCategory>

// Picture sharing logs here: bad input from the network, failed checks,
// source changes.
namespace vellmar::map {
Q_DECLARE_LOGGING_CATEGORY(lcPictures)
}
