// SPDX-License-Identifier: MIT
// The smallest Qt D-Bus client of vorlixd's own interface: it reads the interface's properties in
// one call on the system bus, as vorlixctl list does, and prints how many it got. tools/bench
// compares vorlixctl list with it.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.vorlix.mouse.vorlixd"), QStringLiteral("/org/vorlix/mouse/vorlixd"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"));
    call << QStringLiteral("org.vorlix.mouse.vorlixd.Mice");
    const QDBusMessage reply = QDBusConnection::systemBus().call(call);
    QTextStream(stdout) << reply.arguments().size() << Qt::endl;
    return reply.type() == QDBusMessage::ReplyMessage ? 0 : 1;
}
