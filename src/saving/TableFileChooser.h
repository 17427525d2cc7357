#pragma once

#include <QString>

#include <optional>

namespace vellmar::saving {

// Where the user picks table files: file dialogs in the program, a script in
// tests.
class TableFileChooser
{
public:
    virtual ~TableFileChooser() = default;

    struct SaveChoice
    {
        QString path;
        bool linkOnly = false; // keep only the picture's hash, not its bytes
    };
    virtual std::optional<SaveChoice> chooseSaveFile(const QString &suggested) = 0;
    virtual std::optional<QString> chooseOpenFile(const QString &folder) = 0;
};

} // namespace vellmar::saving
