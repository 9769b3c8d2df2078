// SPDX-License-Identifier: MIT
#include "AdministratorSettings.h"
#include "LocaleTranslator.h"
#include "MouseService.h"
#include "MouseSettings.h"
#include "SavedSettings.h"
#include "SettingsWindow.h"
#include "WindowState.h"

#include <QApplication>
#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
#include <cstring>

namespace {

void finish(const QString& line, int exitCode) {
    QTextStream(stdout) << line << Qt::endl;
    QCoreApplication::exit(exitCode);
}

void sent(const MouseService::Answer& answer) {
    if (answer.outcome == MouseService::Outcome::Done) {
        finish(QCoreApplication::translate("main", "The saved mouse settings were applied."), 0);
    } else {
        finish(WindowState::failureLine(answer.outcome), 1);
    }
}

// A mouse that did not take the kept settings is a failure, even when another took them.
void keptAgain(const MouseService::Answer& answer, const QVector<MouseService::Mouse>& reached) {
    const bool everyMouseTookThem = std::all_of(reached.begin(), reached.end(), [](const MouseService::Mouse& mouse) {
        return mouse.outcome == MouseService::Outcome::Done;
    });
    if (answer.outcome == MouseService::Outcome::Done && !everyMouseTookThem) {
        finish(WindowState::keptLine(reached), 1);
    } else {
        sent(answer);
    }
}

// What runs at login for "Apply at login": sends the settings the service keeps to every
// mouse, keeping them again, or else those an earlier version saved here to the first mouse,
// without keeping them. The administrator's valid settings are the ones the mice should have,
// so then nothing is sent.
int applySavedSettings(QCoreApplication& application) {
    if (AdministratorSettings::read().state == AdministratorSettings::State::Valid) {
        QTextStream(stdout) << QCoreApplication::translate("main", "The administrator's settings in %1 apply: "
                                                                   "nothing was sent.")
                                   .arg(QString::fromStdString(AdministratorSettings::filePath()))
                            << Qt::endl;
        return 0;
    }
    MouseService::ask(
        QCoreApplication::instance(), [](const MouseService::Answer& answer, const MouseService::Reading& reading) {
            if (answer.outcome != MouseService::Outcome::Done) {
                finish(WindowState::failureLine(answer.outcome), 1);
                return;
            }
            const QVariantMap saved = reading.kept.isEmpty() ? SavedSettings::readEarlierVersionFile() : reading.kept;
            QStringList unreadable;
            const MouseSettings settings = SavedSettings::read(saved, unreadable);
            if (saved.isEmpty()) {
                finish(QCoreApplication::translate("main", "No saved mouse settings: nothing was sent."), 1);
            } else if (!unreadable.isEmpty()) { // half a set must never be sent as if it were whole
                finish(QCoreApplication::translate("main", "The saved mouse settings could not be read (%1): nothing "
                                                           "was sent.")
                           .arg(unreadable.join(QStringLiteral(", "))),
                       1);
            } else if (!reading.kept.isEmpty()) {
                const bool noPasswordPrompt = false;
                MouseService::apply(settings, noPasswordPrompt, QCoreApplication::instance(), keptAgain);
            } else if (reading.mice.isEmpty()) { // only the service's own interface names this failure
                finish(WindowState::failureLine(MouseService::Outcome::NoMouse), 1);
            } else {
                MouseService::applyToFirstMouse(settings, QCoreApplication::instance(), sent);
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
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) // Qt 6 always scales for high-DPI screens
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
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
