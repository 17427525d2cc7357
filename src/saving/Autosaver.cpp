#include "Autosaver.h"

#include "SavingLog.h"
#include "TableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vellmar::saving {

namespace {

const QString runningMark = QStringLiteral("running");
const QString prefix = QStringLiteral("table-");

bool sameTable(const TableSnapshot &a, const TableSnapshot &b)
{
    return a.pictureFile == b.pictureFile && a.linkOnly == b.linkOnly && a.content == b.content;
}

// Removes all but the newest `keep` autosaves.
void prune(const QString &folder, int keep)
{
    const QStringList files = Autosaver::autosaves(folder);
    for (qsizetype i = keep; i < files.size(); ++i)
        QFile::remove(files.at(i));
}

} // namespace

Autosaver::Autosaver(const QString &folder, Snapshot snapshot, std::chrono::milliseconds interval, QObject *parent)
    : QObject(parent)
    , m_folder(folder)
    , m_snapshot(std::move(snapshot))
{
    m_pool.setMaxThreadCount(1);
    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, &Autosaver::tick);
}

Autosaver::~Autosaver() { m_pool.waitForDone(); }

void Autosaver::start()
{
    QDir dir(m_folder);
    dir.mkpath(QStringLiteral("."));
    // A save cut off by a crash leaves its temporary files; they are never
    // the newest autosave, only clutter.
    const QStringList stray = dir.entryList({QStringLiteral("*.part"), QStringLiteral("*.part.*")}, QDir::Files);
    for (const QString &name : stray)
        dir.remove(name);
    QFile mark(dir.filePath(runningMark));
    if (!mark.open(QIODevice::WriteOnly))
        qCWarning(lcSaving) << "cannot mark the run in" << m_folder;
    m_timer.start();
}

void Autosaver::tick()
{
    if (m_pool.activeThreadCount() > 0)
        return; // still writing the previous one; the next tick catches up
    launch(m_snapshot());
}

bool Autosaver::launch(const TableSnapshot &snapshot)
{
    if (m_lastSaved && sameTable(*m_lastSaved, snapshot))
        return false;
    m_lastSaved = snapshot;
    const QString path = QDir(m_folder).filePath(nextFileName());
    const QString folder = m_folder;
    m_pool.start([this, snapshot, path, folder] {
        QString error;
        const bool ok = writeTableFile(snapshot, path, &error);
        if (ok)
            prune(folder, keep);
        QMetaObject::invokeMethod(
            this,
            [this, ok, path, error] {
                if (ok) {
                    Q_EMIT saved(path);
                } else {
                    m_lastSaved.reset(); // try again at the next tick
                    Q_EMIT failed(error);
                }
            },
            Qt::QueuedConnection);
    });
    return true;
}

QString Autosaver::nextFileName()
{
    // UTC, so names sort in time order across clock changes; a counter keeps
    // two saves in the same millisecond apart.
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
    m_sameNameCount = stamp == m_lastName ? m_sameNameCount + 1 : 0;
    m_lastName = stamp;
    return prefix + stamp + u'-' + QString::number(m_sameNameCount).rightJustified(3, u'0') + u'.' + tableFileSuffix;
}

void Autosaver::saveNowAndWait()
{
    m_pool.waitForDone();
    launch(m_snapshot());
    m_pool.waitForDone();
}

void Autosaver::finish()
{
    m_timer.stop();
    saveNowAndWait();
    QFile::remove(QDir(m_folder).filePath(runningMark));
}

QStringList Autosaver::autosaves(const QString &folder)
{
    const QDir dir(folder);
    QStringList names = dir.entryList({prefix + u"*." + tableFileSuffix}, QDir::Files, QDir::Name | QDir::Reversed);
    for (QString &name : names)
        name = dir.filePath(name);
    return names;
}

std::optional<Autosaver::Restorable> Autosaver::afterCrash(const QString &folder)
{
    if (!QFileInfo::exists(QDir(folder).filePath(runningMark)))
        return std::nullopt;
    const QStringList files = autosaves(folder);
    if (files.isEmpty())
        return std::nullopt;
    return Restorable{files.first(), QFileInfo(files.first()).lastModified()};
}

} // namespace vellmar::saving
