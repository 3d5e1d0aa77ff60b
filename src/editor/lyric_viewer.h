#pragma once
// The lyric viewer window: a plain-text editor holding the song text the editor screen made,
// where the user types the syllables, with a "File" menu to save it as a song file or close the
// window. Created at start-up and kept for the program's life; closing only hides it. Main
// thread only.

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>

class QAction;
class QPlainTextEdit;

namespace cantorix::editor {

class LyricViewerWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kFilter = "Lyric File (*.txt)";

    explicit LyricViewerWindow(QWidget* parent = nullptr);

    // Replaces the text with a song text (lines ended by CR LF, LF or CR).
    void setSongText(const std::string& text);
    // The text as it would be saved: every line ended by CR LF, UTF-8.
    std::string songText() const;
    QPlainTextEdit* textEdit() const { return m_edit; }

    // Asks for the name to save under; nothing when cancelled. Tests answer it themselves.
    using SaveDialog = std::function<std::optional<QString>()>;
    void setSaveDialog(SaveDialog dialog) { m_saveDialog = std::move(dialog); }
    // How a failed save is reported; a message box unless set.
    using ErrorPresenter = std::function<void(QWidget* parent, const QString& text)>;
    void setErrorPresenter(ErrorPresenter presenter) { m_presentError = std::move(presenter); }
    // Each file dialog sets the current directory back here; empty leaves it alone.
    void setProgramDir(std::string dir) { m_programDir = std::move(dir); }

    // Saves to the chosen name with ".txt" added when it lacks it; throws EFCreateError.
    void saveTo(const QString& chosenName);
    void saveWithDialog();
    void exitViewer();

    QAction *saveAction = nullptr, *exitAction = nullptr;

private:
    QPlainTextEdit* m_edit = nullptr;
    SaveDialog m_saveDialog;
    ErrorPresenter m_presentError;
    std::string m_programDir;
};

} // namespace cantorix::editor
