#pragma once

#include <QLoggingCategory>

namespace vellmar::saving {
Q_DECLARE_LOGGING_CATEGORY(lcSaving)
}
