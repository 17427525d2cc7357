#include "app/forms/QtQuestions.h"
#include "app/forms/TableFiles.h"
#include "app/forms/frmMain.h"
#include "session/transport/TcpSessionTransport.h"

#include <QApplication>
#include <QImageReader>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellmar"));
    // Battle maps are large pictures; Qt's default limit refuses them.
    QImageReader::setAllocationLimit(1024);

    vellmar::app::QtQuestions questions;
    vellmar::app::frmMain mainWindow(questions, [](vellmar::core::Questions &asker) {
        return std::make_unique<vellmar::session::TcpSessionTransport>(&asker);
    });
    questions.setParent(&mainWindow);
    mainWindow.show();
    mainWindow.useStorage(vellmar::app::Storage::standard());
    return app.exec();
}
