#pragma once

#include "saving/TableFileChooser.h"

class QWidget;

namespace vellmar::app {

// File dialogs for table files. Saving offers two types: with the picture,
// or linking it by hash only.
class QtTableFileChooser final : public saving::TableFileChooser
{
public:
    explicit QtTableFileChooser(QWidget *parent) : m_parent(parent) {}

    std::optional<SaveChoice> chooseSaveFile(const QString &suggested) override;
    std::optional<QString> chooseOpenFile(const QString &folder) override;

private:
    QWidget *m_parent;
};

} // namespace vellmar::app
