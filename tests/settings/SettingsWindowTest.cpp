// SPDX-License-Identifier: MIT
// The real settings window, driven by keyboard as a user would. Each run is one scene of
// tests/e2e/test_settings_window.py, which starts the service, the mouse and the bus
// around it and says through the environment what the window must show.
#include "AutostartEntry.h"
#include "LocaleTranslator.h"
#include "SettingsWindow.h"

#include <QAccessible>
#include <QtTest>

#include <iostream>
#include <memory>
#include <string>

class SettingsWindowTest : public QObject {
    Q_OBJECT

    LocaleTranslator translator;
    std::unique_ptr<SettingsWindow> window;

    QString text(const char* label) const { return window->findChild<QLabel*>(QLatin1String(label))->text(); }

    static QString expected(const char* variable) { return qEnvironmentVariable(variable); }

    // The name given to the control, or else the one Qt makes from its text. (On Linux a
    // combo box announces its current text and its label through a relation.)
    static QString accessibleName(QWidget* widget) {
        const QString given = widget->accessibleName();
        return given.isEmpty() ? QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name) : given;
    }

    // The control a screen reader announces under this name.
    template <typename Control>
    Control* control(const QString& name) const {
        for (Control* candidate : window->findChildren<Control*>()) {
            if (accessibleName(candidate) == name) {
                return candidate;
            }
        }
        return nullptr;
    }

    // A mnemonic on a button clicks it a moment later, as the button shows itself pressed;
    // hence QTRY_ after pressing one.
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), key, modifiers);
    }

    // What the controls show, in the order the service takes them.
    QVariantList shownSettings() const {
        return {control<QCheckBox>("Lift-off detection")->isChecked(),
                control<QCheckBox>("Smart scrolling")->isChecked(),
                control<QCheckBox>("Remap wheel press")->isChecked(),
                control<QCheckBox>("Remap gesture button")->isChecked(),
                control<QComboBox>("Polling rate")->currentData().toInt(),
                control<QSlider>("Pointer speed")->value()};
    }

private slots:
    void initTestCase() { QApplication::installTranslator(&translator); }

    void init() {
        window = std::make_unique<SettingsWindow>();
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void cleanup() { window.reset(); }

    // EXPECTED_MOUSE, EXPECTED_ACCESS and EXPECTED_RESULT: the lines before and after Apply.
    void explainsWhatTheServiceAnswers() {
        QCOMPARE(text("mouse"), expected("EXPECTED_MOUSE"));
        QCOMPARE(text("access"), expected("EXPECTED_ACCESS"));
        press(Qt::Key_A, Qt::AltModifier);
        QTRY_COMPARE(text("result"), expected("EXPECTED_RESULT"));
    }

    // Polling rate 500 Hz, pointer speed 2 and smart scrolling on, then Apply.
    void appliesChangedSettings() {
        QCOMPARE(text("source"), QString("Showing the defaults: no settings were applied here yet."));
        QCOMPARE(shownSettings(), QVariantList({true, false, true, true, 1000, 3}));
        press(Qt::Key_P, Qt::AltModifier);
        press(Qt::Key_Up);
        press(Qt::Key_S, Qt::AltModifier);
        press(Qt::Key_Left);
        press(Qt::Key_M, Qt::AltModifier);
        press(Qt::Key_A, Qt::AltModifier);
        QTRY_COMPARE(text("result"), QString("The settings were applied."));
        QCOMPARE(shownSettings(), QVariantList({true, true, true, true, 500, 2}));
    }

    // A new process after appliesChangedSettings: those settings are back; Defaults only
    // resets the controls.
    void showsTheAppliedSettingsAgain() {
        QCOMPARE(text("source"), QString("Showing the settings you last applied."));
        QCOMPARE(shownSettings(), QVariantList({true, true, true, true, 500, 2}));
        press(Qt::Key_D, Qt::AltModifier);
        QTRY_COMPARE(shownSettings(), QVariantList({true, false, true, true, 1000, 3}));
        QCOMPARE(text("source"), QString("Showing the defaults: press Apply to send them."));
    }

    // The mouse is plugged in while the window is open, once this scene says "waiting";
    // Refresh asks the service again.
    void refreshShowsAMouseThatArrived() {
        QCOMPARE(text("mouse"), QString("No supported mouse was found."));
        std::cout << "waiting" << std::endl;
        std::string line;
        std::getline(std::cin, line);
        press(Qt::Key_F5);
        QCOMPARE(text("mouse"), QString("Glide M3"));
    }

    void applyAtLoginWritesAnAutostartEntry() {
        QFile entry(AutostartEntry::filePath());
        press(Qt::Key_O, Qt::AltModifier);
        QTRY_VERIFY(entry.exists());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().contains("\nExec=vorlixd-settings --apply\n"));
        press(Qt::Key_O, Qt::AltModifier);
        QTRY_VERIFY(!entry.exists());
    }

    // Tab visits every control once, each under a name a screen reader can say.
    void everyControlIsReachableByTabAndNamed() {
        QStringList visited;
        for (int step = 0; step < 20 && !visited.contains(accessibleName(QApplication::focusWidget())); ++step) {
            visited << accessibleName(QApplication::focusWidget());
            press(Qt::Key_Tab);
        }
        visited.sort();
        QCOMPARE(visited, QStringList({"Apply", "Apply at login", "Defaults", "Lift-off detection", "Pointer speed",
                                       "Polling rate", "Refresh", "Remap gesture button", "Remap wheel press",
                                       "Smart scrolling"}));
    }

    // SCREENSHOT: where the picture of the window goes.
    void screenshot() { QVERIFY(window->grab().save(expected("SCREENSHOT"))); }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
