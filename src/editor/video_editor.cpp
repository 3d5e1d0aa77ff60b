#include "editor/video_editor.h"

#include "editor/video_attach.h"

#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

namespace cantorix::editor {

VideoEditorWindow::VideoEditorWindow(QWidget* parent) : QDialog(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Video Editor"));
    setFixedSize(294, 103);
    promptLabel = new QLabel(QStringLiteral("Add/Modify Video file for this song"), this);
    promptLabel->move(8, 8);
    openButton = new QPushButton(QStringLiteral("Open"), this);
    openButton->setGeometry(8, 32, 265, 25);
    connect(openButton, &QPushButton::clicked, this, [this] { chooseVideo(); });
}

void VideoEditorWindow::chooseVideo() {
    std::optional<QString> chosen;
    if (m_openDialog)
        chosen = m_openDialog();
    else {
        const QString name =
            QFileDialog::getOpenFileName(this, QString(), QString(), QString::fromUtf8(kFilter));
        if (!name.isEmpty())
            chosen = name;
    }
    if (!chosen)
        return;
    try {
        attachVideo(m_songFilePath ? m_songFilePath() : std::filesystem::path(),
                    chosen->toStdString());
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        if (m_presentError)
            m_presentError(this, text);
        else
            QMessageBox::critical(this, windowTitle(), text);
        return;
    }
    if (!m_programDir.empty()) {
        std::error_code ignored;
        std::filesystem::current_path(m_programDir, ignored);
    }
    hide();
}

} // namespace cantorix::editor
