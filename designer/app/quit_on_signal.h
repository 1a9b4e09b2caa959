// SPDX-License-Identifier: MIT
#pragma once
// SIGTERM, SIGINT and SIGHUP end the designer without a question: the window keeps the unsaved
// design for the next start and closes, so the displays go back to the service on every
// ordinary way of ending the program.

namespace pixtera::designer {

class MainWindow;

void CloseOnTerminationSignals(MainWindow& window);

} // namespace pixtera::designer
