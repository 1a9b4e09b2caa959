// SPDX-License-Identifier: MIT
// pixtera-designer: edits designs on a preview of the display, mirrored on the real one.

#include "main_window.h"
#include "quit_on_signal.h"
#include "service_objects.h"

#include <pixtera/platform/com_runtime.h>
#include <pixtera/platform/named_mutex.h>
#include <pixtera/remote/activation.h>

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

using namespace pixtera;
using namespace pixtera::designer;

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    // The window's class (X11) and app id (Wayland) name the launcher's entry: docks show its icon
    // and group its windows.
    application.setApplicationName(QStringLiteral("pixtera-designer"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.pixtera.Designer"));
    NamedMutex instance("PixteraDesigner");
    if (instance.alreadyExists()) {
        QMessageBox::critical(nullptr, QStringLiteral("Error"), QStringLiteral("Designer already running!"));
        return 0;
    }
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    // The window's thread calls the service: a service that hangs must cost it seconds, not minutes.
    SetRemoteCallTimeout(std::chrono::seconds(2));
    int exitCode = 1;
    try {
        // The window gives the displays back to the service when it goes.
        MainWindow window(ServiceObjects::Connect(), nullptr);
        window.resize(1000, 640);
        CloseOnTerminationSignals(window);
        window.show();
        window.workspace().OfferRecovery();
        exitCode = application.exec();
    } catch (const ServiceError& error) {
        std::fprintf(stderr, "pixtera-designer: %s\n", error.what());
        QMessageBox::critical(nullptr, QStringLiteral("Error"), QString::fromStdString(error.what()));
        exitCode = 1;
    }
    CoUninitialize();
    return exitCode;
}
