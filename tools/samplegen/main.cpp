// Generates the sample content that a working folder needs: map pictures
// with their index and the two sounds. Everything is drawn and synthesised
// here from fixed seeds, so the output is the same on every run.

#include "SampleContent.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    // No QGuiApplication: painting into a QImage needs none, and the tool
    // runs during the build where there is no display.
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        err << "usage: vellmar_samplegen <output folder>\n"
               "writes <output folder>/map/ (pictures and mapindex.txt) and <output folder>/Sounds/\n";
        return 2;
    }
    const QString error = vellmar::samplegen::writeSampleContent(args.at(1));
    if (!error.isEmpty()) {
        err << "vellmar_samplegen: " << error << '\n';
        return 1;
    }
    return 0;
}
