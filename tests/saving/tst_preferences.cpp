#include "saving/Preferences.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest/QTest>

using vellmar::saving::Preferences;

class TestPreferences : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString ini() const { return m_dir.filePath(QStringLiteral("settings.ini")); }

private Q_SLOTS:
    void aFirstStartRemembersNothing()
    {
        const Preferences fresh(m_dir.filePath(QStringLiteral("fresh.ini")));
        QCOMPARE(fresh.lastUserName(), QString());
        QCOMPARE(fresh.hostAddresses(), QStringList());
        QCOMPARE(fresh.windowGeometry(QStringLiteral("frmCombat")), QByteArray());
        QVERIFY(!fresh.pictureCacheLimit());
        QCOMPARE(fresh.recentTables(), QStringList());
    }

    void valuesSurviveANewRun()
    {
        {
            Preferences first(ini());
            first.setLastUserName(QStringLiteral("Brenna"));
            first.setWindowGeometry(QStringLiteral("frmCombat"), QByteArray("\x01\x02", 2));
            first.setPictureCacheLimit(512LL * 1024 * 1024);
            for (int i = 0; i < Preferences::recentLimit + 2; ++i)
                first.rememberHostAddress(QStringLiteral("10.0.0.%1").arg(i));
            first.rememberHostAddress(QStringLiteral(" 10.0.0.3 "));
            first.rememberHostAddress(QString());
        }
        const Preferences again(ini());
        QCOMPARE(again.lastUserName(), QStringLiteral("Brenna"));
        QCOMPARE(again.windowGeometry(QStringLiteral("frmCombat")), QByteArray("\x01\x02", 2));
        QCOMPARE(again.pictureCacheLimit(), std::optional<qint64>(512LL * 1024 * 1024));
        const QStringList hosts = again.hostAddresses();
        QCOMPARE(hosts.size(), Preferences::recentLimit);
        QCOMPARE(hosts.first(), QStringLiteral("10.0.0.3"));
        QCOMPARE(hosts.at(1), QStringLiteral("10.0.0.9"));
        QCOMPARE(hosts.count(QStringLiteral("10.0.0.3")), 1);
    }

    void recentTablesDropFilesThatAreGone()
    {
        Preferences preferences(ini());
        const QString kept = m_dir.filePath(QStringLiteral("kept.vtable"));
        const QString gone = m_dir.filePath(QStringLiteral("gone.vtable"));
        for (const QString &path : {kept, gone}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        preferences.rememberTable(kept);
        preferences.rememberTable(gone);
        QCOMPARE(preferences.recentTables(), (QStringList{gone, kept}));
        QFile::remove(gone);
        QCOMPARE(preferences.recentTables(), QStringList{kept});
        preferences.forgetTable(kept);
        QCOMPARE(preferences.recentTables(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestPreferences)
#include "tst_preferences.moc"
