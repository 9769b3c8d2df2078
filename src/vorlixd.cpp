// SPDX-License-Identifier: MIT
#include "CLI.h"
#include "CLIConfiguration.h"
#include "CLIException.h"
#include "CLIParser.h"
#include "Daemon.h"
#include "HID.h"
#include "PrintableText.h"
#include "ServiceNames.h"
#include "generated-sources/DBusAdaptor.h"
#include "generated-sources/MiceAdaptor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <unistd.h>

#include <iostream>

namespace {

const QString SERVICE_NAME = QLatin1String(ServiceNames::SERVICE);
const QString OBJECT_PATH = QLatin1String(ServiceNames::PATH);

// Serves the mouse on D-Bus until the process is stopped from outside. Root gets the
// system bus, where desktop clients of every user find it; anyone else their session bus.
int runDaemon(int& argc, char* argv[]) {
    std::wcout << L"即将启动守护进程" << std::endl;
    std::wcout << L"uid = " << getuid() << std::endl;
    QCoreApplication qtApplication(argc, argv);
    const bool root = getuid() == 0;
    QDBusConnection connection = root ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
    // Our own interface stands beside the first mouse's on the same object.
    auto* daemon = new ServiceObject(&qtApplication, connection);
    new DBusAdaptor(daemon);
    new MiceAdaptor(daemon);
    std::wcout << (connection.isConnected() ? L"已连接" : L"未连接") << std::endl;
    std::wcout << connection.name().toStdWString() << std::endl;
    std::wcout << connection.lastError().message().toStdWString() << std::endl;
    // Neither failure stops the daemon: without the name it stays reachable by its unique name.
    connection.registerObject(OBJECT_PATH, daemon, QDBusConnection::ExportAdaptors);
    connection.registerService(SERVICE_NAME);
    return qtApplication.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    try {
        CLI cli(argc, argv);
        std::wcout << L"vorlixd" << std::endl;
        CLIParser cliParser;
        const CLIConfiguration configuration = cliParser.parse(cli.arguments());
        if (configuration.daemon) {
            return runDaemon(argc, argv);
        }
        HIDDevice mouse = Daemon::getMouse();
        std::wcout << L"鼠标已打开..." << std::endl;
        // Each label goes out before its string is read, so a failed read ends up on that line.
        std::wcout << L"制造商：";
        std::wcout << PrintableText::escape(mouse.getManufacturerName()) << std::endl;
        std::wcout << L"产品名称：";
        std::wcout << PrintableText::escape(mouse.getProductName()) << std::endl;
        mouse.sendFeatureReport(configuration.vorlixConfig.serialize());
        return CLI::EXIT_CODE_SUCCESS;
    } catch (const HIDException& e) {
        std::wcout << L"HID错误： " << e.getMessage() << std::endl;
        return CLI::EXIT_CODE_UNEXPECTED_ERROR;
    } catch (const CLIException& e) {
        std::wcout << L"命令行错误： " << e.getMessage() << std::endl;
        return e.getExitCode();
    }
}
