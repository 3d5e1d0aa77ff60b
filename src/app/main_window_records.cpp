// The main window's side of the records: the screens that show the book follow it.

#include "main_window.h"

namespace cantorix::app {

void MainWindow::recordsChanged() {}

} // namespace cantorix::app
