// SPDX-License-Identifier: MIT
// The real settings window, driven by keyboard as a user would, one scene a run. The scene's test
// in tests/e2e/test_settings_window.py sets the service, mice and bus, and says what must show.
#include "LocaleTranslator.h"
#include "SettingsWindow.h"

#include <QAccessible>
#include <QScrollBar>
#include <QtTest>

#include <iostream>
#include <memory>
#include <string>

class SettingsWindowTest : public QObject {
    Q_OBJECT

    LocaleTranslator translator;
    std::unique_ptr<SettingsWindow> window;

    // Lines as a person gets them: plain text, never markup, and whole (a line cut short is whole in its name).
    QString text(const char* name) const {
        const auto* label = window->findChild<QLabel*>(QLatin1String(name));
        if (label->textFormat() != Qt::PlainText) {
            return QStringLiteral("<read as markup>");
        }
        for (const QString& line : label->text().split('\n')) {
            if (!label->wordWrap() && label->fontMetrics().horizontalAdvance(line) > label->width()) {
                return QStringLiteral("<clipped>");
            }
        }
        return label->accessibleName().isEmpty() ? label->text() : label->accessibleName();
    }

    // The mice as a screen reader names their rows, one a line (with `sent`, what each row says
    // the mouse was last sent), or the line that says why there is none. A name is cut to fit.
    QString mice(bool sent = false) const {
        QStringList lines;
        for (const QWidget* row : window->findChildren<QWidget*>("mouseRow")) {
            const auto* name = row->findChild<ElidedLabel*>();
            if (name->fontMetrics().horizontalAdvance(name->text()) > name->width()) {
                return QStringLiteral("<clipped>");
            }
            lines << (sent ? row->accessibleDescription() : row->accessibleName());
        }
        return lines.isEmpty() ? text("mouse") : lines.join('\n');
    }

    static QString expected(const char* variable) { return qEnvironmentVariable(variable); }

    // The name given, or else Qt's from the text (on Linux a combo box announces its label through a relation).
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

    // Keys one after another, as "Alt+P, Up", each to what has the focus then. A mnemonic on a
    // button clicks it a moment later, as the button shows itself pressed; hence QTRY_ after one.
    void type(const char* keys) {
        const QKeySequence typed(QLatin1String(keys), QKeySequence::PortableText);
        for (int i = 0; i < typed.count(); ++i) {
            QWidget* focus = QApplication::focusWidget();
            QTest::keySequence(focus ? focus : window.get(), QKeySequence(typed[i]));
        }
    }

    // What the controls show, in the order the service takes them.
    QString shownSettings() const {
        QStringList shown;
        for (const char* box : {"Lift-off detection", "Smart scrolling", "Remap wheel press", "Remap gesture button"}) {
            shown << (control<QCheckBox>(box)->isChecked() ? "true" : "false");
        }
        return (shown << control<QComboBox>("Polling rate")->currentData().toString()
                      << QString::number(control<QSlider>("Pointer speed")->value()))
            .join(' ');
    }

    static void waitForTheTest() {
        std::cout << "waiting" << std::endl;
        std::string line;
        std::getline(std::cin, line);
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

    // EXPECTED_MOUSE, EXPECTED_ACCESS, EXPECTED_ADMINISTRATOR, EXPECTED_SOURCE and EXPECTED_RESULT: the lines before
    // and after Enter, which applies from wherever the focus starts; EXPECTED_SOURCE_AFTER: the source line then.
    void explainsWhatTheServiceAnswers() {
        QTRY_COMPARE(mice(), expected("EXPECTED_MOUSE"));
        QTRY_COMPARE(text("access"), expected("EXPECTED_ACCESS"));
        QCOMPARE(text("administrator"), expected("EXPECTED_ADMINISTRATOR"));
        QCOMPARE(text("source"), expected("EXPECTED_SOURCE"));
        type("Return");
        QTRY_COMPARE(text("result"), expected("EXPECTED_RESULT"));
        QTRY_COMPARE(mice(), expected("EXPECTED_MOUSE"));
        QCOMPARE(text("source"), expected("EXPECTED_SOURCE_AFTER"));
    }

    // Every setting away from its default, then Enter in the last control. A second mouse is
    // plugged in meanwhile: it gets them too, and each row says so, as the service recorded it.
    void appliesChangedSettings() {
        QTRY_COMPARE(text("source"), QString("Showing the defaults: the service keeps no settings yet."));
        QTRY_COMPARE(mice(), QString("Glide M3 (0xC652)"));
        waitForTheTest();
        QCOMPARE(shownSettings(), QString("true false true true 1000 3"));
        type("Alt+P, Up, Alt+S, Left");
        QCOMPARE(text("speedStep"), QString("Step 2"));
        type("Alt+L, Alt+M, Alt+W");
        QTRY_COMPARE(shownSettings(), QString("false true false true 500 2"));
        QCOMPARE(text("source"), QString("Changed, not applied yet: press Apply to send and keep what is shown."));
        type("Return");
        QTRY_COMPARE(text("result"), QString("The settings were applied and kept."));
        QCOMPARE(text("source"), QString("Showing the settings the service keeps for the mouse."));
        QTRY_COMPARE(mice(), QString("Glide M3 (0xC652)\nGlide Pro (0xC656)"));
        const QRegularExpression taken(
            "^(Took the kept settings through the service, [-\\d ]*\\d\\d:\\d\\d\\.\\n?){2}$");
        QTRY_VERIFY(taken.match(mice(true)).hasMatch());
    }

    // The second mouse, chosen by keyboard, gets its own speed and its row says so; then follows the kept ones again.
    void givesOneMouseItsOwnSettings() {
        QTRY_COMPARE(mice(), QString("Glide M3 (0xC652)\nGlide Pro (0xC656)"));
        type("Alt+F, Down, Down");
        QTRY_COMPARE(window->findChild<QGroupBox*>("settings")->title(), QString("Its own settings"));
        QCOMPARE(text("source"), QString("It follows the kept settings, shown here: press Apply to give it these "
                                         "as its own."));
        type("Alt+S, Right, Return");
        QTRY_COMPARE(text("result"), QString("Its own settings were applied and kept."));
        QTRY_VERIFY(mice(true).split('\n').value(1).startsWith("Has its own settings. Took its own settings"));
        QTRY_VERIFY(control<QPushButton>("Follow the kept settings")->isEnabled());
        waitForTheTest();
        type("Alt+K");
        QTRY_COMPARE(text("result"), QString("It follows the kept settings again."));
        QTRY_VERIFY(!mice(true).contains("Has its own settings"));
    }

    // EXPECTED_SOURCE and EXPECTED_SHOWN: where the settings the window opens with come
    // from, and what they are. Defaults then puts back all six, and says so.
    void opensWithTheSavedSettings() {
        QTRY_COMPARE(text("source"), expected("EXPECTED_SOURCE"));
        QCOMPARE(shownSettings(), expected("EXPECTED_SHOWN"));
        type("Alt+D");
        QTRY_COMPARE(shownSettings(), QString("true false true true 1000 3"));
        QCOMPARE(text("source"), QString("Showing the defaults: press Apply to send and keep them."));
    }

    // The mouse is plugged in and another client keeps settings while the window is open; the window follows unasked:
    // the failed Apply no longer stands, and every control but the one changed here shows what the service keeps.
    void followsAMouseThatArrived() {
        QTRY_COMPARE(mice(), QString("No supported mouse was found."));
        type("Alt+A");
        QTRY_COMPARE(text("result"), QString("No supported mouse was found: nothing was sent."));
        type("Alt+S, Left");
        waitForTheTest();
        QTRY_COMPARE(mice(), QString("Glide M3 (0xC652)"));
        QCOMPARE(text("result"), QString());
        QTRY_COMPARE(shownSettings(), QString("true false true false 250 2"));
        QCOMPARE(text("source"), QString("Changed, not applied yet: press Apply to send and keep what is shown."));
    }

    // The service is stopped: the window still takes keys and shows the call in flight, once; when the service
    // goes away unanswered, nobody knows what the mouse has.
    void staysResponsiveWhileTheServiceIsStuck() {
        QCOMPARE(mice(), QString("Asking the service…"));
        type("Alt+M");
        QTRY_COMPARE(shownSettings(), QString("true true true true 1000 3"));
        type("Alt+A");
        QTRY_COMPARE(text("result"), QString("Sending the settings…"));
        QVERIFY(!control<QPushButton>("Apply")->isEnabled());
        QCOMPARE(text("source"), QString("Changed, not applied yet."));
        waitForTheTest();
        QTRY_COMPARE(text("result"),
                     QString("The service did not answer: the mouse may or may not have the settings."));
        // The two calls end with two answers, in either order.
        QTRY_COMPARE(mice(), QString("The service did not answer."));
        QCOMPARE(text("source"),
                 QString("Whether the service kept the settings shown is unknown: press F5 to see what it keeps."));
        QVERIFY(control<QPushButton>("Apply")->isEnabled());
    }

    // Switching to another window and back, as a user does all day.
    void focusChangesAskNothingOfTheService() {
        QTRY_COMPARE(mice(), QString("Glide M3 (0xC652)"));
        QWidget other;
        other.show();
        for (int i = 0; i < 5; ++i) {
            other.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&other));
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
        }
    }

    // Tab visits every control once, each under a name a screen reader can say; the usual keys close the window.
    void everyControlIsReachableByTabAndNamed() {
        QStringList visited;
        for (int step = 0; step < 20 && !visited.contains(accessibleName(QApplication::focusWidget())); ++step) {
            visited << accessibleName(QApplication::focusWidget());
            type("Tab");
        }
        visited.sort();
        QCOMPARE(visited,
                 QStringList({"Apply", "Defaults", "Lift-off detection", "Pointer speed", "Polling rate",
                              "Remap gesture button", "Remap wheel press", "Settings for", "Smart scrolling"}));
        for (const QKeySequence& close :
             {QKeySequence(QKeySequence::Close), QKeySequence(QKeySequence::Quit), QKeySequence(Qt::Key_Escape)}) {
            window->show();
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window.get()));
            QTest::keySequence(QApplication::focusWidget(), close);
            QTRY_VERIFY2(!window->isVisible(), qPrintable(close.toString()));
        }
    }

    // MICE: how many are listed. The window grows to what it shows, within the screen, before
    // and after Apply: at scale 1 nothing scrolls, and at any scale every button stays on screen.
    void growsToWhatItShows() {
        const int listed = expected("MICE").toInt();
        QTRY_COMPARE(window->findChildren<QWidget*>("mouseRow").size(), listed);
        const QScrollBar* scrolled = window->findChild<QScrollArea*>()->verticalScrollBar();
        const bool scaled = qEnvironmentVariable("QT_SCALE_FACTOR", "1") != "1";
        for (const char* when : {"as it opens", "after Apply"}) {
            const QRect screen = window->screen()->availableGeometry();
            QTRY_VERIFY2(screen.contains(window->frameGeometry()), when);
            QTRY_VERIFY2(scaled || scrolled->maximum() == 0, when);
            for (QPushButton* button : window->findChildren<QPushButton*>()) {
                const QRect shown(button->mapToGlobal(QPoint()), button->size());
                QVERIFY2(!button->isVisible() || screen.contains(shown), qPrintable(button->text()));
            }
            type("Return");
            QTRY_COMPARE(text("result"), QString("No mouse could be opened: nothing was sent."));
            QTRY_COMPARE(mice(true).count("through the service"), listed);
        }
    }

    // SCREENSHOT: where the pictures go, once the service has listed the mice EXPECTED_MOUSE: as the window opens,
    // at most 640 pixels wide at scale 1 (half the test's screen) and within the screen at any scale, scrolling only
    // when as high as the screen, every control in view once it has the focus; and as large as the screen.
    void screenshot() {
        QTRY_COMPARE(mice(), expected("EXPECTED_MOUSE"));
        const QRect screen = window->screen()->availableGeometry();
        QVERIFY(window->width() <= 640 && screen.contains(window->geometry()));
        QScrollBar* scrolled = window->findChild<QScrollArea*>()->verticalScrollBar();
        QTRY_VERIFY(scrolled->maximum() == 0 || window->height() == screen.height());
        for (QWidget* control : window->findChildren<QWidget*>()) {
            if (control->focusPolicy() & Qt::TabFocus && control->isVisibleTo(window.get())) {
                control->setFocus();
                QTRY_VERIFY2(!control->visibleRegion().isEmpty(), qPrintable(accessibleName(control)));
            }
        }
        scrolled->setValue(0); // as it opens, with a scroll bar when there is more
        QTRY_COMPARE(scrolled->isVisible(), scrolled->maximum() > 0);
        QVERIFY(window->grab().save(expected("SCREENSHOT") + ".png"));
        window->setGeometry(screen);
        QTRY_COMPARE(window->size(), screen.size());
        const auto* settings = window->findChild<QGroupBox*>("settings");
        const auto* source = window->findChild<QLabel*>("source");
        QTRY_VERIFY(source->mapTo(window.get(), QPoint()).y() -
                        settings->mapTo(window.get(), settings->rect().bottomLeft()).y() <
                    source->height());
        QVERIFY(window->grab().save(expected("SCREENSHOT") + "-maximised.png"));
    }
};

QTEST_MAIN(SettingsWindowTest)
#include "SettingsWindowTest.moc"
