#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace vellmar::samplegen {

struct MapEntry
{
    QString name;
    QString file; // relative to the map folder
    double map10Size;
    int offsetX;
    int offsetY;
};

// The index text: remark lines, then one block of key lines per map. Lines
// end in CR LF, the only line end that the program's reader accepts besides a
// lone CR.
QByteArray mapIndexText(const QStringList &remarks, const std::vector<MapEntry> &entries);

} // namespace vellmar::samplegen
