#include "app/forms/QtQuestions.h"
#include "app/forms/TableFiles.h"
#include "app/forms/frmMain.h"
#include "app/platform/WorkingFolder.h"
#include "session/portmap/RouterPortMapper.h"
#include "session/transport/TcpSessionTransport.h"

#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QStandardPaths>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellmar"));
    // Battle maps are large pictures; Qt's default limit refuses them.
    QImageReader::setAllocationLimit(1024);
    QDir::setCurrent(vellmar::app::chooseWorkingFolder(
        QDir::currentPath(), QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
        vellmar::app::findSamples(QApplication::applicationDirPath())));

    vellmar::app::QtQuestions questions;
    vellmar::app::frmMain mainWindow(
        questions,
        [](vellmar::core::Questions &asker) { return std::make_unique<vellmar::session::TcpSessionTransport>(&asker); },
        vellmar::app::frmMain::sessionPictureSupply(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
                                                    + QStringLiteral("/pictures")));
    mainWindow.setPortMapperFactory([] {
        return std::make_unique<vellmar::session::RouterPortMapper>(
            vellmar::session::RouterSettings::fromEnvironment());
    });
    questions.setParent(&mainWindow);
    mainWindow.show();
    mainWindow.useStorage(vellmar::app::Storage::standard());
    return app.exec();
}
