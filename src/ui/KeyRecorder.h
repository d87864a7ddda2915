// The key capture of a window that records a key combination: while it runs, every key press
// addressed to any of Quillo's own windows reaches it before any control does and is swallowed,
// so that Return does not press a default button and a combination that is some snippet's
// hotkey is recorded rather than expanded (AppSettings::isRecordingHotkey is held true).
//
// One recorder serves one window (the snippet editor, the new-snippet sheet) and runs at most one
// recording at a time: the snippet's hotkey, or the key of one macro step. Destroying the
// recorder ends its recording.
#pragma once

#include "model/AppSettings.h"
#include "model/Uuid.h"
#include "platform/Platform.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>

class QKeyEvent;

namespace quillo::ui {

// One key press in the seam's encoding: the Mac key code and only the four modifier bits.
struct RecordedKey {
    platform::KeyCode keyCode = 0;
    platform::EventFlags modifiers = 0;
    bool operator==(const RecordedKey&) const = default;
};

class KeyRecorder : public QObject {
    Q_OBJECT
  public:
    // `keyboardLayout` tells the key of a press from its native codes; where it cannot (and for
    // synthetic presses, which have none) the key is told from Qt's key name on a US keyboard.
    KeyRecorder(model::AppSettings& settings, const platform::KeyboardLayout& keyboardLayout,
                QObject* parent = nullptr);
    ~KeyRecorder() override;

    using Handler = std::function<void(RecordedKey)>;
    // Ends any recording in progress, then records the snippet's hotkey: only a press with at
    // least one of Ctrl, Alt, Shift or Super is handed over, and that ends the recording; plain
    // keys are swallowed and the recording goes on.
    void startHotkey(Handler onKey);
    // Ends any recording in progress, then records the key of the step `stepId`: the next key
    // press, with or without modifiers, is handed over and ends the recording.
    void startStep(const model::Uuid& stepId, Handler onKey);
    // Harmless when nothing is recording.
    void stop();

    bool isRecordingHotkey() const { return mode_ == Mode::hotkey; }
    std::optional<model::Uuid> recordingStepId() const {
        return mode_ == Mode::step ? std::optional(stepId_) : std::nullopt;
    }
    bool isRecording() const { return mode_ != Mode::none; }

    // The key of a key press; none for keys that are only modifiers (Shift, Ctrl, Caps Lock...),
    // which a recording does not take.
    std::optional<RecordedKey> recordedKey(const QKeyEvent& event) const;

  signals:
    // A recording started or ended.
    void recordingChanged();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    enum class Mode { none, hotkey, step };
    void start(Mode mode, const model::Uuid& stepId, Handler onKey);

    model::AppSettings& settings_;
    const platform::KeyboardLayout& keyboardLayout_;
    Mode mode_ = Mode::none;
    model::Uuid stepId_;
    Handler onKey_;
};

} // namespace quillo::ui
