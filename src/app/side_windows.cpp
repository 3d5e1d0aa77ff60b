#include "side_windows.h"

namespace cantorix::app {

TfrmConvert::TfrmConvert(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    resize(320, 140);
}

TForm4::TForm4(QWidget* parent) : QDialog(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Lyric File Viewer"));
    resize(520, 480);
}

TForm5::TForm5(QWidget* parent) : QDialog(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Video Editor"));
    resize(360, 160);
}

} // namespace cantorix::app
