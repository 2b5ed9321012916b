// Standard open and save file dialogs (Qt's own dialog, styled by the skin).
#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace kavrel::skin {

class Window;

struct FileDialogOptions {
    QString title;
    // Qt filter list, e.g. "Profiles (*.pro);;All files (*)".
    QString filter;
    // Appended when the user types a name without an extension, e.g. "pro".
    QString defaultSuffix;
    // Proposed file name (save) or initial selection.
    QString fileName;
    // Start folder; empty = the last folder used, else the home folder.
    QString folder;
    // Save only: ask before replacing an existing file (default on).
    bool confirmOverwrite = true;
};

// Returns the chosen absolute path, or none when cancelled. Modal on the owner.
std::optional<QString> openFileDialog(Window* owner, const FileDialogOptions& options);
std::optional<QString> saveFileDialog(Window* owner, const FileDialogOptions& options);

// Converts a Windows-style filter "Text (*.txt)|*.txt|All (*.*)|*.*||" into a Qt filter list.
QString convertWindowsFilter(const QString& filter);

} // namespace kavrel::skin
