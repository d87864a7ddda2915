// The settings window's "General" tab: four switches bound to the shared preferences, and the
// search window's hotkey.
//
// The switches show the preferences as they are and follow them when another window (the tray
// menu) changes them. Only a flip made here writes a preference, and only a flip of "Launch at
// login" registers or unregisters the login item: showing the tab never does.
//
// The hotkey is recorded as a snippet's is (a combination with Ctrl, Alt, Shift or Super); a
// combination that a snippet already has is refused with a word saying so, and the recording
// goes on. "Clear" leaves the search window without a hotkey. Hiding the tab ends a recording.
#pragma once

#include "model/AppSettings.h"
#include "model/Observable.h"
#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace quillo::ui {

class KeyRecorder;
class ToggleSwitch;

class GeneralSettingsView : public QWidget {
    Q_OBJECT
  public:
    GeneralSettingsView(model::AppSettings& settings, model::SnippetStore& store,
                        const platform::KeyboardLayout& keyboardLayout, QWidget* parent = nullptr);

    ToggleSwitch* expansionSwitch() const { return expansion_; }
    ToggleSwitch* appendDelimiterSwitch() const { return appendDelimiter_; }
    ToggleSwitch* soundSwitch() const { return sound_; }
    ToggleSwitch* launchAtLoginSwitch() const { return launchAtLogin_; }
    QLabel* searchHotkeyText() const { return searchHotkey_; }
    QPushButton* clearSearchHotkeyButton() const { return clearSearchHotkey_; }
    QPushButton* recordSearchHotkeyButton() const { return recordSearchHotkey_; }
    // The prompt while recording, or why a combination was refused.
    QLabel* searchHotkeyCaption() const { return caption_; }

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    void refresh();
    // Starts recording the hotkey, the caption saying `note` (the prompt when empty).
    void recordSearchHotkey(const QString& note);

    model::AppSettings& settings_;
    model::SnippetStore& store_;
    const platform::KeyboardLayout& keyboardLayout_;
    KeyRecorder* recorder_;
    ToggleSwitch* expansion_;
    ToggleSwitch* appendDelimiter_;
    ToggleSwitch* sound_;
    ToggleSwitch* launchAtLogin_;
    QLabel* searchHotkey_;
    QPushButton* clearSearchHotkey_;
    QPushButton* recordSearchHotkey_;
    QLabel* caption_;
    model::Observable::Subscription subscription_;
    model::Observable::Subscription storeSubscription_;
};

} // namespace quillo::ui
