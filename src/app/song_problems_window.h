#pragma once
// "Song problems": every song of the library that was refused or cannot be played, with its
// folder and the reason, and the means to act on it (open the folder in the file manager, copy
// the list). A window beside the game that never holds it up. Main thread only.

#include "songs/song_playability.h"

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QUrl;

namespace cantorix::app {

// The list as copied to the clipboard: one song a line, its folder and the reason apart by a tab.
std::string songProblemsText(const std::vector<songs::SongProblem>& problems);

class SongProblemsWindow : public QDialog {
    Q_OBJECT
public:
    // Opens a URL with the desktop's own handler; true when it was handed over.
    using UrlOpener = std::function<bool(const QUrl&)>;

    explicit SongProblemsWindow(QWidget* parent = nullptr);

    // Shows these problems; the song selected before stays selected while it is listed.
    void setProblems(std::vector<songs::SongProblem> problems);
    const std::vector<songs::SongProblem>& problems() const { return m_problems; }
    // Tests open no file manager.
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

    QTreeWidget* list() const { return m_list; }
    QPushButton* openFolderButton() const { return m_openFolder; }
    QPushButton* copyButton() const { return m_copy; }
    // The last outcome of a button, shown under the list ("Copied 2 songs.").
    QString notice() const;

    void openSelectedFolder();
    void copyList();

private:
    void updateButtons();

    std::vector<songs::SongProblem> m_problems;
    UrlOpener m_openUrl;
    QTreeWidget* m_list = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_notice = nullptr;
    QPushButton* m_openFolder = nullptr;
    QPushButton* m_copy = nullptr;
};

} // namespace cantorix::app
