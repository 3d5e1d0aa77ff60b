// Medleys: the best part of several songs back to back in one session. F8 (or the selection
// screen's button) asks how many songs and from where; Insert marks the song shown for a medley
// of marked songs. The songs are read and joined on the window thread before it starts (a few
// milliseconds a song); their music is opened as one stream, so nothing loads between songs.

#include "error_guard.h"
#include "main_window.h"
#include "songs/song_errors.h"
#include "songs/song_media_file.h"
#include "songs/song_text_file.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <algorithm>

namespace cantorix::app {

namespace {

constexpr int kMedleyKey = 119; // F8
constexpr int kInsertKey = 45;
// A song whose music has not been opened yet is taken to last this long past its last note.
constexpr std::int64_t kUnknownAudioTailMs = 60'000;

std::optional<selection::MedleyRequest> askWithDialog(QWidget* parent, std::size_t marked) {
    QDialog dialog(parent);
    dialog.setWindowTitle(QStringLiteral("Medley"));
    auto* layout = new QFormLayout(&dialog);
    auto* count = new QSpinBox(&dialog);
    count->setRange(static_cast<int>(selection::kMedleyFewestSongs),
                    static_cast<int>(selection::kMedleyMostSongs));
    count->setValue(static_cast<int>(selection::kMedleyDefaultSongs));
    layout->addRow(QStringLiteral("Songs:"), count);
    auto* fromMarked = new QRadioButton(
        QStringLiteral("The marked songs (%1 marked; Insert marks the song shown)").arg(marked),
        &dialog);
    auto* atRandom = new QRadioButton(QStringLiteral("Songs at random"), &dialog);
    (marked >= selection::kMedleyFewestSongs ? fromMarked : atRandom)->setChecked(true);
    fromMarked->setEnabled(marked > 0);
    layout->addRow(fromMarked);
    layout->addRow(atRandom);
    auto* sungBefore = new QCheckBox(QStringLiteral("Only songs sung before"), &dialog);
    auto* duets = new QCheckBox(QStringLiteral("Only duets"), &dialog);
    layout->addRow(sungBefore);
    layout->addRow(duets);
    const auto followChoice = [=] {
        sungBefore->setEnabled(atRandom->isChecked());
        duets->setEnabled(atRandom->isChecked());
    };
    QObject::connect(atRandom, &QRadioButton::toggled, &dialog, followChoice);
    followChoice();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Sing the medley"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return selection::MedleyRequest{.songs = static_cast<std::size_t>(count->value()),
                                    .fromMarked = fromMarked->isChecked(),
                                    .onlySungBefore = sungBefore->isChecked(),
                                    .onlyDuets = duets->isChecked()};
}

// A medley's song as read now: its part worked out again, as the file may have changed since
// the scan; nothing when it has none any more.
std::optional<songs::MedleyPiece> readPiece(const songs::SongSummary& summary) {
    const std::filesystem::path songFile(summary.songFile);
    songs::StandardSong song = songs::readStandardSong(songs::readSongFileBytes(songFile));
    const std::optional<songs::MedleyPart> part = songs::findMedleyPart(song).part;
    if (!part)
        return std::nullopt;
    const std::filesystem::path folder = songFile.parent_path();
    const auto media = [&](const std::string& name) {
        return name.empty()
                   ? std::filesystem::path()
                   : songs::findSongMediaFile(folder, name).value_or(std::filesystem::path());
    };
    const std::int64_t audioLength = summary.audioLengthMs > 0
                                         ? summary.audioLengthMs
                                         : std::llround(part->toMs) + kUnknownAudioTailMs;
    std::filesystem::path video = media(song.video), background = media(song.background);
    return songs::MedleyPiece{std::move(song),  *part,
                              summary.audio,    audioLength,
                              std::move(video), std::move(background)};
}

} // namespace

void MainWindow::createMedley() {
    m_askMedley = [this](std::size_t marked) { return askWithDialog(this, marked); };
    m_screens->medleyKey = kMedleyKey;
    m_screens->askMedley = [this] { askForMedley(); };
    m_game->selection.medleyButton->onButtonClick = [this](scene::TGLBaseControl&) {
        if (m_screens->songListShown())
            askForMedley();
    };
    // After a medley's score page the ring's own song is selected again.
    m_screens->leftScorePage = [this, left = m_screens->leftScorePage] {
        if (m_selection->selected().medley)
            runGuarded(this, [this] { m_library->selectSong(); });
        if (left)
            left();
    };
    m_screens->songListKeyDown = [this, keyDown = m_screens->songListKeyDown](int key) {
        if (key == kInsertKey)
            toggleMedleyMark();
        else if (keyDown)
            keyDown(key);
    };
}

void MainWindow::askForMedley() {
    if (!m_askMedley)
        return;
    if (const std::optional<selection::MedleyRequest> request = m_askMedley(m_medleyMarks.size()))
        if (const std::string problem = startMedley(*request); !problem.empty())
            presentError(this, QString::fromStdString(problem));
}

void MainWindow::toggleMedleyMark() {
    const std::string songFile =
        (m_selection->selectedFolder() / m_selection->songFileName()).string();
    if (m_selection->songFileName().empty())
        return;
    const auto marked = std::find(m_medleyMarks.begin(), m_medleyMarks.end(), songFile);
    if (marked != m_medleyMarks.end())
        m_medleyMarks.erase(marked);
    else
        m_medleyMarks.push_back(songFile);
    showMedleyMarks();
}

void MainWindow::showMedleyMarks() {
    m_library->setStatusAddition(m_medleyMarks.empty() ? std::string()
                                                       : std::to_string(m_medleyMarks.size()) +
                                                             " marked for a medley");
}

std::string MainWindow::startMedley(const selection::MedleyRequest& request) {
    const std::vector<songs::SongSummary>& library = m_library->browser().songs();
    const selection::MedleyPick pick = selection::pickMedleySongs(
        library, m_medleyMarks, request,
        [this](std::string_view song) {
            return m_records ? m_records->book().popularity(song) : songs::SongPopularity{};
        },
        [this](std::size_t n) {
            return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random);
        });
    if (!pick.problem.empty())
        return pick.problem;
    std::vector<songs::MedleyPiece> pieces;
    std::vector<std::string> passedOver;
    for (const std::size_t index : pick.songs) {
        try {
            if (std::optional<songs::MedleyPiece> piece = readPiece(library[index]))
                pieces.push_back(std::move(*piece));
            else
                passedOver.push_back(library[index].title);
        } catch (const std::exception&) {
            passedOver.push_back(library[index].title);
        }
    }
    if (pieces.size() < selection::kMedleyFewestSongs)
        return "The medley cannot start: of its songs only " + std::to_string(pieces.size()) +
               " could be read with a medley part.";
    // The marks are used up before the medley is chosen: the library line they change must not
    // select the ring's song in its place.
    if (request.fromMarked) {
        m_medleyMarks.clear();
        showMedleyMarks();
    }
    m_selection->selectMedley(
        std::make_shared<const songs::MedleySong>(songs::buildMedleySong(pieces, m_medleyTiming)));
    m_screens->startSong();
    return {};
}

} // namespace cantorix::app
