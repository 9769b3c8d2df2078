// SPDX-License-Identifier: MIT
// The smallest Qt D-Bus service: it owns a name on the session bus and waits. tools/bench
// compares vorlixd's resident memory and idle wake-ups with it.
#include <QCoreApplication>
#include <QDBusConnection>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    if (!QDBusConnection::sessionBus().registerService("org.vorlix.bench.NameOwner")) {
        return 1;
    }
    return application.exec();
}
