#pragma once
// The video editor window: attaches an AVI clip to the song file read last, by rewriting that
// file's "#VIDEO:" line. Created at start-up and kept for the program's life; closing only
// hides it. Main thread only.

#include <QDialog>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

class QLabel;
class QPushButton;

namespace cantorix::editor {

class VideoEditorWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kFilter = "Video files (*.avi *.AVI)";

    explicit VideoEditorWindow(QWidget* parent = nullptr);

    // The song file read last (`SongFilePath`); empty before any.
    using SongFilePath = std::function<std::filesystem::path()>;
    void setSongFilePath(SongFilePath path) { m_songFilePath = std::move(path); }
    // Asks for the clip; nothing when cancelled. Tests answer it themselves.
    using OpenDialog = std::function<std::optional<QString>()>;
    void setOpenDialog(OpenDialog dialog) { m_openDialog = std::move(dialog); }
    using ErrorPresenter = std::function<void(QWidget* parent, const QString& text)>;
    void setErrorPresenter(ErrorPresenter presenter) { m_presentError = std::move(presenter); }
    void setProgramDir(std::filesystem::path dir) { m_programDir = std::move(dir); }

    void chooseVideo();

    QLabel* promptLabel = nullptr;
    QPushButton* openButton = nullptr;

private:
    SongFilePath m_songFilePath;
    OpenDialog m_openDialog;
    ErrorPresenter m_presentError;
    std::filesystem::path m_programDir;
};

} // namespace cantorix::editor
