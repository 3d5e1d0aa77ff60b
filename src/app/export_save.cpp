#include "export_save.h"

#include <QDir>
#include <QFileDialog>

namespace cantorix::app {

std::string proposedExportName(const std::string& exportNameOption) {
    std::filesystem::path name(exportNameOption.empty() ? "default" : exportNameOption);
    return name.replace_extension(".mp3").string();
}

SaveExportDialog fileSaveExportDialog(std::filesystem::path programDir) {
    return [programDir = std::move(programDir)](
               QWidget& parent,
               const std::string& proposedName) -> std::optional<std::filesystem::path> {
        const QString home = QString::fromStdString(programDir.string());
        QFileDialog dialog(&parent, QStringLiteral("Save"), home,
                           QStringLiteral("Mpeg3 Layer (*.mp3)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("mp3"));
        dialog.selectFile(QString::fromStdString(proposedName));
        const bool accepted = dialog.exec() == QDialog::Accepted;
        QDir::setCurrent(home);
        if (!accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return std::filesystem::path(dialog.selectedFiles().front().toStdString());
    };
}

} // namespace cantorix::app
