// Medleys: the best part of several songs back to back in one session. F8 (or the selection
// screen's button) asks how many songs and from where; Insert marks the song shown for a medley
// of marked songs. A medley is sung at once or queued for a guest, its songs drawn then and read
// at its turn. The songs are read and joined on the window thread before it starts (a few
// milliseconds a song); their music is opened as one stream, so nothing loads between songs.

#include "error_guard.h"
#include "main_window.h"
#include "records/player.h"
#include "songs/song_catalog.h"
#include "songs/song_errors.h"
#include "songs/song_media_file.h"
#include "songs/song_text_file.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
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

std::optional<MedleyAnswer> askWithDialog(QWidget* parent, std::size_t marked,
                                          const std::vector<std::string>& guests) {
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
    // The party queue takes the medley as one entry of a guest's: one in line, or a name typed.
    auto* guest = new QComboBox(&dialog);
    guest->setEditable(true);
    for (const std::string& name : guests)
        guest->addItem(QString::fromStdString(name));
    guest->setCurrentIndex(-1);
    guest->lineEdit()->setPlaceholderText(QStringLiteral("a guest in line, or a new name"));
    layout->addRow(QStringLiteral("Queue it for:"), guest);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Sing the medley"));
    QPushButton* queue =
        buttons->addButton(QStringLiteral("Add to the queue"), QDialogButtonBox::ActionRole);
    constexpr int kQueued = 2;
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(queue, &QPushButton::clicked, &dialog, [&dialog, guest] {
        if (guest->currentText().trimmed().isEmpty())
            guest->setFocus();
        else
            dialog.done(kQueued);
    });
    layout->addRow(buttons);
    const int result = dialog.exec();
    if (result == QDialog::Rejected)
        return std::nullopt;
    return MedleyAnswer{.request = {.songs = static_cast<std::size_t>(count->value()),
                                    .fromMarked = fromMarked->isChecked(),
                                    .onlySungBefore = sungBefore->isChecked(),
                                    .onlyDuets = duets->isChecked()},
                        .queueFor = result == kQueued ? guest->currentText().trimmed().toStdString()
                                                      : std::string()};
}

// How a queued medley's songs were chosen, for its caption ("Medley · 5 songs · random").
std::string chosenFrom(const selection::MedleyRequest& request) {
    if (request.fromMarked)
        return "marked";
    std::string from = "random";
    if (request.onlySungBefore)
        from += ", sung before";
    if (request.onlyDuets)
        from += ", duets";
    return from;
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
    m_askMedley = [this](std::size_t marked, const std::vector<std::string>& guests) {
        return askWithDialog(this, marked, guests);
    };
    m_screens->medleyKey = kMedleyKey;
    m_screens->askMedley = [this] { askForMedley(); };
    m_game->selection.medleyButton->onButtonClick = [this](scene::TGLBaseControl&) {
        if (m_screens->songListShown())
            askForMedley();
    };
    // After a medley's score page the ring's own song is selected again, and the library line
    // no longer tells of a medley queued before.
    m_screens->leftScorePage = [this, left = m_screens->leftScorePage] {
        if (m_selection->selected().medley)
            runGuarded(this, [this] { m_library->selectSong(); });
        showMedleyMarks();
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
    std::vector<std::string> guests;
    for (const party::Guest& guest : m_party->queue().guests())
        guests.push_back(guest.name);
    const std::optional<MedleyAnswer> answer = m_askMedley(m_medleyMarks.size(), guests);
    if (!answer)
        return;
    const std::string problem = answer->queueFor.empty()
                                    ? startMedley(answer->request)
                                    : queueMedley(answer->request, answer->queueFor);
    if (!problem.empty())
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

void MainWindow::showMedleyMarks(const std::string& news) {
    std::string text = m_medleyMarks.empty()
                           ? std::string()
                           : std::to_string(m_medleyMarks.size()) + " marked for a medley";
    if (!news.empty())
        text += (text.empty() ? "" : " \xC2\xB7 ") + news;
    m_library->setStatusAddition(text);
}

selection::MedleyPick MainWindow::pickMedley(const selection::MedleyRequest& request) {
    return selection::pickMedleySongs(
        m_library->browser().songs(), m_medleyMarks, request,
        [this](std::string_view song) {
            return m_records ? m_records->book().popularity(song) : songs::SongPopularity{};
        },
        [this](std::size_t n) {
            return std::uniform_int_distribution<std::size_t>(0, n - 1)(m_random);
        });
}

std::vector<std::string> MainWindow::medleySongFiles(const selection::MedleyPick& pick) const {
    std::vector<std::string> files;
    for (const std::size_t index : pick.songs)
        files.push_back(m_library->browser().songs().at(index).songFile);
    return files;
}

std::string MainWindow::chooseMedley(const std::vector<std::size_t>& songs) {
    const std::vector<songs::SongSummary>& library = m_library->browser().songs();
    std::vector<songs::MedleyPiece> pieces;
    for (const std::size_t index : songs) {
        // A song that cannot be read now is passed over; enough others still make a medley.
        try {
            if (std::optional<songs::MedleyPiece> piece = readPiece(library.at(index)))
                pieces.push_back(std::move(*piece));
        } catch (const std::exception&) {
        }
    }
    if (pieces.size() < selection::kMedleyFewestSongs)
        return "The medley cannot start: of its songs only " + std::to_string(pieces.size()) +
               " could be read with a medley part.";
    m_selection->selectMedley(
        std::make_shared<const songs::MedleySong>(songs::buildMedleySong(pieces, m_medleyTiming)));
    return {};
}

void MainWindow::useUpMedleyMarks(const selection::MedleyRequest& request,
                                  const std::string& news) {
    if (request.fromMarked)
        m_medleyMarks.clear();
    showMedleyMarks(news);
}

std::string MainWindow::startMedley(const selection::MedleyRequest& request) {
    const selection::MedleyPick pick = pickMedley(request);
    if (!pick.problem.empty())
        return pick.problem;
    // The marks are used up before the medley is chosen: the library line they change must not
    // select the ring's song in its place.
    useUpMedleyMarks(request);
    if (std::string problem = chooseMedley(pick.songs); !problem.empty())
        return problem;
    m_screens->startSong();
    return {};
}

std::string MainWindow::queueMedley(const selection::MedleyRequest& request,
                                    std::string_view guestName) {
    const selection::MedleyPick pick = pickMedley(request);
    if (!pick.problem.empty())
        return pick.problem;
    const std::string folded = songs::foldForSearch(records::cleanPlayerName(guestName));
    std::optional<party::GuestId> guest;
    for (const party::Guest& inLine : m_party->queue().guests())
        if (songs::foldForSearch(inLine.name) == folded)
            guest = inLine.id;
    if (!guest)
        guest = m_party->addGuest(guestName);
    if (!guest)
        return "The medley cannot be queued: type a guest's name.";
    party::QueuedMedley medley{.songIds = medleySongFiles(pick), .from = chosenFrom(request)};
    const party::QueueAnswer answer = m_party->addMedley(*guest, std::move(medley));
    if (answer != party::QueueAnswer::Accepted)
        return "The medley cannot be queued: " +
               party::answerText(answer, m_party->queue().settings().mostWaitingPerGuest);
    // Said on the library line until the marks next change: the host sees it was queued.
    useUpMedleyMarks(request, "a medley queued for " + m_party->queue().guest(*guest)->name);
    return {};
}

std::string MainWindow::startQueuedMedley(const party::QueuedMedley& medley) {
    // Its songs as the library has them now: those gone or without a part are passed over.
    const std::vector<songs::SongSummary>& library = m_library->browser().songs();
    std::vector<std::size_t> songs;
    for (const std::string& songFile : medley.songIds) {
        const auto found =
            std::find_if(library.begin(), library.end(), [&](const songs::SongSummary& song) {
                return song.songFile == songFile && selection::medleyCandidate(song);
            });
        if (found != library.end())
            songs.push_back(static_cast<std::size_t>(found - library.begin()));
    }
    return chooseMedley(songs);
}

} // namespace cantorix::app
