#pragma once

#include "saving/TableContent.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace vellmar::saving {

// Saves the table into a folder of its own every interval in which it
// changed, keeping the newest few. The copy of the table is taken on the
// caller's thread (cheap: the records share their texts); hashing, packing
// and writing happen on a worker thread, one save at a time, each into a
// temporary file that is renamed into place when complete.
//
// A mark file tells whether the previous run ended cleanly.
class Autosaver final : public QObject
{
    Q_OBJECT
public:
    using Snapshot = std::function<TableSnapshot()>;

    Autosaver(const QString &folder, Snapshot snapshot, std::chrono::milliseconds interval = std::chrono::minutes(2),
              QObject *parent = nullptr);
    // Waits for a save in progress.
    ~Autosaver() override;

    // How many autosaves are kept; older ones are deleted.
    static constexpr int keep = 10;

    // Marks this run as running and starts the timer. Stray temporary files
    // of an interrupted save are removed.
    void start();
    // Saves now if the table changed since the last autosave, then waits
    // until the save is on disk.
    void saveNowAndWait();
    // At a clean exit: the last save, then the mark is removed.
    void finish();

    QString folder() const { return m_folder; }
    // The autosaves in the folder, newest first.
    static QStringList autosaves(const QString &folder);
    // When the previous run did not end cleanly: the newest autosave and its
    // time. Call before start(), which replaces the mark.
    struct Restorable
    {
        QString file;
        QDateTime saved;
    };
    static std::optional<Restorable> afterCrash(const QString &folder);

Q_SIGNALS:
    void saved(const QString &file);
    void failed(const QString &reason);

private:
    void tick();
    bool launch(const TableSnapshot &snapshot);
    QString nextFileName();

    QString m_folder;
    Snapshot m_snapshot;
    QTimer m_timer;
    QThreadPool m_pool;
    std::optional<TableSnapshot> m_lastSaved;
    QString m_lastName;
    int m_sameNameCount = 0;
};

} // namespace vellmar::saving
