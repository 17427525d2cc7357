// Autosaves a table that changes every few milliseconds until it is killed:
// the crash-safety test kills it at random moments. Marker 1's text is the
// time (ms since the epoch) at which the table was last changed.
#include "TableSamples.h"
#include "saving/Autosaver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    const QString folder = args.at(1);
    const int intervalMs = args.at(2).toInt();
    const QString picture = args.at(3);

    vellmar::saving::TableSnapshot table{vellmar::testing::sampleTable(200, 50), picture, false};
    QTimer change;
    QObject::connect(&change, &QTimer::timeout, [&table] {
        table.content.markers.front().info = QString::number(QDateTime::currentMSecsSinceEpoch());
    });
    change.start(5);
    vellmar::saving::Autosaver autosaver(
        folder, [&table] { return table; }, std::chrono::milliseconds(intervalMs));
    autosaver.start();
    return app.exec();
}
