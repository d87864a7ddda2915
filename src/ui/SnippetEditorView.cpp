#include "ui/SnippetEditorView.h"

#include "ui/AppPicker.h"
#include "ui/KeyRecorder.h"
#include "ui/MacroStepList.h"
#include "ui/MacroStepRow.h"
#include "ui/ReplacementBox.h"
#include "ui/SegmentedPicker.h"
#include "ui/Symbols.h"
#include "ui/ToggleSwitch.h"
#include "ui/Typography.h"

#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace quillo::ui {

namespace {

using TriggerMode = model::Snippet::TriggerMode;

QFont monospaced() {
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// One titled group of the form: the title above a rounded panel.
QVBoxLayout* addSection(QVBoxLayout* form, const QString& title, QWidget* parent) {
    auto* heading = new QLabel(title, parent);
    heading->setFont(typography::headline());
    form->addSpacing(form->count() == 0 ? 0 : 10);
    form->addWidget(heading);
    auto* group = new QFrame(parent);
    group->setObjectName(QStringLiteral("formGroup"));
    group->setStyleSheet(QStringLiteral("QFrame#formGroup { background: palette(base); border: "
                                        "1px solid palette(midlight); border-radius: 8px; }"));
    auto* rows = new QVBoxLayout(group);
    rows->setContentsMargins(12, 8, 12, 8);
    rows->setSpacing(6);
    form->addWidget(group);
    return rows;
}

QColor red() {
    return QColor(255, 59, 48);
}

} // namespace

SnippetEditorView::SnippetEditorView(model::SnippetStore& store, model::AppSettings& settings,
                                     const platform::KeyboardLayout& keyboardLayout,
                                     const platform::Workspace& workspace, QWidget* parent)
    : QWidget(parent), store_(store), settings_(settings), keyboardLayout_(keyboardLayout),
      recorder_(new KeyRecorder(settings, keyboardLayout, this)) {
    setObjectName(QStringLiteral("snippetEditor"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    scroll->setWidget(content);
    auto* form = new QVBoxLayout(content);
    form->setContentsMargins(20, 16, 20, 16);
    form->setSpacing(6);

    // Trigger
    QVBoxLayout* trigger = addSection(form, tr("Trigger"), content);
    auto* modeLine = new QHBoxLayout;
    modeLine->addWidget(new QLabel(tr("Mode:"), content));
    QStringList modes;
    for (const auto mode : model::allTriggerModes) {
        modes << toQString(model::toString(mode));
    }
    mode_ = new SegmentedPicker(modes, content);
    mode_->setObjectName(QStringLiteral("mode"));
    modeLine->addWidget(mode_, 1);
    trigger->addLayout(modeLine);

    shortcutRow_ = new QWidget(content);
    auto* shortcutLine = new QHBoxLayout(shortcutRow_);
    shortcutLine->setContentsMargins(0, 0, 0, 0);
    shortcutLine->addWidget(new QLabel(tr("Shortcut text"), shortcutRow_));
    shortcut_ = new QLineEdit(shortcutRow_);
    shortcut_->setObjectName(QStringLiteral("shortcut"));
    shortcut_->setFont(monospaced());
    shortcutLine->addWidget(shortcut_, 1);
    trigger->addWidget(shortcutRow_);
    noShortcut_ =
        new QLabel(tr("Without a shortcut this snippet never expands by typing."), content);
    noShortcut_->setObjectName(QStringLiteral("noShortcut"));
    noShortcut_->setFont(typography::caption());
    typography::makeSecondary(noShortcut_);
    trigger->addWidget(noShortcut_);

    hotkeyRow_ = new QWidget(content);
    auto* hotkeyLine = new QHBoxLayout(hotkeyRow_);
    hotkeyLine->setContentsMargins(0, 0, 0, 0);
    hotkeyText_ = new QLabel(hotkeyRow_);
    hotkeyText_->setObjectName(QStringLiteral("hotkey"));
    hotkeyText_->setFont(monospaced());
    hotkeyLine->addWidget(hotkeyText_);
    hotkeyLine->addStretch(1);
    clear_ = new QPushButton(tr("Clear"), hotkeyRow_);
    clear_->setObjectName(QStringLiteral("clearHotkey"));
    clear_->setFlat(true);
    clear_->setAutoDefault(false);
    typography::setTextColor(clear_, red());
    {
        QPalette palette = clear_->palette();
        palette.setColor(QPalette::ButtonText, red());
        clear_->setPalette(palette);
    }
    hotkeyLine->addWidget(clear_);
    record_ = new QPushButton(hotkeyRow_);
    record_->setObjectName(QStringLiteral("recordHotkey"));
    record_->setAutoDefault(false);
    hotkeyLine->addWidget(record_);
    trigger->addWidget(hotkeyRow_);
    caption_ = new QLabel(content);
    caption_->setObjectName(QStringLiteral("recordingCaption"));
    caption_->setFont(typography::caption());
    typography::makeSecondary(caption_);
    trigger->addWidget(caption_);

    // Replacement
    QVBoxLayout* replacement = addSection(form, tr("Replacement"), content);
    auto* outputLine = new QHBoxLayout;
    outputLine->addWidget(new QLabel(tr("Output"), content));
    output_ = new SegmentedPicker({tr("Text"), tr("Macro")}, content);
    output_->setObjectName(QStringLiteral("output"));
    outputLine->addWidget(output_, 1);
    replacement->addLayout(outputLine);

    steps_ = new MacroStepList(*recorder_, keyboardLayout_, content);
    steps_->setObjectName(QStringLiteral("steps"));
    replacement->addWidget(steps_);

    textOutput_ = new QWidget(content);
    auto* textColumn = new QVBoxLayout(textOutput_);
    textColumn->setContentsMargins(0, 0, 0, 0);
    replacement_ = new ReplacementBox(textOutput_);
    replacement_->setObjectName(QStringLiteral("replacement"));
    replacement_->setFont(monospaced());
    replacement_->setMinimumHeight(80);
    textColumn->addWidget(replacement_);
    auto* variables = new QLabel(tr("{clipboard} — inserts clipboard contents  ·  "
                                    "{cursor} — places cursor here after expansion"),
                                 textOutput_);
    variables->setObjectName(QStringLiteral("variables"));
    variables->setFont(typography::caption());
    variables->setWordWrap(true);
    typography::makeTertiary(variables);
    textColumn->addWidget(variables);
    replacement->addWidget(textOutput_);

    // Options
    QVBoxLayout* options = addSection(form, tr("Options"), content);
    enabled_ = new ToggleSwitch(tr("Enabled"), content);
    enabled_->setObjectName(QStringLiteral("enabled"));
    options->addWidget(enabled_);

    // Allowed Apps, Blocked Apps
    const auto appSection = [&](const QString& title, QWidget*& box, QPushButton*& add,
                                const QString& name) {
        QVBoxLayout* rows = addSection(form, title, content);
        box = new QWidget(content);
        box->setObjectName(name);
        auto* boxLayout = new QVBoxLayout(box);
        boxLayout->setContentsMargins(0, 0, 0, 0);
        boxLayout->setSpacing(2);
        rows->addWidget(box);
        add = new QPushButton(tr("+ Add App"), content);
        add->setFlat(true);
        add->setAutoDefault(false);
        auto* line = new QHBoxLayout;
        line->addWidget(add);
        line->addStretch(1);
        rows->addLayout(line);
    };
    appSection(tr("Allowed Apps"), allowedApps_, addAllowed_, QStringLiteral("allowedApps"));
    appSection(tr("Blocked Apps"), blockedApps_, addBlocked_, QStringLiteral("blockedApps"));
    form->addStretch(1);

    connect(mode_, &SegmentedPicker::chosen, this, [this](int index) {
        draft_.triggerMode = model::allTriggerModes[static_cast<std::size_t>(index)];
        commit();
    });
    connect(shortcut_, &QLineEdit::textEdited, this, [this](const QString& text) {
        draft_.shortcut = text.toStdString();
        commit();
    });
    connect(clear_, &QPushButton::clicked, this, [this] {
        draft_.hotkeyKeyCode.reset();
        draft_.hotkeyModifiers.reset();
        commit();
    });
    connect(record_, &QPushButton::clicked, this, &SnippetEditorView::toggleHotkeyRecording);
    connect(output_, &SegmentedPicker::chosen, this, [this](int index) {
        showMacro_ = index == 1;
        if (!showMacro_ && !draft_.macroSteps.empty()) {
            draft_.macroSteps.clear();
            commit();
        } else {
            refresh();
        }
    });
    connect(steps_, &MacroStepList::stepsChanged, this,
            [this](const std::vector<model::MacroStep>& steps) {
                draft_.macroSteps = steps;
                commit();
            });
    connect(replacement_, &QPlainTextEdit::textChanged, this, [this] {
        std::string text = replacement_->text().toStdString();
        if (text != draft_.replacement) {
            draft_.replacement = std::move(text);
            commit();
        }
    });
    connect(enabled_, &QAbstractButton::clicked, this, [this](bool on) {
        draft_.isEnabled = on;
        commit();
    });
    connect(addAllowed_, &QPushButton::clicked, this,
            [this] { addApp(&model::Snippet::allowedApps); });
    connect(addBlocked_, &QPushButton::clicked, this,
            [this] { addApp(&model::Snippet::blockedApps); });
    connect(recorder_, &KeyRecorder::recordingChanged, this, &SnippetEditorView::refresh);

    appChooser_ = [this, &workspace](std::function<void(std::optional<std::string>)> done) {
        // One chooser at a time: it answers for the list whose button opened it last.
        if (picker_) {
            picker_->reject();
        }
        auto* picker = new AppPicker([&workspace] { return workspace.applications(); }, window());
        picker->setAttribute(Qt::WA_DeleteOnClose);
        connect(picker, &QDialog::finished, this, [picker, done](int result) {
            const QString id = picker->chosenId();
            done(result == QDialog::Accepted && !id.isEmpty() ? std::optional(id.toStdString())
                                                              : std::nullopt);
        });
        picker_ = picker;
        picker->show();
    };

    refresh();
}

SnippetEditorView::~SnippetEditorView() {
    recorder_->stop();
}

void SnippetEditorView::setSnippet(const model::Snippet& snippet) {
    if (snippet.id != draft_.id) {
        recorder_->stop();
        // A chooser opened for the snippet shown before would add to the wrong one.
        if (picker_) {
            picker_->reject();
        }
        draft_ = snippet;
        showMacro_ = !snippet.macroSteps.empty();
        refresh();
    } else if (snippet != draft_) {
        draft_ = snippet;
        showMacro_ = !snippet.macroSteps.empty();
        refresh();
    }
}

void SnippetEditorView::commit() {
    store_.update(draft_);
    refresh();
}

void SnippetEditorView::refresh() {
    mode_->setCurrentIndex(static_cast<int>(draft_.triggerMode));
    const bool hotkey = draft_.triggerMode == TriggerMode::hotkey;
    shortcutRow_->setVisible(!hotkey);
    noShortcut_->setVisible(!hotkey && draft_.shortcut.empty());
    if (const QString text = QString::fromStdString(draft_.shortcut); shortcut_->text() != text) {
        shortcut_->setText(text);
    }
    hotkeyRow_->setVisible(hotkey);
    const bool recordingHotkey = recorder_->isRecordingHotkey();
    caption_->setVisible(hotkey && recordingHotkey);
    hotkeyText_->setText(draft_.hotkeyKeyCode && draft_.hotkeyModifiers
                             ? QString::fromStdString(model::keyComboText(
                                   *draft_.hotkeyKeyCode, *draft_.hotkeyModifiers, keyboardLayout_))
                             : tr("Not set"));
    typography::setTextColor(hotkeyText_, recordingHotkey ? MacroStepRow::recordingColor()
                                                          : palette().color(QPalette::WindowText));
    clear_->setVisible(draft_.hotkeyKeyCode.has_value() && !recordingHotkey);
    record_->setText(recordingHotkey ? tr("Cancel") : tr("Record Shortcut"));

    output_->setCurrentIndex(showMacro_ ? 1 : 0);
    steps_->setVisible(showMacro_);
    steps_->setSteps(draft_.macroSteps);
    textOutput_->setVisible(!showMacro_);
    {
        const QSignalBlocker blocker(replacement_);
        replacement_->setText(QString::fromStdString(draft_.replacement));
    }
    enabled_->setChecked(draft_.isEnabled);

    refreshAppList(allowedApps_, draft_.allowedApps, tr("All apps (no restriction)"),
                   &model::Snippet::allowedApps);
    refreshAppList(blockedApps_, draft_.blockedApps, tr("No blocked apps"),
                   &model::Snippet::blockedApps);
}

void SnippetEditorView::refreshAppList(QWidget* box, const std::vector<std::string>& apps,
                                       const QString& emptyText,
                                       std::vector<std::string> model::Snippet::*list) {
    // The rows are rebuilt only when the list really changed.
    const QString key = QString::fromStdString([&] {
        std::string joined;
        for (const auto& app : apps) {
            joined += app;
            joined += '\n';
        }
        return joined;
    }());
    if (box->property("apps").toString() == key && box->layout()->count() > 0) {
        return;
    }
    box->setProperty("apps", key);
    QLayout* rows = box->layout();
    while (QLayoutItem* item = rows->takeAt(0)) {
        if (QWidget* widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    if (apps.empty()) {
        auto* empty = new QLabel(emptyText, box);
        empty->setFont(typography::caption());
        typography::makeSecondary(empty);
        rows->addWidget(empty);
        return;
    }
    QColor removeColor = red();
    removeColor.setAlphaF(0.7f);
    for (const std::string& app : apps) {
        auto* row = new QWidget(box);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        auto* name = new QLabel(QString::fromStdString(app), row);
        name->setObjectName(QStringLiteral("appId"));
        name->setFont(monospaced());
        line->addWidget(name);
        line->addStretch(1);
        auto* remove = new QToolButton(row);
        remove->setObjectName(QStringLiteral("removeApp"));
        remove->setAutoRaise(true);
        remove->setIcon(symbolIcon(QStringLiteral("minus.circle.fill"), removeColor));
        line->addWidget(remove);
        connect(remove, &QToolButton::clicked, this, [this, list, app] {
            std::erase(draft_.*list, app);
            commit();
        });
        rows->addWidget(row);
    }
}

void SnippetEditorView::addApp(std::vector<std::string> model::Snippet::*list) {
    QPointer<SnippetEditorView> self(this);
    const model::Uuid id = draft_.id;
    appChooser_([self, list, id](std::optional<std::string> app) {
        // The editor may show another snippet by the time the user has chosen.
        if (!self || !app || app->empty() || self->draft_.id != id) {
            return;
        }
        auto& apps = self->draft_.*list;
        if (std::find(apps.begin(), apps.end(), *app) != apps.end()) {
            return;
        }
        apps.push_back(*app);
        self->commit();
    });
}

void SnippetEditorView::toggleHotkeyRecording() {
    if (recorder_->isRecordingHotkey()) {
        recorder_->stop();
        return;
    }
    recordHotkey({});
}

void SnippetEditorView::recordHotkey(const QString& note) {
    caption_->setText(
        note.isEmpty() ? tr("Press a key combination (must include Ctrl, Alt, Shift or Super)...")
                       : note);
    QPointer<SnippetEditorView> self(this);
    recorder_->startHotkey([self](RecordedKey key) {
        if (!self) {
            return;
        }
        if (self->settings_.searchWindowHotkey(self->store_.snippets()) ==
            platform::Hotkey{key.keyCode, key.modifiers}) {
            const QString combo = QString::fromStdString(
                model::keyComboText(key.keyCode, key.modifiers, self->keyboardLayout_));
            self->recordHotkey(tr("%1 opens the search window; choose another.").arg(combo));
            return;
        }
        self->draft_.hotkeyKeyCode = key.keyCode;
        self->draft_.hotkeyModifiers = key.modifiers;
        self->commit();
    });
}

void SnippetEditorView::hideEvent(QHideEvent* event) {
    recorder_->stop();
    QWidget::hideEvent(event);
}

} // namespace quillo::ui
