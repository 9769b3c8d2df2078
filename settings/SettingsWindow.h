// SPDX-License-Identifier: MIT
#pragma once

#include "AutostartEntry.h"
#include "MouseService.h"
#include "MouseSettings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>

// The settings window: the mouse the service found, the six settings, and Apply. The
// service announces nothing, so what it knows is asked again whenever the window becomes
// active and on Refresh.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    SettingsWindow() {
        setWindowTitle(tr("Mouse Settings"));
        setWindowIcon(QIcon::fromTheme(QStringLiteral("org.vorlix.vorlixd.settings")));
        // Named, so that tests and accessibility tools can find them.
        mouseLabel->setObjectName(QStringLiteral("mouse"));
        accessLabel->setObjectName(QStringLiteral("access"));
        sourceLabel->setObjectName(QStringLiteral("source"));
        resultLabel->setObjectName(QStringLiteral("result"));
        auto* layout = new QVBoxLayout(this);

        auto* mouseForm = new QFormLayout;
        auto* mouseRow = new QHBoxLayout;
        mouseLabel->setWordWrap(true);
        mouseLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        mouseRow->addWidget(mouseLabel, 1);
        auto* refreshAction = new QAction(tr("&Refresh"), this);
        refreshAction->setShortcut(QKeySequence::Refresh);
        connect(refreshAction, &QAction::triggered, this, &SettingsWindow::refresh);
        auto* refreshButton = new QToolButton;
        refreshButton->setDefaultAction(refreshAction);
        addAction(refreshAction);
        mouseRow->addWidget(refreshButton);
        mouseForm->addRow(tr("Mouse:"), mouseRow);
        layout->addLayout(mouseForm);
        accessLabel->setWordWrap(true);
        accessLabel->hide();
        layout->addWidget(accessLabel);

        auto* settingsBox = new QGroupBox(tr("Sent to the mouse"));
        auto* settingsForm = new QFormLayout(settingsBox);
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
        layout->addWidget(settingsBox);

        auto* loginForm = new QFormLayout;
        addSetting(loginForm, QString(), applyAtLoginBox,
                   tr("Send the settings you last applied each time you log in."));
        layout->addLayout(loginForm);
        applyAtLoginBox->setChecked(AutostartEntry::exists());
        connect(applyAtLoginBox, &QCheckBox::toggled, this, &SettingsWindow::setApplyAtLogin);

        sourceLabel->setWordWrap(true);
        layout->addWidget(sourceLabel);
        resultLabel->setWordWrap(true);
        resultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(resultLabel);

        auto* buttons = new QDialogButtonBox(QDialogButtonBox::RestoreDefaults | QDialogButtonBox::Apply, this);
        QPushButton* applyButton = buttons->button(QDialogButtonBox::Apply);
        applyButton->setText(tr("&Apply"));
        applyButton->setDefault(true);
        QPushButton* defaultsButton = buttons->button(QDialogButtonBox::RestoreDefaults);
        defaultsButton->setText(tr("&Defaults"));
        connect(applyButton, &QPushButton::clicked, this, &SettingsWindow::apply);
        connect(defaultsButton, &QPushButton::clicked, this, &SettingsWindow::restoreDefaults);
        layout->addWidget(buttons);

        const std::optional<MouseSettings> saved = MouseSettings::load();
        showSettings(saved.value_or(MouseSettings()));
        sourceLabel->setText(saved ? tr("Showing the settings you last applied.")
                                   : tr("Showing the defaults: no settings were applied here yet."));
    }

    void refresh() {
        mouseLabel->setText(MouseService::describeMouse());
        const QString access = MouseService::checkAccess();
        accessLabel->setText(access);
        accessLabel->setVisible(!access.isEmpty());
    }

    void apply() {
        const MouseSettings settings = chosenSettings();
        const QString failure = MouseService::apply(settings);
        if (!failure.isEmpty()) {
            resultLabel->setText(failure);
        } else if (!settings.save()) {
            resultLabel->setText(
                tr("The settings were applied, but could not be saved in %1.").arg(MouseSettings::filePath()));
        } else {
            resultLabel->setText(tr("The settings were applied."));
            sourceLabel->setText(tr("Showing the settings you last applied."));
        }
    }

    // Only the controls: nothing reaches the mouse until Apply.
    void restoreDefaults() {
        showSettings(MouseSettings());
        sourceLabel->setText(tr("Showing the defaults: press Apply to send them."));
        resultLabel->clear();
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::WindowActivate) {
            refresh();
        }
        return QWidget::event(event);
    }

private:
    // A labelled control (shown inside `shown` where that is given) with its one-line
    // explanation underneath; the label's mnemonic moves the focus to the control itself.
    void addSetting(QFormLayout* form, const QString& label, QWidget* control, const QString& explanation,
                    QWidget* shown = nullptr) {
        auto* text = new QLabel(explanation);
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

    void showSettings(const MouseSettings& settings) {
        frequencyBox->setCurrentIndex(frequencyBox->findData(settings.frequency));
        speedSlider->setValue(settings.speed);
        liftOffBox->setChecked(settings.liftOffDetection);
        smartScrollingBox->setChecked(settings.smartScrolling);
        wheelPressBox->setChecked(settings.remapWheelPress);
        gestureButtonBox->setChecked(settings.remapGestureButton);
    }

    MouseSettings chosenSettings() const {
        MouseSettings settings;
        settings.frequency = frequencyBox->currentData().toInt();
        settings.speed = speedSlider->value();
        settings.liftOffDetection = liftOffBox->isChecked();
        settings.smartScrolling = smartScrollingBox->isChecked();
        settings.remapWheelPress = wheelPressBox->isChecked();
        settings.remapGestureButton = gestureButtonBox->isChecked();
        return settings;
    }

    void setApplyAtLogin(bool enabled) {
        if (AutostartEntry::setEnabled(enabled)) {
            return;
        }
        resultLabel->setText(tr("%1 could not be changed.").arg(AutostartEntry::filePath()));
        const QSignalBlocker blocker(applyAtLoginBox);
        applyAtLoginBox->setChecked(!enabled);
    }

    QLabel* mouseLabel = new QLabel(tr("Looking for the mouse…"));
    QLabel* accessLabel = new QLabel;
    QComboBox* frequencyBox = new QComboBox;
    QSlider* speedSlider = new QSlider(Qt::Horizontal);
    QCheckBox* liftOffBox = new QCheckBox(tr("&Lift-off detection"));
    QCheckBox* smartScrollingBox = new QCheckBox(tr("S&mart scrolling"));
    QCheckBox* wheelPressBox = new QCheckBox(tr("Remap &wheel press"));
    QCheckBox* gestureButtonBox = new QCheckBox(tr("Remap &gesture button"));
    QCheckBox* applyAtLoginBox = new QCheckBox(tr("Apply at l&ogin"));
    QLabel* sourceLabel = new QLabel;
    QLabel* resultLabel = new QLabel;
};
