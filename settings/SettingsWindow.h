// SPDX-License-Identifier: MIT
#pragma once

#include "MouseService.h"
#include "MouseSettings.h"
#include "WindowState.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>

// The settings window: the mice the service found, the six settings, and Apply. It shows
// a WindowState and never waits for the service: answers update the state when they come.
// The service announces nothing, so it is asked when the window opens, on Refresh and after
// an Apply; becoming active only asks polkit again, which touches neither service nor mouse.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    SettingsWindow() {
        setWindowTitle(tr("Mouse Settings"));
        setWindowIcon(QIcon::fromTheme(QStringLiteral("org.vorlix.vorlixd.settings")));
        // Named, so that tests and accessibility tools can find them. Their text may come from
        // the mouse or the service, so it is never read as markup.
        const QVector<QPair<QLabel*, const char*>> lines = {
            {mouseLabel, "mouse"},   {accessLabel, "access"}, {administratorLabel, "administrator"},
            {sourceLabel, "source"}, {resultLabel, "result"}, {speedStepLabel, "speedStep"}};
        for (const auto& [label, name] : lines) {
            label->setObjectName(QLatin1String(name));
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(label != mouseLabel);
        }
        // Maximised, the window keeps its rows together: the page grows to a readable width,
        // centred, and the room below the settings stays empty.
        auto* page = new QWidget;
        page->setMaximumWidth(MOST_WIDTH * 3 / 2);
        auto* pageLayout = new QHBoxLayout(this);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        pageLayout->addStretch(1);
        pageLayout->addWidget(page, 1000);
        pageLayout->addStretch(1);
        auto* layout = new QVBoxLayout(page);

        auto* mouseForm = new QFormLayout;
        auto* mouseRow = new QHBoxLayout;
        // A long name is elided to the window's width; the whole list is its tooltip and name.
        mouseLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        mouseLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        mouseRow->addWidget(mouseLabel, 1);
        auto* refreshButton = new QPushButton(tr("&Refresh"));
        refreshButton->setAutoDefault(false); // Enter applies, wherever the focus is
        connect(refreshButton, &QPushButton::clicked, this, &SettingsWindow::refresh);
        auto* refreshAction = new QAction(this);
        refreshAction->setShortcut(QKeySequence::Refresh);
        connect(refreshAction, &QAction::triggered, this, &SettingsWindow::refresh);
        addAction(refreshAction);
        mouseRow->addWidget(refreshButton);
        mouseForm->addRow(tr("Mouse:"), mouseRow);
        layout->addLayout(mouseForm);
        layout->addWidget(accessLabel);
        layout->addWidget(administratorLabel);

        auto* settingsBox = new QGroupBox(tr("Sent to the mouse"));
        auto* settingsForm = new QFormLayout(settingsBox);
        frequencyBox->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        for (int frequency : MouseSettings::FREQUENCIES) {
            frequencyBox->addItem(tr("%1 Hz").arg(frequency), frequency);
        }
        addSetting(settingsForm, tr("&Polling rate:"), frequencyBox,
                   tr("How many times a second the mouse reports to the computer."));
        speedSlider->setRange(MouseSettings::FIRST_SPEED_STEP, MouseSettings::LAST_SPEED_STEP);
        speedSlider->setPageStep(1);
        speedSlider->setTickInterval(1);
        speedSlider->setTickPosition(QSlider::TicksBelow);
        auto* speedRow = new QWidget;
        auto* speedLayout = new QHBoxLayout(speedRow);
        speedLayout->setContentsMargins(0, 0, 0, 0);
        speedLayout->addWidget(new QLabel(QString::number(MouseSettings::FIRST_SPEED_STEP)));
        speedLayout->addWidget(speedSlider, 1);
        speedLayout->addWidget(new QLabel(QString::number(MouseSettings::LAST_SPEED_STEP)));
        speedLayout->addWidget(speedStepLabel);
        addSetting(settingsForm, tr("Pointer &speed:"), speedSlider,
                   tr("The mouse's pointer speed, in five steps; each step is a speed code of the mouse's own."),
                   speedRow);
        addSetting(settingsForm, QString(), liftOffBox,
                   tr("Switches the mouse's detection of being lifted off the surface on or off."));
        addSetting(
            settingsForm, QString(), smartScrollingBox,
            tr("Switches the mouse's smart-scrolling mode on or off; what it does to scrolling is up to the mouse."));
        addSetting(settingsForm, QString(), wheelPressBox,
                   tr("Whether the mouse remaps a press on the wheel; the mouse chooses the function."));
        addSetting(settingsForm, QString(), gestureButtonBox,
                   tr("Whether the mouse remaps the gesture button; the mouse chooses the function."));
        // The settings scroll when the screen is too low for them (twice the scale on a small
        // screen); the focus takes the view along, so every control stays reachable by keyboard.
        auto* settingsColumn = new QWidget;
        auto* settingsColumnLayout = new QVBoxLayout(settingsColumn);
        settingsColumnLayout->setContentsMargins(0, 0, 0, 0);
        settingsColumnLayout->addWidget(settingsBox);
        settingsColumnLayout->addStretch(1);
        settingsArea->setWidget(settingsColumn);
        settingsArea->setWidgetResizable(true);
        settingsArea->setFrameShape(QFrame::NoFrame);
        settingsArea->setFocusPolicy(Qt::NoFocus); // the controls in it take the focus
        settingsArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(qApp, &QApplication::focusChanged, settingsArea, [this](QWidget*, QWidget* now) {
            if (now && settingsArea->isAncestorOf(now)) {
                settingsArea->ensureWidgetVisible(now);
            }
        });
        layout->addWidget(settingsArea);
        connect(frequencyBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SettingsWindow::choose);
        connect(speedSlider, &QSlider::valueChanged, this, &SettingsWindow::choose);
        for (QCheckBox* box : {liftOffBox, smartScrollingBox, wheelPressBox, gestureButtonBox}) {
            connect(box, &QCheckBox::toggled, this, &SettingsWindow::choose);
        }

        layout->addWidget(sourceLabel);
        resultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(resultLabel);
        layout->addStretch(1); // maximised, the lines stay beside the settings they speak of

        auto* buttons = new QDialogButtonBox(QDialogButtonBox::RestoreDefaults | QDialogButtonBox::Apply, this);
        applyButton = buttons->button(QDialogButtonBox::Apply);
        applyButton->setText(tr("&Apply"));
        applyButton->setDefault(true);
        defaultsButton = buttons->button(QDialogButtonBox::RestoreDefaults);
        defaultsButton->setText(tr("&Defaults"));
        defaultsButton->setAutoDefault(false);
        connect(applyButton, &QPushButton::clicked, this, &SettingsWindow::apply);
        connect(defaultsButton, &QPushButton::clicked, this, &SettingsWindow::restoreDefaults);
        layout->addWidget(buttons);

        showSettings(MouseSettings());
        askService();
        askPermission();
        fitToScreen(layout->contentsMargins().left() + layout->contentsMargins().right());
    }

    void refresh() {
        state.askingService();
        askService();
        askPermission();
    }

    // Once at a time; the answer may take minutes when polkit asks for a password.
    void apply() {
        if (!state.applyEnabled()) {
            return;
        }
        const bool askPassword = state.askPassword();
        MouseService::apply(state.applyStarted(), askPassword, this,
                            [this](const WindowState::Answer& answer, const QVector<WindowState::Mouse>& reached) {
                                if (state.applyAnswered(answer, reached)) {
                                    askService();
                                }
                                showState();
                            });
        showState();
    }

    // Only the controls: nothing reaches the mouse until Apply.
    void restoreDefaults() {
        showSettings(MouseSettings());
        state.defaultsChosen();
        showState();
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::WindowActivate) {
            askPermission();
        }
        return QWidget::event(event);
    }

    // Enter applies from any control that has no use of its own for it, as in a dialog.
    void keyPressEvent(QKeyEvent* event) override {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            apply();
            return;
        }
        QWidget::keyPressEvent(event);
    }

    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        showMouseLine();
        // No higher than the settings need at this width: maximised, the lines about them
        // stay right under them instead of below an empty band.
        settingsArea->setMaximumHeight(settingsArea->widget()->heightForWidth(settingsArea->width()));
    }

private:
    // Opens at most half as wide as a 1280 pixels wide screen at scale 1 and never beyond the
    // screen, as high as the settings need at that width where the screen allows: the rest
    // scrolls.
    void fitToScreen(int settingsMargins) {
        const QRect available = screen()->availableGeometry();
        const int width = std::min(MOST_WIDTH, available.width());
        const int height = sizeHint().height() - settingsArea->sizeHint().height() +
                           settingsArea->widget()->heightForWidth(width - settingsMargins);
        resize(width, std::min(height, available.height()));
    }

    static constexpr int MOST_WIDTH = 640;

    // A labelled control (shown inside `shown` where that is given) with its one-line
    // explanation underneath; the label's mnemonic moves the focus to the control itself.
    void addSetting(QFormLayout* form, const QString& label, QWidget* control, const QString& explanation,
                    QWidget* shown = nullptr) {
        auto* text = new QLabel(explanation);
        text->setWordWrap(true);
        QFont small = text->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        text->setFont(small);
        control->setAccessibleDescription(explanation);
        auto* column = new QVBoxLayout;
        column->setSpacing(0);
        column->addWidget(shown ? shown : control);
        column->addWidget(text);
        if (label.isEmpty()) { // a check box: the explanation lines up with its text
            text->setIndent(style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                            style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
            form->addRow(column);
            return;
        }
        auto* caption = new QLabel(label);
        caption->setBuddy(control);
        control->setAccessibleName(QString(label).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
        form->addRow(caption, column);
    }

    void askService() {
        MouseService::ask(this, [this](const WindowState::Answer& answer, const MouseService::Reading& reading) {
            if (const std::optional<MouseSettings> shown = state.serviceAnswered(answer, reading)) {
                showSettings(*shown);
            }
            showState();
        });
        showState();
    }

    void askPermission() {
        MouseService::mayChange(this, [this](MouseService::Permission answer) {
            state.permissionAnswered(answer);
            showState();
        });
    }

    void showState() {
        showMouseLine();
        for (const auto& [label, text] :
             {qMakePair(accessLabel, state.accessLine()), qMakePair(administratorLabel, state.administratorLine())}) {
            label->setText(text);
            label->setVisible(!text.isEmpty());
        }
        sourceLabel->setText(state.sourceLine());
        resultLabel->setText(state.resultLine());
        for (const auto& [label, detail] : {qMakePair(resultLabel, state.resultDetail()),
                                            qMakePair(administratorLabel, state.administratorDetail())}) {
            label->setToolTip(detail.isEmpty() ? QString() : Qt::convertFromPlainText(detail));
            label->setAccessibleDescription(detail);
        }
        for (QWidget* control : settingControls()) {
            control->setEnabled(state.controlsEnabled());
        }
        defaultsButton->setEnabled(state.controlsEnabled());
        applyButton->setEnabled(state.applyEnabled());
        speedStepLabel->setText(tr("Step %1").arg(speedSlider->value()));
    }

    // One line for each mouse, each cut to the window's width on its own.
    void showMouseLine() {
        const QString lines = state.mouseLine();
        mouseLabel->setAccessibleName(lines);
        mouseLabel->setToolTip(Qt::convertFromPlainText(lines));
        QStringList shown;
        for (const QString& line : lines.split(QLatin1Char('\n'))) {
            // A left-to-right mark first: a name in a right-to-left script must not turn the
            // line around or align it to the right.
            shown << QChar(0x200E) + mouseLabel->fontMetrics().elidedText(line, Qt::ElideMiddle, mouseLabel->width());
        }
        mouseLabel->setText(shown.join(QLatin1Char('\n')));
    }

    QVector<QWidget*> settingControls() const {
        return {frequencyBox, speedSlider, liftOffBox, smartScrollingBox, wheelPressBox, gestureButtonBox};
    }

    // Shown without a signal per control, so the state sees only whole sets of settings.
    void showSettings(const MouseSettings& settings) {
        for (QWidget* control : settingControls()) {
            control->blockSignals(true);
        }
        frequencyBox->setCurrentIndex(frequencyBox->findData(settings.frequency));
        speedSlider->setValue(settings.speed);
        liftOffBox->setChecked(settings.liftOffDetection);
        smartScrollingBox->setChecked(settings.smartScrolling);
        wheelPressBox->setChecked(settings.remapWheelPress);
        gestureButtonBox->setChecked(settings.remapGestureButton);
        for (QWidget* control : settingControls()) {
            control->blockSignals(false);
        }
        state.choose(settings);
    }

    void choose() {
        MouseSettings settings;
        settings.frequency = frequencyBox->currentData().toInt();
        settings.speed = speedSlider->value();
        settings.liftOffDetection = liftOffBox->isChecked();
        settings.smartScrolling = smartScrollingBox->isChecked();
        settings.remapWheelPress = wheelPressBox->isChecked();
        settings.remapGestureButton = gestureButtonBox->isChecked();
        state.choose(settings);
        showState();
    }

    WindowState state;
    QLabel* mouseLabel = new QLabel;
    QLabel* accessLabel = new QLabel;
    QLabel* administratorLabel = new QLabel;
    QComboBox* frequencyBox = new QComboBox;
    QSlider* speedSlider = new QSlider(Qt::Horizontal);
    QLabel* speedStepLabel = new QLabel;
    QCheckBox* liftOffBox = new QCheckBox(tr("&Lift-off detection"));
    QCheckBox* smartScrollingBox = new QCheckBox(tr("S&mart scrolling"));
    QCheckBox* wheelPressBox = new QCheckBox(tr("Remap &wheel press"));
    QCheckBox* gestureButtonBox = new QCheckBox(tr("Remap &gesture button"));
    QLabel* sourceLabel = new QLabel;
    QLabel* resultLabel = new QLabel;
    QPushButton* applyButton = nullptr;
    QPushButton* defaultsButton = nullptr;
    QScrollArea* settingsArea = new QScrollArea;
};
