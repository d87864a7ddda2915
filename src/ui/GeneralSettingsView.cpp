#include "ui/GeneralSettingsView.h"

#include "ui/KeyRecorder.h"
#include "ui/ToggleSwitch.h"
#include "ui/Typography.h"

#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillo::ui {

GeneralSettingsView::GeneralSettingsView(model::AppSettings& settings, model::SnippetStore& store,
                                         const platform::KeyboardLayout& keyboardLayout,
                                         QWidget* parent)
    : QWidget(parent), settings_(settings), store_(store), keyboardLayout_(keyboardLayout),
      recorder_(new KeyRecorder(settings, keyboardLayout, this)) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(20, 20, 20, 20);

    // The grouped form: one rounded panel, the rows divided by hairlines.
    auto* group = new QFrame(this);
    group->setObjectName(QStringLiteral("formGroup"));
    group->setStyleSheet(QStringLiteral("QFrame#formGroup { background: palette(base); border: "
                                        "1px solid palette(midlight); border-radius: 8px; }"));
    auto* rows = new QVBoxLayout(group);
    rows->setContentsMargins(14, 4, 14, 4);
    rows->setSpacing(0);

    auto addRow = [&](const QString& label) {
        if (rows->count() > 0) {
            auto* line = new QFrame(group);
            line->setFrameShape(QFrame::HLine);
            line->setStyleSheet(QStringLiteral("color: palette(midlight);"));
            rows->addWidget(line);
        }
        auto* toggle = new ToggleSwitch(label, group);
        rows->addWidget(toggle);
        return toggle;
    };
    expansion_ = addRow(tr("Enable text expansion"));
    appendDelimiter_ = addRow(tr("Append delimiter after expansion"));
    sound_ = addRow(tr("Play sound on expansion"));
    launchAtLogin_ = addRow(tr("Launch at login"));

    auto* line = new QFrame(group);
    line->setFrameShape(QFrame::HLine);
    line->setStyleSheet(QStringLiteral("color: palette(midlight);"));
    rows->addWidget(line);
    auto* hotkeyRow = new QWidget(group);
    auto* hotkeyLine = new QHBoxLayout(hotkeyRow);
    hotkeyLine->setContentsMargins(0, 6, 0, 6);
    hotkeyLine->addWidget(new QLabel(tr("Search window hotkey"), hotkeyRow));
    hotkeyLine->addStretch(1);
    searchHotkey_ = new QLabel(hotkeyRow);
    searchHotkey_->setObjectName(QStringLiteral("searchHotkey"));
    searchHotkey_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    hotkeyLine->addWidget(searchHotkey_);
    clearSearchHotkey_ = new QPushButton(tr("Clear"), hotkeyRow);
    clearSearchHotkey_->setObjectName(QStringLiteral("clearSearchHotkey"));
    clearSearchHotkey_->setFlat(true);
    clearSearchHotkey_->setAutoDefault(false);
    hotkeyLine->addWidget(clearSearchHotkey_);
    recordSearchHotkey_ = new QPushButton(hotkeyRow);
    recordSearchHotkey_->setObjectName(QStringLiteral("recordSearchHotkey"));
    recordSearchHotkey_->setAutoDefault(false);
    hotkeyLine->addWidget(recordSearchHotkey_);
    rows->addWidget(hotkeyRow);

    outer->addWidget(group);
    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("searchHotkeyCaption"));
    caption_->setFont(typography::caption());
    caption_->setWordWrap(true);
    typography::makeSecondary(caption_);
    outer->addWidget(caption_);
    outer->addStretch(1);

    refresh();

    // `clicked` comes from the user alone; `refresh` sets the switches without emitting it.
    connect(expansion_, &QAbstractButton::clicked, this,
            [this](bool on) { settings_.setExpansionEnabled(on); });
    connect(appendDelimiter_, &QAbstractButton::clicked, this,
            [this](bool on) { settings_.setAppendDelimiter(on); });
    connect(sound_, &QAbstractButton::clicked, this,
            [this](bool on) { settings_.setPlaySoundOnExpansion(on); });
    connect(launchAtLogin_, &QAbstractButton::clicked, this, [this](bool on) {
        const bool changed = on != settings_.launchAtLogin();
        settings_.setLaunchAtLoginValue(on);
        if (changed) {
            settings_.setLaunchAtLogin(on);
        }
    });

    connect(clearSearchHotkey_, &QPushButton::clicked, this, [this] {
        recorder_->stop();
        settings_.setSearchWindowHotkey(std::nullopt);
    });
    connect(recordSearchHotkey_, &QPushButton::clicked, this, [this] {
        if (recorder_->isRecordingHotkey()) {
            recorder_->stop();
        } else {
            recordSearchHotkey({});
        }
    });
    connect(recorder_, &KeyRecorder::recordingChanged, this, &GeneralSettingsView::refresh);

    subscription_ = settings_.subscribe([this] { refresh(); });
    storeSubscription_ = store_.subscribe([this] { refresh(); });
}

void GeneralSettingsView::refresh() {
    expansion_->setChecked(settings_.isExpansionEnabled());
    appendDelimiter_->setChecked(settings_.appendDelimiter());
    sound_->setChecked(settings_.playSoundOnExpansion());
    launchAtLogin_->setChecked(settings_.launchAtLogin());

    const auto hotkey = settings_.searchWindowHotkey(store_.snippets());
    const bool recording = recorder_->isRecordingHotkey();
    searchHotkey_->setText(hotkey ? QString::fromStdString(model::keyComboText(
                                        hotkey->keyCode, hotkey->modifiers, keyboardLayout_))
                                  : tr("None"));
    clearSearchHotkey_->setVisible(hotkey.has_value() && !recording);
    recordSearchHotkey_->setText(recording ? tr("Cancel") : tr("Record Shortcut"));
    caption_->setVisible(recording);
}

void GeneralSettingsView::recordSearchHotkey(const QString& note) {
    caption_->setText(
        note.isEmpty() ? tr("Press a key combination (must include Ctrl, Alt, Shift or Super)...")
                       : note);
    QPointer<GeneralSettingsView> self(this);
    recorder_->startHotkey([self](RecordedKey key) {
        if (!self) {
            return;
        }
        const platform::Hotkey pressed{key.keyCode, key.modifiers};
        if (model::hasHotkeySnippet(self->store_.snippets(), pressed)) {
            const QString combo = QString::fromStdString(
                model::keyComboText(key.keyCode, key.modifiers, self->keyboardLayout_));
            self->recordSearchHotkey(tr("A snippet already has %1; choose another.").arg(combo));
            return;
        }
        self->settings_.setSearchWindowHotkey(pressed);
    });
}

void GeneralSettingsView::hideEvent(QHideEvent* event) {
    recorder_->stop();
    QWidget::hideEvent(event);
}

} // namespace quillo::ui
