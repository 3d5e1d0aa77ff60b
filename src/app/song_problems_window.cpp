#include "song_problems_window.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

namespace cantorix::app {

namespace {

constexpr int kFolderColumn = 0;
constexpr int kReasonColumn = 1;
constexpr int kMaxFolderWidth = 400;

QString toQString(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString summaryText(std::size_t count) {
    if (count == 0)
        return QStringLiteral("Every song found can be played.");
    return count == 1 ? QStringLiteral("1 song cannot be played:")
                      : QStringLiteral("%1 songs cannot be played:").arg(count);
}

} // namespace

std::string songProblemsText(const std::vector<songs::SongProblem>& problems) {
    std::string text;
    for (const songs::SongProblem& problem : problems)
        text += problem.folder + '\t' + problem.reason + '\n';
    return text;
}

SongProblemsWindow::SongProblemsWindow(QWidget* parent)
    : QDialog(parent), m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setWindowTitle(QStringLiteral("Song problems"));
    setObjectName(QStringLiteral("SongProblems"));
    m_summary = new QLabel(this);
    m_list = new QTreeWidget(this);
    m_list->setColumnCount(2);
    m_list->setHeaderLabels({QStringLiteral("Folder"), QStringLiteral("Reason")});
    m_list->setRootIsDecorated(false);
    m_list->setUniformRowHeights(true);
    m_list->setAllColumnsShowFocus(true);
    m_list->header()->setStretchLastSection(true);
    m_notice = new QLabel(this);
    m_notice->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    m_openFolder = buttons->addButton(QStringLiteral("&Open folder"), QDialogButtonBox::ActionRole);
    m_copy = buttons->addButton(QStringLiteral("&Copy list"), QDialogButtonBox::ActionRole);
    QPushButton* close = buttons->addButton(QDialogButtonBox::Close);
    // Enter in the list opens the song's folder rather than pressing a default button.
    for (QPushButton* button : {m_openFolder, m_copy, close})
        button->setAutoDefault(false);
    connect(m_openFolder, &QPushButton::clicked, this, [this] { openSelectedFolder(); });
    connect(m_copy, &QPushButton::clicked, this, [this] { copyList(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_list, &QTreeWidget::itemActivated, this, [this] { openSelectedFolder(); });
    connect(m_list, &QTreeWidget::currentItemChanged, this, [this] { updateButtons(); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_notice);
    layout->addWidget(buttons);
    resize(720, 400);
    setProblems({});
}

void SongProblemsWindow::setProblems(std::vector<songs::SongProblem> problems) {
    // The scan reports often; an unchanged list keeps its scroll position and selection.
    const auto same = [](const songs::SongProblem& a, const songs::SongProblem& b) {
        return a.folder == b.folder && a.reason == b.reason;
    };
    if (std::equal(problems.begin(), problems.end(), m_problems.begin(), m_problems.end(), same) &&
        !m_summary->text().isEmpty())
        return;
    QString selected;
    if (const QTreeWidgetItem* item = m_list->currentItem())
        selected = item->text(kFolderColumn);
    m_problems = std::move(problems);
    m_list->clear();
    QTreeWidgetItem* current = nullptr;
    for (const songs::SongProblem& problem : m_problems) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(kFolderColumn, toQString(problem.folder));
        item->setText(kReasonColumn, toQString(problem.reason));
        item->setToolTip(kFolderColumn, item->text(kFolderColumn));
        item->setToolTip(kReasonColumn, item->text(kReasonColumn));
        if (item->text(kFolderColumn) == selected)
            current = item;
    }
    if (!current && m_list->topLevelItemCount() > 0)
        current = m_list->topLevelItem(0);
    m_list->setCurrentItem(current);
    // Long folder paths leave the reason room all the same; the tooltips hold the whole text.
    m_list->resizeColumnToContents(kFolderColumn);
    m_list->setColumnWidth(kFolderColumn,
                           std::min(m_list->columnWidth(kFolderColumn), kMaxFolderWidth));
    m_summary->setText(summaryText(m_problems.size()));
    updateButtons();
}

void SongProblemsWindow::updateButtons() {
    m_openFolder->setEnabled(m_list->currentItem() != nullptr);
    m_copy->setEnabled(!m_problems.empty());
}

QString SongProblemsWindow::notice() const {
    return m_notice->text();
}

void SongProblemsWindow::openSelectedFolder() {
    const QTreeWidgetItem* item = m_list->currentItem();
    if (!item)
        return;
    const QString folder = item->text(kFolderColumn);
    // A desktop without a file manager is told here, in the window, not in a box over it.
    if (m_openUrl(QUrl::fromLocalFile(folder)))
        m_notice->setText(QStringLiteral("Opened %1").arg(folder));
    else
        m_notice->setText(QStringLiteral("No file manager could open %1").arg(folder));
}

void SongProblemsWindow::copyList() {
    QGuiApplication::clipboard()->setText(toQString(songProblemsText(m_problems)));
    m_notice->setText(
        m_problems.size() == 1
            ? QStringLiteral("Copied 1 song to the clipboard.")
            : QStringLiteral("Copied %1 songs to the clipboard.").arg(m_problems.size()));
}

} // namespace cantorix::app
