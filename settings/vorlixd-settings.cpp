// SPDX-License-Identifier: MIT
#include "AdministratorSettings.h"
#include "LocaleTranslator.h"
#include "MouseService.h"
#include "MouseSettings.h"
#include "SettingsWindow.h"
#include "WindowState.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>

#include <cstring>

namespace {

void finish(const QString& line, int exitCode) {
    QTextStream(stdout) << line << Qt::endl;
    QCoreApplication::exit(exitCode);
}

// What runs at login for "Apply at login": sends the settings the service keeps, or else
// those an earlier version saved here, without keeping them anew. The administrator's
// settings, where there are any, are the ones the mouse should have, so then nothing is sent.
int applySavedSettings(QCoreApplication& application) {
    if (AdministratorSettings::setAny()) {
        QTextStream(stdout) << QCoreApplication::translate("main", "The administrator's settings in %1 apply: "
                                                                   "nothing was sent.")
                                   .arg(AdministratorSettings::filePath())
                            << Qt::endl;
        return 0;
    }
    MouseService::ask(
        QCoreApplication::instance(), [](const MouseService::Answer& answer, const MouseService::Mouse& mouse) {
            if (answer.outcome != MouseService::Outcome::Done) {
                finish(WindowState::failureLine(answer.outcome), 1);
                return;
            }
            const QVariantMap saved = mouse.kept.isEmpty() ? MouseSettings::readEarlierVersionFile() : mouse.kept;
            QStringList unreadable;
            const MouseSettings settings = MouseSettings::read(saved, unreadable);
            if (saved.isEmpty()) {
                finish(QCoreApplication::translate("main", "No saved mouse settings: nothing was sent."), 1);
            } else if (!unreadable.isEmpty()) { // half a set must never be sent as if it were whole
                finish(QCoreApplication::translate("main", "The saved mouse settings could not be read (%1): nothing "
                                                           "was sent.")
                           .arg(unreadable.join(QStringLiteral(", "))),
                       1);
            } else {
                MouseService::apply(settings, false, false, QCoreApplication::instance(),
                                    [](const MouseService::Answer& sent) {
                                        if (sent.outcome == MouseService::Outcome::Done) {
                                            finish(QCoreApplication::translate("main", "The saved mouse settings were "
                                                                                       "applied."),
                                                   0);
                                        } else {
                                            finish(WindowState::failureLine(sent.outcome), 1);
                                        }
                                    });
            }
        });
    return application.exec();
}

} // namespace

int main(int argc, char* argv[]) {
    // --apply runs at login and from shells without a display, so it needs no GUI.
    if (argc == 2 && std::strcmp(argv[1], "--apply") == 0) {
        QCoreApplication application(argc, argv);
        LocaleTranslator translator;
        application.installTranslator(&translator);
        return applySavedSettings(application);
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
