#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <utility>

namespace vellmar::testing {

// A working folder whose map/mapindex.txt lists one map without a picture:
// enough for the map list window to open. The program reads the index
// relative to the current folder, so a test enters the folder around the
// calls that need it; leaving (or destroying) restores the previous one.
class MapFolder
{
public:
    bool create()
    {
        if (!m_root.isValid() || !QDir(m_root.path()).mkdir(QStringLiteral("map")))
            return false;
        QFile index(m_root.filePath(QStringLiteral("map/mapindex.txt")));
        return index.open(QIODevice::WriteOnly) && index.write("mapname=Keep\n") > 0;
    }
    bool enter()
    {
        m_previous = QDir::currentPath();
        return QDir::setCurrent(m_root.path());
    }
    void leave()
    {
        if (!m_previous.isEmpty())
            QDir::setCurrent(std::exchange(m_previous, QString()));
    }
    ~MapFolder() { leave(); }

private:
    QTemporaryDir m_root;
    QString m_previous;
};

} // namespace vellmar::testing
