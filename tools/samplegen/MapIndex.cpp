#include "MapIndex.h"

namespace vellmar::samplegen {

QByteArray mapIndexText(const QStringList &remarks, const std::vector<MapEntry> &entries)
{
    QString text;
    auto line = [&text](const QString &l) { text += l + u"\r\n"; };
    for (const QString &remark : remarks)
        line(remark);
    for (const MapEntry &e : entries) {
        line(u"mapname=" + e.name);
        line(u"mapfile=" + e.file);
        line(u"map10size=" + QString::number(e.map10Size, 'g', 10));
        line(u"map10offsetX=" + QString::number(e.offsetX));
        line(u"map10offsetY=" + QString::number(e.offsetY));
    }
    // The reader uses the platform's single-byte character set; keep to ASCII.
    return text.toLatin1();
}

} // namespace vellmar::samplegen
