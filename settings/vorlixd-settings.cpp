// SPDX-License-Identifier: MIT
#include "LocaleTranslator.h"
#include "MouseService.h"
#include "MouseSettings.h"
#include "SettingsWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>

#include <cstring>

namespace {

// Sends the settings this user last applied, without a window: what runs at login.
int applySavedSettings() {
    QTextStream out(stdout);
    const std::optional<MouseSettings> saved = MouseSettings::load();
    if (!saved) {
        out << QCoreApplication::translate("main", "No saved mouse settings: nothing was sent.") << Qt::endl;
        return 1;
    }
    const QString failure = MouseService::apply(*saved);
    if (!failure.isEmpty()) {
        out << failure << Qt::endl;
        return 1;
    }
    out << QCoreApplication::translate("main", "The saved mouse settings were applied.") << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    // --apply runs at login and from shells without a display, so it needs no GUI.
    if (argc == 2 && std::strcmp(argv[1], "--apply") == 0) {
        QCoreApplication application(argc, argv);
        LocaleTranslator translator;
        application.installTranslator(&translator);
        return applySavedSettings();
    }
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication application(argc, argv); // takes Qt's own options such as -platform
    LocaleTranslator translator;
    application.installTranslator(&translator);
    if (application.arguments().size() > 1) {
        QTextStream(stdout) << QCoreApplication::translate("main", "Usage: vorlixd-settings [--apply]") << Qt::endl;
        return 2;
    }
    QApplication::setDesktopFileName(QStringLiteral("org.vorlix.vorlixd.settings"));
    SettingsWindow window;
    window.show();
    return application.exec();
}
