// "New Snippet": the modal sheet that composes a new snippet and hands it to the store only when
// the user presses "Add". It starts from a fresh snippet every time: "After
// Delimiter", empty shortcut and replacement, Output on "Text".
//
// Return adds from the one-line fields and starts a new line in the replacement; Ctrl+Return adds
// from anywhere. The sheet opens with the focus in the shortcut.
//
// "Add" is enabled while the output has content: a non-empty replacement for Text (spaces
// count), at least one step for Macro. Switching Output back to Text throws the steps away. A
// hotkey snippet is created without its hotkey; the editor records it later. "Cancel" and Escape
// add nothing. A step-key recording never outlives the sheet.
#pragma once

#include "model/AppSettings.h"
#include "model/Snippet.h"
#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <QDialog>
#include <tuple>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillo::ui {

class KeyRecorder;
class MacroStepList;
class ReplacementBox;
class SegmentedPicker;

class NewSnippetSheet : public QDialog {
    Q_OBJECT
  public:
    NewSnippetSheet(model::SnippetStore& store, model::AppSettings& settings,
                    const platform::KeyboardLayout& keyboardLayout, QWidget* parent = nullptr);
    ~NewSnippetSheet() override;

    const model::Snippet& snippet() const { return snippet_; }
    bool showsMacro() const { return showMacro_; }

    QComboBox* triggerPicker() const { return trigger_; }
    QLineEdit* shortcutField() const { return shortcut_; }
    SegmentedPicker* outputPicker() const { return output_; }
    ReplacementBox* replacementField() const { return replacement_; }
    MacroStepList* steps() const { return steps_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* cancelButton() const { return cancel_; }
    KeyRecorder& recorder() const { return *recorder_; }

    void done(int result) override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void setShowMacro(bool showMacro);
    void refresh();
    void fitReplacement();
    void addSnippet();

    model::SnippetStore& store_;
    model::Snippet snippet_ = model::Snippet::make();
    bool showMacro_ = false;
    KeyRecorder* recorder_;
    QComboBox* trigger_;
    QLabel* shortcutLabel_;
    QLineEdit* shortcut_;
    QLabel* noShortcut_;
    SegmentedPicker* output_;
    QLabel* replacementLabel_;
    ReplacementBox* replacement_;
    std::tuple<bool, bool, bool, std::size_t, int> shape_{};
    MacroStepList* steps_;
    QPushButton* add_;
    QPushButton* cancel_;
};

} // namespace quillo::ui
