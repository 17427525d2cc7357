#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace vellmar::saving {

// What the program remembers between runs. Nothing is written until the
// user does something worth remembering, so a first start finds every
// question as it always was.
class Preferences
{
public:
    // The user's own settings (QSettings' usual place for this program).
    Preferences();
    // An INI file of its own; tests use a temporary one.
    explicit Preferences(const QString &iniFile);

    static constexpr int recentLimit = 8;

    QString lastUserName() const;
    void setLastUserName(const QString &name);

    // Newest first; the first is offered when joining.
    QStringList hostAddresses() const;
    void rememberHostAddress(const QString &address);

    // Tool windows by object name, as QWidget::saveGeometry gives them.
    QByteArray windowGeometry(const QString &window) const;
    void setWindowGeometry(const QString &window, const QByteArray &geometry);

    // The picture cache's size limit in bytes; empty when never set.
    std::optional<qint64> pictureCacheLimit() const;
    void setPictureCacheLimit(qint64 bytes);

    // Table files opened or saved, newest first; files that are gone are dropped.
    QStringList recentTables() const;
    void rememberTable(const QString &path);
    void forgetTable(const QString &path);

    void sync() { m_settings->sync(); }

private:
    QStringList recent(const QString &key) const;
    void remember(const QString &key, const QString &value);

    std::unique_ptr<QSettings> m_settings;
};

} // namespace vellmar::saving
