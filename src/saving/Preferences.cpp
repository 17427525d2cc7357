#include "Preferences.h"

#include <QFileInfo>

namespace vellmar::saving {

namespace {
const QString userNameKey = QStringLiteral("session/lastUserName");
const QString hostsKey = QStringLiteral("session/hostAddresses");
const QString windowsGroup = QStringLiteral("windows/");
const QString cacheLimitKey = QStringLiteral("pictures/cacheLimitBytes");
const QString recentTablesKey = QStringLiteral("tables/recent");
} // namespace

Preferences::Preferences() : m_settings(std::make_unique<QSettings>()) {}

Preferences::Preferences(const QString &iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat))
{}

QString Preferences::lastUserName() const { return m_settings->value(userNameKey).toString(); }

void Preferences::setLastUserName(const QString &name) { m_settings->setValue(userNameKey, name); }

QStringList Preferences::hostAddresses() const { return recent(hostsKey); }

void Preferences::rememberHostAddress(const QString &address)
{
    if (!address.trimmed().isEmpty())
        remember(hostsKey, address.trimmed());
}

QByteArray Preferences::windowGeometry(const QString &window) const
{
    return m_settings->value(windowsGroup + window).toByteArray();
}

void Preferences::setWindowGeometry(const QString &window, const QByteArray &geometry)
{
    m_settings->setValue(windowsGroup + window, geometry);
}

std::optional<qint64> Preferences::pictureCacheLimit() const
{
    bool ok = false;
    const qint64 bytes = m_settings->value(cacheLimitKey).toLongLong(&ok);
    return ok && bytes > 0 ? std::optional<qint64>(bytes) : std::nullopt;
}

void Preferences::setPictureCacheLimit(qint64 bytes) { m_settings->setValue(cacheLimitKey, bytes); }

QStringList Preferences::recentTables() const
{
    QStringList files = recent(recentTablesKey);
    files.removeIf([](const QString &file) { return !QFileInfo::exists(file); });
    return files;
}

void Preferences::rememberTable(const QString &path) { remember(recentTablesKey, QFileInfo(path).absoluteFilePath()); }

void Preferences::forgetTable(const QString &path)
{
    QStringList files = recent(recentTablesKey);
    files.removeAll(QFileInfo(path).absoluteFilePath());
    m_settings->setValue(recentTablesKey, files);
}

QStringList Preferences::recent(const QString &key) const { return m_settings->value(key).toStringList(); }

void Preferences::remember(const QString &key, const QString &value)
{
    QStringList values = recent(key);
    values.removeAll(value);
    values.prepend(value);
    m_settings->setValue(key, values.mid(0, recentLimit));
}

} // namespace vellmar::saving
