// The settings window's "General" tab: four switches bound to the shared preferences.
//
// The switches show the preferences as they are and follow them when another window (the tray
// menu) changes them. Only a flip made here writes a preference, and only a flip of "Launch at
// login" registers or unregisters the login item: showing the tab never does.
#pragma once

#include "model/AppSettings.h"
#include "model/Observable.h"

#include <QWidget>

namespace quillo::ui {

class ToggleSwitch;

class GeneralSettingsView : public QWidget {
    Q_OBJECT
  public:
    explicit GeneralSettingsView(model::AppSettings& settings, QWidget* parent = nullptr);

    ToggleSwitch* expansionSwitch() const { return expansion_; }
    ToggleSwitch* appendDelimiterSwitch() const { return appendDelimiter_; }
    ToggleSwitch* soundSwitch() const { return sound_; }
    ToggleSwitch* launchAtLoginSwitch() const { return launchAtLogin_; }

  private:
    void refresh();

    model::AppSettings& settings_;
    ToggleSwitch* expansion_;
    ToggleSwitch* appendDelimiter_;
    ToggleSwitch* sound_;
    ToggleSwitch* launchAtLogin_;
    model::Observable::Subscription subscription_;
};

} // namespace quillo::ui
