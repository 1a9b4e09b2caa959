#pragma once
// SIGTERM, SIGINT and SIGHUP close the window as its Exit command does, so the displays go back
// to the service on every ordinary way of ending the program.

class QWidget;

namespace pixtera::designer {

void CloseOnTerminationSignals(QWidget& window);

} // namespace pixtera::designer
