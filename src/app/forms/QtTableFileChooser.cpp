#include "QtTableFileChooser.h"

#include "saving/TableFile.h"

#include <QFileDialog>

namespace vellmar::app {

namespace {
QString tableFilter(const QString &what) { return what + u" (*." + saving::tableFileSuffix + u')'; }
} // namespace

std::optional<saving::TableFileChooser::SaveChoice> QtTableFileChooser::chooseSaveFile(const QString &suggested)
{
    const QString withPicture = tableFilter(QStringLiteral("Vellmar table"));
    const QString linkOnly = tableFilter(QStringLiteral("Vellmar table, picture linked only"));
    QString chosenFilter = withPicture;
    const QString path = QFileDialog::getSaveFileName(m_parent, QStringLiteral("Save Table"), suggested,
                                                      withPicture + u";;" + linkOnly, &chosenFilter);
    if (path.isEmpty())
        return std::nullopt;
    return SaveChoice{path, chosenFilter == linkOnly};
}

std::optional<QString> QtTableFileChooser::chooseOpenFile(const QString &folder)
{
    const QString path =
        QFileDialog::getOpenFileName(m_parent, QStringLiteral("Open Table"), folder,
                                     tableFilter(QStringLiteral("Vellmar table")) + u";;All files (*)");
    return path.isEmpty() ? std::nullopt : std::optional<QString>(path);
}

} // namespace vellmar::app
