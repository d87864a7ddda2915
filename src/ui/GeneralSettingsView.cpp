#include "ui/GeneralSettingsView.h"

#include "ui/ToggleSwitch.h"

#include <QFrame>
#include <QVBoxLayout>

namespace quillo::ui {

GeneralSettingsView::GeneralSettingsView(model::AppSettings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
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

    outer->addWidget(group);
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

    subscription_ = settings_.subscribe([this] { refresh(); });
}

void GeneralSettingsView::refresh() {
    expansion_->setChecked(settings_.isExpansionEnabled());
    appendDelimiter_->setChecked(settings_.appendDelimiter());
    sound_->setChecked(settings_.playSoundOnExpansion());
    launchAtLogin_->setChecked(settings_.launchAtLogin());
}

} // namespace quillo::ui
