// Where the program decides. For every key event of the system it answers, at once and without
// waiting, whether to withhold it; it keeps the typing buffer in step with what the user types,
// matches the enabled snippets (hotkey, after a delimiter, instant), applies each snippet's
// application filter and starts the output of an expansion.
//
// An expansion is one act for the person typing. From its trigger until its output is complete
// the keyboard is held: what the user types meanwhile reaches neither the application nor the
// buffer, and is handed over afterwards, key by key, as if typed then (so a shortcut typed right
// after another expands too). Keys that reached the application before the hold took effect are
// erased with the shortcut and typed again after the text; if one of them did more than type
// (Return, an arrow, a Ctrl combination), the text is no longer known and the expansion is
// dropped. The hold lasts at most holdLimit an expansion, and a macro's Wait step lets the keys
// through.
// A click or a change of window empties the buffer: what was typed before it is not in front
// of the insertion point any more.
#pragma once

#include "engine/ExpansionOutput.h"
#include "engine/KeyboardMonitor.h"
#include "engine/ShortcutIndex.h"
#include "engine/TypingBuffer.h"
#include "model/AppSettings.h"
#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillo::engine {

class TextExpansionEngine {
  public:
    // The longest the keyboard is held for one expansion (one that a held key starts has its
    // own): an application that is slow to take the paste must not keep the user's keys for
    // longer.
    static constexpr std::chrono::milliseconds holdLimit{1000};

    // Creates the monitor, the buffer and takes the output; starts nothing.
    TextExpansionEngine(model::SnippetStore& snippetStore, model::AppSettings& settings,
                        platform::Services services, std::unique_ptr<ExpansionOutput> output);
    ~TextExpansionEngine();
    TextExpansionEngine(const TextExpansionEngine&) = delete;
    TextExpansionEngine& operator=(const TextExpansionEngine&) = delete;

    // Installs the key handler and starts the keyboard tap. Runs until the process ends.
    void start();

    // True: withhold the event from the focused application.
    bool handleKeyEvent(const platform::KeyEvent& event);

    // The application filter of one snippet, against the frontmost application; never in one of
    // Quillo's own windows.
    bool isAllowedInFrontmostApp(const model::Snippet& snippet) const;

    // Why insert() wrote nothing.
    enum class InsertRefusal {
        expansionOff,   // the global switch is off
        disabled,       // the snippet is switched off
        passwordField,  // the focused field is a password field
        notAllowedHere, // the snippet's application filter, or one of Quillo's own windows
        busy,           // an expansion is still being written
    };
    // Writes a snippet into the focused field as its hotkey would, with nothing to erase: for
    // the search window and `quillo insert`. The same rules apply as to typing.
    std::optional<InsertRefusal> insert(const model::Snippet& snippet);
    // A plain-words reason, for the window and the command line.
    static const char* describe(InsertRefusal refusal);

    // A global hotkey that runs `action` instead of expanding (the search window's). A snippet
    // with the same combination keeps it; the action runs where a snippet's hotkey would.
    void setActionHotkey(std::optional<platform::Hotkey> hotkey, std::function<void()> action);
    // Whether a snippet's hotkey with this combination would be shadowed by, or shadow, the
    // action hotkey.
    bool isActionHotkey(const platform::Hotkey& hotkey) const { return actionHotkey_ == hotkey; }

    // Told of every expansion as it starts and as it finishes (the dry run reports them).
    struct ExpansionListener {
        std::function<void(const model::Snippet&, std::size_t backspaceCount)> started;
        std::function<void()> finished;
    };
    void setExpansionListener(ExpansionListener listener) { listener_ = std::move(listener); }

    // From the start of an expansion until its completion has run.
    bool isReplacing() const { return isReplacing_; }
    const TypingBuffer& typingBuffer() const { return typingBuffer_; }

  private:
    // An expansion decided on, waiting for the keyboard hold before it writes.
    struct Decided {
        Erasure erasure;
        model::Snippet snippet;
        std::optional<std::string> delimiter;
    };
    enum class Hold { none, asked, held };

    bool handleTypedKey(const platform::KeyEvent& event);
    void performExpansion(Erasure erasure, const model::Snippet& snippet,
                          const std::optional<std::string>& delimiter);
    void askForHold();
    void holdEstablished(bool held);
    void startOutput(Erasure erasure);
    void finishExpansion();
    void macroWaiting(bool waiting);
    void replayHeld();
    // Lets the held keys through unread and ends the hold.
    void releaseHold();
    bool matchHotkey(const platform::KeyEvent& event);
    bool matchTyped(model::Snippet::TriggerMode mode, std::size_t dropLast,
                    const std::optional<std::string>& delimiter);
    void rebuildIndex();

    model::SnippetStore& snippetStore_;
    model::AppSettings& settings_;
    platform::Services services_;
    KeyboardMonitor keyboardMonitor_;
    TypingBuffer typingBuffer_;
    std::unique_ptr<ExpansionOutput> textReplacer_;
    bool isReplacing_ = false;
    ExpansionListener listener_;

    Hold hold_ = Hold::none;
    std::optional<Decided> decided_;
    // Events that reached the application between the trigger and the hold.
    std::vector<platform::KeyEvent> leaked_;
    // Events held from the application, to hand over after the expansion.
    std::deque<platform::KeyEvent> held_;
    std::unique_ptr<platform::Timer> holdTimer_;

    std::optional<platform::Hotkey> actionHotkey_;
    std::function<void()> action_;

    ShortcutIndex index_;
    model::Observable::Subscription storeSubscription_;
    // Closures that outlive a call (the key handler, completions) hold this weakly.
    std::shared_ptr<TextExpansionEngine*> self_;
};

} // namespace quillo::engine
