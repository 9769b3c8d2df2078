// SPDX-License-Identifier: MIT
#pragma once

#include "MouseService.h"
#include "MouseSettings.h"
#include "SavedSettings.h"
#include "WindowState.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFont>
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
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <array>
#include <tuple>

// A line that shows as much of its text as fits, cut in the middle; the whole text is its
// accessible name and tooltip, and plain, not the tooltip's markup, its description. A
// left-to-right mark comes first: a name in a right-to-left script must not turn the line
// around or align it to the right.
class ElidedLabel : public QLabel {
public:
    ElidedLabel() {
        setTextFormat(Qt::PlainText);
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }

    void setWholeText(const QString& text) {
        whole = text;
        setAccessibleName(text);
        setAccessibleDescription(text);
        setToolTip(Qt::convertFromPlainText(text));
        elide();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        elide();
    }

private:
    void elide() { setText(QChar(0x200E) + fontMetrics().elidedText(whole, Qt::ElideMiddle, width())); }

    QString whole;
};

// The settings window: the mice the service found with what each was last sent, the six
// settings they all get, and Apply. It shows a WindowState and never waits for the service:
// answers update the state when they come. The service is asked when the window opens, when
// it says that something changed, after an Apply and on F5; becoming active only asks polkit
// again, which touches neither service nor mouse.
class SettingsWindow : public QWidget {
    Q_OBJECT

public:
    SettingsWindow() {
        setWindowTitle(tr("Mouse Settings"));
        setWindowIcon(QIcon::fromTheme(QStringLiteral("org.vorlix.vorlixd.settings")));
        nameLines();
        centrePage();
        auto* layout = new QVBoxLayout(page);
        layout->addWidget(scrollingContent());
        layout->addWidget(buttons());
        addShortcuts();
        resize(std::min(MOST_WIDTH, screen()->availableGeometry().width()), height());
        showSettings(MouseSettings());
        MouseService::follow(this, SLOT(askService()));
        askService();
        askPermission();
    }

    void refresh() {
        state.askingService();
        askService();
        askPermission();
    }

    // Once at a time; the answer may take minutes when polkit asks for a password. To every mouse
    // as the family's settings, or to the chosen mouse alone as its own.
    void apply() {
        if (!state.applyEnabled()) {
            return;
        }
        const bool askPassword = state.askPassword();
        const QString target = state.applyTarget();
        const MouseSettings settings = state.applyStarted();
        if (target.isEmpty()) {
            MouseService::apply(settings, askPassword, this,
                                [this](const WindowState::Answer& answer, const QVector<WindowState::Mouse>& reached) {
                                    answered(state.applyAnswered(answer, reached));
                                });
        } else {
            MouseService::applyToMouse(target, settings, askPassword, this,
                                       [this](const WindowState::Answer& answer, const WindowState::Mouse& reached) {
                                           answered(state.applyToMouseAnswered(answer, reached));
                                       });
        }
        showState();
    }

    // The chosen mouse follows the family's settings again.
    void followFamily() {
        if (!state.followEnabled()) {
            return;
        }
        const bool askPassword = state.askPassword();
        state.followStarted();
        MouseService::forgetMouse(state.applyTarget(), askPassword, this, [this](const WindowState::Answer& answer) {
            answered(state.followAnswered(answer));
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
        // A window manager frames the window after it is shown, and moves it in doing so.
        if (event->type() == QEvent::Move && frameHeight() != fittedFrame) {
            fitToScreen();
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

private:
    // After a change: the service is asked again when it reached the mice, so that the rows show
    // what each was sent.
    void answered(bool askAgain) {
        if (askAgain) {
            askService();
        }
        showState();
    }

    // Named, so that tests and accessibility tools can find them. Their text may come from the
    // mouse or the service, so it is never read as markup.
    void nameLines() {
        const QVector<QPair<QLabel*, const char*>> lines = {
            {miceLabel, "mouse"},    {accessLabel, "access"}, {administratorLabel, "administrator"},
            {sourceLabel, "source"}, {resultLabel, "result"}, {speedStepLabel, "speedStep"}};
        for (const auto& [label, name] : lines) {
            label->setObjectName(QLatin1String(name));
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
        }
    }

    // Maximised, the window keeps its rows together: the page grows to a readable width,
    // centred, and the room below the lines stays empty.
    void centrePage() {
        page->setMaximumWidth(MOST_WIDTH * 3 / 2);
        auto* pageLayout = new QHBoxLayout(this);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        pageLayout->addStretch(1);
        pageLayout->addWidget(page, 1000);
        pageLayout->addStretch(1);
    }

    // The mice, the lines about them, the settings and the lines about those. Everything but the
    // buttons scrolls when the screen is too low for it (twice the scale on a small screen), so
    // the buttons stay in view; the focus takes the view along, so every control stays reachable
    // by keyboard.
    QScrollArea* scrollingContent() {
        auto* content = new QWidget;
        auto* contentLayout = new QVBoxLayout(content);
        contentLayout->setContentsMargins(0, 0, 0, 0);
        auto* miceBox = new QGroupBox(tr("Mice"));
        miceLayout = new QVBoxLayout(miceBox);
        miceLayout->addWidget(miceLabel);
        contentLayout->addWidget(miceBox);
        contentLayout->addWidget(accessLabel);
        contentLayout->addWidget(administratorLabel);
        contentLayout->addLayout(targetRow());
        contentLayout->addWidget(settingsBox());
        contentLayout->addWidget(sourceLabel);
        resultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        contentLayout->addWidget(resultLabel);
        contentLayout->addStretch(1); // maximised, the lines stay beside the settings they speak of

        contentArea->setWidget(content);
        contentArea->setWidgetResizable(true);
        contentArea->setFrameShape(QFrame::NoFrame);
        contentArea->setFocusPolicy(Qt::NoFocus); // the controls in it take the focus
        contentArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(qApp, &QApplication::focusChanged, contentArea, [this](QWidget*, QWidget* now) {
            if (now && contentArea->isAncestorOf(now)) {
                contentArea->ensureWidgetVisible(now);
            }
        });
        return contentArea;
    }

    // Whose settings the controls are for: every mouse's, or one mouse's own; and the way back
    // from a mouse's own to the family's.
    QHBoxLayout* targetRow() {
        auto* row = new QHBoxLayout;
        auto* caption = new QLabel(tr("Settings &for:"));
        caption->setBuddy(targetBox);
        targetBox->setObjectName(QStringLiteral("target"));
        targetBox->setAccessibleName(tr("Settings for"));
        targetBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        targetBox->setMinimumContentsLength(20);
        followButton->setObjectName(QStringLiteral("followFamily"));
        followButton->setText(tr("Follow the &kept settings"));
        followButton->setAutoDefault(false);
        connect(targetBox, QOverload<int>::of(&QComboBox::activated), this, [this] {
            showSettings(state.targetChosen(targetBox->currentData().toString()));
            showState();
        });
        connect(followButton, &QPushButton::clicked, this, &SettingsWindow::followFamily);
        row->addWidget(caption);
        row->addWidget(targetBox, 1);
        row->addWidget(followButton);
        return row;
    }

    QGroupBox* settingsBox() {
        settingsGroup = new QGroupBox(tr("Sent to every mouse"));
        QGroupBox* box = settingsGroup;
        box->setObjectName(QStringLiteral("settings"));
        auto* form = new QFormLayout(box);
        for (const auto& [name, label, explanation] : presentations()) {
            addSetting(form, name, label, explanation);
        }
        return box;
    }

    // Apply is the only default button, so Enter applies from the moment the window opens.
    QDialogButtonBox* buttons() {
        auto* box = new QDialogButtonBox(QDialogButtonBox::RestoreDefaults | QDialogButtonBox::Apply, this);
        applyButton = box->button(QDialogButtonBox::Apply);
        applyButton->setText(tr("&Apply"));
        applyButton->setDefault(true);
        defaultsButton = box->button(QDialogButtonBox::RestoreDefaults);
        defaultsButton->setText(tr("&Defaults"));
        defaultsButton->setAutoDefault(false);
        connect(applyButton, &QPushButton::clicked, this, &SettingsWindow::apply);
        connect(defaultsButton, &QPushButton::clicked, this, &SettingsWindow::restoreDefaults);
        return box;
    }

    void addShortcuts() {
        auto* refreshAction = new QAction(this);
        refreshAction->setShortcut(QKeySequence::Refresh);
        connect(refreshAction, &QAction::triggered, this, &SettingsWindow::refresh);
        auto* closeAction = new QAction(this);
        closeAction->setShortcuts(QKeySequence::keyBindings(QKeySequence::Close) +
                                  QKeySequence::keyBindings(QKeySequence::Quit) + QList<QKeySequence>{Qt::Key_Escape});
        connect(closeAction, &QAction::triggered, this, &QWidget::close);
        addActions({refreshAction, closeAction});
    }

    // As high as what it shows needs at its width, within the screen: the rest scrolls. It opens
    // at most half as wide as a 1280 pixels wide screen at scale 1, and never beyond the screen.
    // The height follows what there is to show, not every event: a window the person made
    // higher stays so until there is more or less to show, and a maximised one as it is.
    //
    // The height is what the content needs at its width less a scroll bar's: while the content
    // grows, a scroll bar may show for a moment, and the content would then wrap to a narrower
    // width, grow higher than the room made for it, and keep the scroll bar for good.
    void fitToScreen() {
        const QWidget* content = contentArea->widget();
        const QMargins margins = page->layout()->contentsMargins();
        const int contentWidth = std::min(width(), page->maximumWidth()) - margins.left() - margins.right() -
                                 style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, contentArea);
        const int height = sizeHint().height() - contentArea->sizeHint().height() +
                           std::max(content->heightForWidth(contentWidth), content->minimumSizeHint().height());
        const int frame = frameHeight();
        if ((height == fittedHeight && frame == fittedFrame) || isMaximized() || isFullScreen()) {
            return;
        }
        fittedHeight = height;
        fittedFrame = frame;
        const QRect available = screen()->availableGeometry();
        resize(width(), std::min(height, available.height() - frame));
        if (isVisible() && frameGeometry().bottom() > available.bottom()) {
            move(x(), std::max(available.top(), available.bottom() - frameGeometry().height()));
        }
    }

    int frameHeight() const { return frameGeometry().height() - geometry().height(); }

    static constexpr int MOST_WIDTH = 640;

    // What the window says of each setting, in the order it shows them: its label, then a line
    // of explanation.
    QVector<std::tuple<const char*, QString, QString>> presentations() const {
        return {
            {"frequency", tr("&Polling rate:"), tr("How many times a second the mouse reports to the computer.")},
            {"speed", tr("Pointer &speed:"),
             tr("The mouse's pointer speed, in five steps; each step is a speed code of the mouse's own.")},
            {"liftOffDetection", tr("&Lift-off detection"),
             tr("Switches the mouse's detection of being lifted off the surface on or off.")},
            {"smartScrolling", tr("S&mart scrolling"),
             tr("Switches the mouse's smart-scrolling mode on or off; what it does to scrolling is up to the mouse.")},
            {"remapWheelPress", tr("Remap &wheel press"),
             tr("Whether the mouse remaps a press on the wheel; the mouse chooses the function.")},
            {"remapGestureButton", tr("Remap &gesture button"),
             tr("Whether the mouse remaps the gesture button; the mouse chooses the function.")},
        };
    }

    // The control of the setting `name`, as its kind asks for, with its explanation underneath;
    // a label's mnemonic moves the focus to the control itself.
    void addSetting(QFormLayout* form, const char* name, const QString& label, const QString& explanation) {
        const size_t i = MouseSettings::withName(name).value();
        const Setting& setting = MouseSettings::settings()[i];
        controls[i] = setting.kind == Setting::Kind::Flag   ? checkBox(label)
                      : setting.kind == Setting::Kind::Rate ? rateBox(setting)
                                                            : speedSlider(setting);
        auto* text = new QLabel(explanation);
        text->setWordWrap(true);
        text->setFont(smallFont());
        controls[i]->setAccessibleDescription(explanation);
        auto* column = new QVBoxLayout;
        column->setSpacing(0);
        column->addWidget(controls[i] == stepSlider ? stepRow(setting) : controls[i]);
        column->addWidget(text);
        if (setting.kind == Setting::Kind::Flag) { // the explanation lines up with the check box's text
            text->setIndent(style()->pixelMetric(QStyle::PM_IndicatorWidth) +
                            style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing));
            form->addRow(column);
            return;
        }
        auto* caption = new QLabel(label);
        caption->setBuddy(controls[i]);
        controls[i]->setAccessibleName(QString(label).remove(QLatin1Char('&')).remove(QLatin1Char(':')));
        form->addRow(caption, column);
    }

    QWidget* checkBox(const QString& label) {
        auto* box = new QCheckBox(label);
        connect(box, &QCheckBox::toggled, this, &SettingsWindow::choose);
        return box;
    }

    QWidget* rateBox(const Setting& setting) {
        auto* box = new QComboBox;
        box->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        for (const int value : setting.values) {
            box->addItem(tr("%1 Hz").arg(value), value);
        }
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &SettingsWindow::choose);
        return box;
    }

    QWidget* speedSlider(const Setting& setting) {
        stepSlider = new QSlider(Qt::Horizontal);
        stepSlider->setRange(setting.values.front(), setting.values.back());
        stepSlider->setPageStep(1);
        stepSlider->setTickInterval(1);
        stepSlider->setTickPosition(QSlider::TicksBelow);
        connect(stepSlider, &QSlider::valueChanged, this, &SettingsWindow::choose);
        return stepSlider;
    }

    // The slider between its lowest and highest step, and the step it is at.
    QWidget* stepRow(const Setting& setting) {
        auto* row = new QWidget;
        auto* rowLayout = new QHBoxLayout(row);
        rowLayout->setContentsMargins(0, 0, 0, 0);
        rowLayout->addWidget(new QLabel(QString::number(setting.values.front())));
        rowLayout->addWidget(stepSlider, 1);
        rowLayout->addWidget(new QLabel(QString::number(setting.values.back())));
        rowLayout->addWidget(speedStepLabel);
        return row;
    }

private slots:
    void askService() {
        MouseService::ask(this, [this](const WindowState::Answer& answer, const MouseService::Reading& reading) {
            if (const std::optional<MouseSettings> shown = state.serviceAnswered(answer, reading,
                                                                                 SavedSettings::read())) {
                showSettings(*shown);
            }
            showState();
        });
        showState();
    }

private:
    void askPermission() {
        MouseService::mayChange(this, [this](MouseService::Permission answer) {
            state.permissionAnswered(answer);
            showState();
        });
    }

    void showState() {
        showMice();
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
        for (QWidget* control : controls) {
            control->setEnabled(state.controlsEnabled());
        }
        defaultsButton->setEnabled(state.controlsEnabled());
        applyButton->setEnabled(state.applyEnabled());
        showTargets();
        settingsGroup->setTitle(state.settingsTitle());
        speedStepLabel->setText(tr("Step %1").arg(stepSlider->value()));
        fitToScreen();
    }

    // A row for each mouse listed, or the line that says why there is none. A screen reader
    // reads a row as the mouse, whole, and what it was last sent.
    void showMice() {
        const QVector<WindowState::MouseRow> rows = state.mouseRows(QDateTime::currentDateTime());
        miceLabel->setText(state.miceLine());
        miceLabel->setVisible(rows.isEmpty());
        while (mouseRows.size() > rows.size()) {
            delete mouseRows.takeLast().row;
        }
        while (mouseRows.size() < rows.size()) {
            MouseRowView view{new QWidget, new ElidedLabel, new QLabel};
            view.row->setObjectName(QStringLiteral("mouseRow"));
            auto* rowLayout = new QVBoxLayout(view.row);
            rowLayout->setContentsMargins(0, 0, 0, 0);
            rowLayout->setSpacing(0);
            rowLayout->addWidget(view.mouse);
            view.sentence->setTextFormat(Qt::PlainText);
            view.sentence->setWordWrap(true);
            view.sentence->setFont(smallFont());
            rowLayout->addWidget(view.sentence);
            miceLayout->addWidget(view.row);
            view.row->show(); // now, not later as a layout would, so that the window fits it
            mouseRows.append(view);
        }
        for (int i = 0; i < rows.size(); ++i) {
            mouseRows[i].row->setAccessibleName(rows[i].mouse);
            mouseRows[i].row->setAccessibleDescription(rows[i].sentence);
            mouseRows[i].mouse->setWholeText(rows[i].mouse);
            mouseRows[i].sentence->setText(rows[i].sentence);
        }
    }

    // The mice whose own settings may be chosen, the chosen one kept where it is still listed.
    void showTargets() {
        const QVector<QPair<QString, QString>> targets = state.targets();
        const QSignalBlocker quiet(targetBox);
        for (int i = 0; i < targets.size(); ++i) { // an open list stays open while nothing in it changed
            if (i == targetBox->count()) {
                targetBox->addItem(targets[i].second, targets[i].first);
            } else if (targetBox->itemData(i) != targets[i].first || targetBox->itemText(i) != targets[i].second) {
                targetBox->setItemText(i, targets[i].second);
                targetBox->setItemData(i, targets[i].first);
            }
        }
        while (targetBox->count() > targets.size()) {
            targetBox->removeItem(targetBox->count() - 1);
        }
        targetBox->setCurrentIndex(std::max(0, targetBox->findData(state.applyTarget())));
        targetBox->setEnabled(state.controlsEnabled());
        followButton->setVisible(!state.applyTarget().isEmpty());
        followButton->setEnabled(state.followEnabled());
    }

    QFont smallFont() const {
        QFont small = font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        return small;
    }

    // Shown without a signal per control, so the state sees only whole sets of settings.
    void showSettings(const MouseSettings& settings) {
        for (size_t i = 0; i < MouseSettings::COUNT; ++i) {
            const QSignalBlocker quiet(controls[i]);
            if (auto* box = qobject_cast<QCheckBox*>(controls[i])) {
                box->setChecked(settings[i] != 0);
            } else if (auto* list = qobject_cast<QComboBox*>(controls[i])) {
                list->setCurrentIndex(list->findData(settings[i]));
            } else {
                qobject_cast<QSlider*>(controls[i])->setValue(settings[i]);
            }
        }
        state.choose(settings);
    }

    void choose() {
        MouseSettings settings;
        for (size_t i = 0; i < MouseSettings::COUNT; ++i) {
            if (auto* box = qobject_cast<QCheckBox*>(controls[i])) {
                settings[i] = box->isChecked();
            } else if (auto* list = qobject_cast<QComboBox*>(controls[i])) {
                settings[i] = list->currentData().toInt();
            } else {
                settings[i] = qobject_cast<QSlider*>(controls[i])->value();
            }
        }
        state.choose(settings);
        showState();
    }

    struct MouseRowView {
        QWidget* row;
        ElidedLabel* mouse;
        QLabel* sentence;
    };

    WindowState state;
    QVBoxLayout* miceLayout = nullptr;
    QLabel* miceLabel = new QLabel;
    QVector<MouseRowView> mouseRows;
    QLabel* accessLabel = new QLabel;
    QLabel* administratorLabel = new QLabel;
    std::array<QWidget*, MouseSettings::COUNT> controls{}; // in the order of MouseSettings::settings()
    QSlider* stepSlider = nullptr;
    QLabel* speedStepLabel = new QLabel;
    QLabel* sourceLabel = new QLabel;
    QLabel* resultLabel = new QLabel;
    QComboBox* targetBox = new QComboBox;
    QPushButton* followButton = new QPushButton;
    QGroupBox* settingsGroup = nullptr;
    QPushButton* applyButton = nullptr;
    QPushButton* defaultsButton = nullptr;
    QWidget* page = new QWidget;
    QScrollArea* contentArea = new QScrollArea;
    int fittedHeight = 0;
    int fittedFrame = 0; // the window manager's frame it was fitted with, which comes after the window
};
