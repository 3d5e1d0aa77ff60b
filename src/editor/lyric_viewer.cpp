#include "editor/lyric_viewer.h"

#include "editor/atomic_file.h"
#include "editor/file_names.h"

#include <QFileDialog>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <filesystem>

namespace cantorix::editor {

LyricViewerWindow::LyricViewerWindow(QWidget* parent) : QDialog(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Lyric File Viewer"));
    resize(521, 464);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* menu = new QMenuBar(this);
    QMenu* file = menu->addMenu(QStringLiteral("File"));
    saveAction = file->addAction(QStringLiteral("Save"));
    exitAction = file->addAction(QStringLiteral("Exit"));
    layout->setMenuBar(menu);
    m_edit = new QPlainTextEdit(this);
    m_edit->setObjectName(QStringLiteral("RichEdit1"));
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(m_edit);
    connect(saveAction, &QAction::triggered, this, [this] { saveWithDialog(); });
    connect(exitAction, &QAction::triggered, this, [this] { exitViewer(); });
}

void LyricViewerWindow::setSongText(const std::string& text) {
    QString plain = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
    if (plain.endsWith(QChar('\n')))
        plain.chop(1);
    m_edit->setPlainText(plain);
}

std::string LyricViewerWindow::songText() const {
    QStringList lines = m_edit->toPlainText().split(QChar('\n'));
    // A newline after the last line ends that line; it starts no empty one.
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    std::string out;
    for (const QString& line : lines)
        out += line.toStdString() + "\r\n";
    return out;
}

void LyricViewerWindow::saveTo(const QString& chosenName) {
    const std::string file = withTxtExtension(chosenName.toStdString());
    writeFileAtomically(std::filesystem::path(file), songText());
}

void LyricViewerWindow::saveWithDialog() {
    std::optional<QString> chosen;
    if (m_saveDialog)
        chosen = m_saveDialog();
    else {
        const QString name =
            QFileDialog::getSaveFileName(this, QString(), QString(), QString::fromUtf8(kFilter));
        if (!name.isEmpty())
            chosen = name;
    }
    if (!chosen)
        return;
    try {
        saveTo(*chosen);
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        if (m_presentError)
            m_presentError(this, text);
        else
            QMessageBox::critical(this, windowTitle(), text);
    }
    if (!m_programDir.empty()) {
        std::error_code ignored;
        std::filesystem::current_path(m_programDir, ignored);
    }
}

void LyricViewerWindow::exitViewer() {
    hide();
}

} // namespace cantorix::editor
