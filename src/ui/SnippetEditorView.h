// The editor of one snippet, in the detail pane of the snippet list: the sections "Trigger",
// "Replacement", "Options", "Allowed Apps" and "Blocked Apps". There is no save button: every
// change is handed to the store at once (SnippetStore::update), which rewrites the snippets file,
// so the list shows it while the user types.
//
// It records two kinds of key combination through Quillo's own windows: the snippet's hotkey
// ("Record Shortcut"; a combination needs Ctrl, Alt, Shift or Super, a plain key is swallowed,
// "Cancel" ends it; the search window's hotkey is refused, with a word saying so, and the
// recording goes on) and the key of a "Press Key" step (any one key). While either runs, the
// engine expands nothing. A recording ends when the editor is hidden (the window closes, another
// tab is shown) or shows another snippet.
#pragma once

#include "model/AppSettings.h"
#include "model/Observable.h"
#include "model/Snippet.h"
#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace quillo::ui {

class KeyRecorder;
class MacroStepList;
class ReplacementBox;
class SegmentedPicker;
class ToggleSwitch;

class SnippetEditorView : public QWidget {
    Q_OBJECT
  public:
    SnippetEditorView(model::SnippetStore& store, model::AppSettings& settings,
                      const platform::KeyboardLayout& keyboardLayout,
                      const platform::Workspace& workspace, QWidget* parent = nullptr);
    ~SnippetEditorView() override;

    // Shows the snippet as the store holds it. The same snippet again (the store's echo of an
    // edit) leaves the fields as they are; another snippet ends any recording.
    void setSnippet(const model::Snippet& snippet);
    const model::Snippet& draft() const { return draft_; }
    bool showsMacro() const { return showMacro_; }

    // Asks the user for an application and answers with its id, or none when cancelled. The
    // application chooser by default; tests put their own answer in its place.
    using AppChooser = std::function<void(std::function<void(std::optional<std::string>)>)>;
    void setAppChooser(AppChooser chooser) { appChooser_ = std::move(chooser); }

    KeyRecorder& recorder() const { return *recorder_; }
    SegmentedPicker* modePicker() const { return mode_; }
    QLineEdit* shortcutField() const { return shortcut_; }
    QLabel* hotkeyText() const { return hotkeyText_; }
    QLabel* recordingCaption() const { return caption_; }
    QPushButton* clearButton() const { return clear_; }
    QPushButton* recordButton() const { return record_; }
    SegmentedPicker* outputPicker() const { return output_; }
    ReplacementBox* replacementField() const { return replacement_; }
    MacroStepList* steps() const { return steps_; }
    ToggleSwitch* enabledSwitch() const { return enabled_; }
    QPushButton* addAllowedAppButton() const { return addAllowed_; }
    QPushButton* addBlockedAppButton() const { return addBlocked_; }
    QWidget* allowedAppsBox() const { return allowedApps_; }
    QWidget* blockedAppsBox() const { return blockedApps_; }

  protected:
    void hideEvent(QHideEvent* event) override;

  private:
    // The draft changed: the store hears of it, the controls show it.
    void commit();
    void refresh();
    void refreshAppList(QWidget* box, const std::vector<std::string>& apps,
                        const QString& emptyText, std::vector<std::string> model::Snippet::*list);
    void addApp(std::vector<std::string> model::Snippet::*list);
    void toggleHotkeyRecording();
    // Starts recording the hotkey, the caption saying `note` (the prompt when empty).
    void recordHotkey(const QString& note);

    model::SnippetStore& store_;
    const model::AppSettings& settings_;
    const platform::KeyboardLayout& keyboardLayout_;
    model::Snippet draft_;
    bool showMacro_ = false;
    KeyRecorder* recorder_;
    AppChooser appChooser_;
    QPointer<QDialog> picker_;

    SegmentedPicker* mode_;
    QWidget* shortcutRow_;
    QLineEdit* shortcut_;
    QLabel* noShortcut_;
    QWidget* hotkeyRow_;
    QLabel* hotkeyText_;
    QPushButton* clear_;
    QPushButton* record_;
    QLabel* caption_;
    SegmentedPicker* output_;
    QWidget* textOutput_;
    ReplacementBox* replacement_;
    MacroStepList* steps_;
    ToggleSwitch* enabled_;
    QWidget* allowedApps_;
    QWidget* blockedApps_;
    QPushButton* addAllowed_;
    QPushButton* addBlocked_;
};

} // namespace quillo::ui
