#include "app/platform/WorkingFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace vellmar::app {

namespace {
Q_LOGGING_CATEGORY(lcFolder, "vellmar.app", QtWarningMsg)

const QString indexFile = QStringLiteral("map/mapindex.txt");

void copyMissing(const QString &from, const QString &to)
{
    const QDir source(from);
    QDirIterator files(from, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString target = QDir(to).filePath(source.relativeFilePath(path));
        if (QFileInfo::exists(target))
            continue;
        if (!QDir().mkpath(QFileInfo(target).path()) || !QFile::copy(path, target))
            qCWarning(lcFolder) << "could not copy the sample file" << path << "to" << target;
    }
}
} // namespace

QString chooseWorkingFolder(const QString &current, const QString &userData, const QString &samples)
{
    if (QFileInfo::exists(QDir(current).filePath(indexFile)))
        return current;
    if (userData.isEmpty() || !QDir().mkpath(userData)) {
        qCWarning(lcFolder) << "cannot make the working folder" << userData << "- staying in" << current;
        return current;
    }
    if (!samples.isEmpty())
        copyMissing(samples, userData);
    return userData;
}

QString findSamples(const QString &programFolder)
{
    const QDir program(programFolder);
    // Installed: <prefix>/bin/vellmar next to <prefix>/share/vellmar/sample.
    // Built: <build>/src/app/vellmar next to <build>/sample.
    for (const QString &relative : {QStringLiteral("../share/vellmar/sample"), QStringLiteral("../../sample")}) {
        const QString candidate = QDir::cleanPath(program.filePath(relative));
        if (QFileInfo::exists(QDir(candidate).filePath(indexFile)))
            return candidate;
    }
    return {};
}

} // namespace vellmar::app
