// Turns a decided expansion into synthetic input for the focused application: Backspaces that
// erase the shortcut, the text pasted through the clipboard, the user's clipboard given back,
// and Left Arrows for {cursor}; or, for a macro, its steps played as key presses.
//
// Where an input method carries the keys (TextInput::isActive() when the operation starts), the
// same operations are written through it: the shortcut erased through the field's surrounding
// text, the text committed without the clipboard, keys forwarded to the program, and the
// selection read from the surrounding text where the program offers it. A macro still gives the
// clipboard back, since its own steps may copy and paste.
//
// Every operation returns at once and does its work on a background worker, where the pauses
// between stages are real blocking sleeps, as long as the desktop's applications need
// (EventPoster::timing()). The completion runs on the main thread.
//
// The pasted text goes on the clipboard marked for clipboard managers as not to be recorded.
// The clipboard is given back once the focused application has read the paste (or after the
// desktop's limit), and only if nobody copied something else meanwhile: a clipboard manager that
// took over the very text pasted, to keep it alive, is not somebody's copy.
#pragma once

#include "engine/ExpansionOutput.h"
#include "platform/Platform.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::engine {

class TextReplacer : public ExpansionOutput {
  public:
    // The longest pause a Wait step makes. A longer one in a file is almost surely a typing
    // mistake, and expansion stays off while a macro runs.
    static constexpr std::chrono::milliseconds maxWait{60'000};

    explicit TextReplacer(platform::Services services);
    // Work already started finishes; work not yet started does nothing and calls no completion.
    ~TextReplacer() override;

    ExpandedText expandVariables(const std::string& templateText,
                                 const std::optional<std::string>& delimiter) override;
    void replaceText(Erasure erasure, std::string text, std::size_t cursorOffset,
                     Completion completion) override;
    void replaceWithSelection(Erasure erasure, std::string templateText,
                              std::optional<std::string> delimiter, Completion completion) override;
    void executeMacro(Erasure erasure, std::vector<model::MacroStep> steps,
                      Completion completion) override;
    void setWaitObserver(WaitObserver observer) override;

    // Resolves the markers of a template in one pass: the clipboard and selection texts are
    // inserted as they are, so markers inside them stay text. The cursor offset counts the
    // characters after the first {cursor}; an appended delimiter keeps the cursor at the
    // marker.
    static ExpandedText resolveTemplate(std::string_view templateText,
                                        const std::optional<std::string>& clipboard,
                                        const std::optional<std::string>& selection,
                                        const std::optional<std::string>& delimiter);

    class Primitives;

  private:
    std::shared_ptr<Primitives> primitives_;
};

// The building blocks of every operation; they run on the background worker.
class TextReplacer::Primitives {
  public:
    explicit Primitives(platform::Services services)
        : services_(services), keyTiming_(services.eventPoster.timing()) {}

    // Chooses the way out for the operation that starts: the input method's when it carries the
    // keys now, else synthetic keys and the clipboard.
    void begin();
    bool throughInputMethod() const { return inputMethod_; }
    // The pauses of the way out: the input method hands the program its requests in order, so
    // it needs none.
    const platform::OutputTiming& timing() const { return inputMethod_ ? noPauses_ : keyTiming_; }

    void pause(std::chrono::microseconds duration);
    // Key-down then key-up, both with exactly these flags.
    void postKey(platform::KeyCode keyCode, platform::EventFlags flags);
    void erase(Erasure erasure);
    // The key with Command alone: paste or copy.
    void pressCommandKey(platform::KeyCode keyCode);
    void moveCursorLeft(std::size_t count);
    // One key press per UTF-16 unit, the lead surrogate first, or one commit; never through
    // the clipboard.
    void typeString(std::string_view text);
    std::vector<platform::PasteboardItem> saveClipboard();
    void restoreClipboard(const std::vector<platform::PasteboardItem>& saved);
    // Puts the text on the clipboard for a paste, presses the paste keys and waits until the
    // focused application has read it (at most the desktop's limit), then gives `saved` back
    // unless somebody copied meanwhile.
    void paste(const std::string& text, const std::vector<platform::PasteboardItem>& saved);
    // Tells the engine, on the main thread, that a Wait step begins or ends.
    void notifyWaiting(bool waiting);
    void finish(Completion completion);

    platform::Services services_;
    const platform::OutputTiming keyTiming_;
    const platform::OutputTiming noPauses_{{}, {}, {}, {}, {}, {}};
    // Set by begin(), on the worker, for the operation it runs.
    bool inputMethod_ = false;
    // Set on the main thread before any work that reads it is started.
    WaitObserver waitObserver_;
};

} // namespace quillo::engine
