// SPDX-License-Identifier: MIT
#include "AdministratorSettings.h"
#include "BusSettings.h"
#include "ClientSentences.h"
#include "LocaleTranslator.h"
#include "MouseService.h"
#include "MouseSettings.h"
#include "SavedSettings.h"
#include "SettingsWindow.h"
#include "WindowState.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>

namespace {

void finish(const QString& line, int exitCode) {
    QTextStream(stdout) << line << Qt::endl;
    QCoreApplication::exit(exitCode);
}

void sent(const MouseService::Answer& answer) {
    if (answer.outcome == Outcome::Done) {
        finish(QCoreApplication::translate("main", "The saved mouse settings were applied."), 0);
    } else {
        finish(ClientSentences::failureLine(answer.outcome), 1);
    }
}

// What an autostart entry of an earlier version runs at login. The service now sends the
// settings it keeps whenever a mouse comes back, and so does the administrator's file, so
// then nothing is sent here. Only settings an earlier version saved, which nothing else
// sends, go to the first mouse, without being kept: the window offers to keep them.
int applySavedSettings(QCoreApplication& application) {
    if (AdministratorSettings::read(AdministratorSettings::filePath()).settings) {
        QTextStream(stdout) << QCoreApplication::translate("main", "The administrator's settings in %1 apply: "
                                                                   "nothing was sent.")
                                   .arg(QString::fromStdString(AdministratorSettings::filePath()))
                            << Qt::endl;
        return 0;
    }
    MouseService::ask(
        QCoreApplication::instance(), [](const MouseService::Answer& answer, const MouseService::Reading& reading) {
            if (answer.outcome != Outcome::Done) {
                finish(ClientSentences::failureLine(answer.outcome), 1);
                return;
            }
            if (!reading.kept.isEmpty()) {
                finish(QCoreApplication::translate("main", "The service sends the settings it keeps whenever a mouse "
                                                           "comes back: nothing was sent."),
                       0);
                return;
            }
            const QVariantMap saved = SavedSettings::readEarlierVersionFile();
            QStringList unreadable;
            const MouseSettings settings = BusSettings::fromMap(saved, unreadable);
            if (saved.isEmpty()) {
                finish(QCoreApplication::translate("main", "No saved mouse settings: nothing was sent."), 1);
            } else if (!unreadable.isEmpty()) { // half a set must never be sent as if it were whole
                finish(QCoreApplication::translate("main", "The saved mouse settings could not be read (%1): nothing "
                                                           "was sent.")
                           .arg(unreadable.join(QStringLiteral(", "))),
                       1);
            } else if (reading.mice.isEmpty()) { // only the service's own interface names this failure
                finish(ClientSentences::failureLine(Outcome::NoMouse), 1);
            } else {
                MouseService::applyToFirstMouse(settings, QCoreApplication::instance(), sent);
            }
        });
    return application.exec();
}

// Whatever needs no window is done before anything needs a display: --apply runs at login and
// from shells without one, and --help or a mistaken argument must not abort there.
int withoutWindow(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    LocaleTranslator translator;
    application.installTranslator(&translator);
    const QStringList arguments = application.arguments().mid(1);
    if (arguments == QStringList{QStringLiteral("--apply")}) {
        return applySavedSettings(application);
    }
    const QString usage = QCoreApplication::translate("main", "Usage: vorlixd-settings [--apply | --help]");
    if (arguments == QStringList{QStringLiteral("--help")}) {
        QTextStream(stdout) << usage << Qt::endl;
        return 0;
    }
    if (!arguments.isEmpty()) {
        QTextStream(stderr) << usage << Qt::endl;
        return 2;
    }
    QTextStream(stderr) << QCoreApplication::translate("main", "No display to open the window on.") << Qt::endl;
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                           qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
    if (argc > 1 || noDisplay) {
        return withoutWindow(argc, argv);
    }
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) // Qt 6 always scales for high-DPI screens
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    QApplication application(argc, argv);
    LocaleTranslator translator;
    application.installTranslator(&translator);
    QApplication::setDesktopFileName(QStringLiteral("org.vorlix.vorlixd.settings"));
    SettingsWindow window;
    window.show();
    return application.exec();
}
