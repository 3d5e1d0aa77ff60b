#pragma once
// The score page's Save dialog: the name it proposes and the dialog itself, behind a function
// type so tests can answer it without a modal window. Main thread only.

#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace cantorix::app {

// The export name option with its extension replaced by ".mp3": the export is an MP3 stream
// whatever the option says. An empty option proposes "default.mp3".
std::string proposedExportName(const std::string& exportNameOption);

// Asks where to save the export, proposing a file name; none when the player cancels.
using SaveExportDialog = std::function<std::optional<std::filesystem::path>(
    QWidget& parent, const std::string& proposedName)>;

// The file dialog the game shows: filter "Mpeg3 Layer" (*.mp3), default extension mp3, starting
// in the program directory, which is the current directory again afterwards.
SaveExportDialog fileSaveExportDialog(std::filesystem::path programDir);

} // namespace cantorix::app
