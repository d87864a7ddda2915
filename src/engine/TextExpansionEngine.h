// Where the program decides. For every key event of the system it answers, at once and without
// waiting, whether to withhold it; it keeps the typing buffer in step with what the user types,
// matches the enabled snippets (hotkey, after a delimiter, instant), applies each snippet's
// application filter and starts the output of an expansion.
#pragma once

#include "engine/ExpansionOutput.h"
#include "engine/KeyboardMonitor.h"
#include "engine/ShortcutIndex.h"
#include "engine/TypingBuffer.h"
#include "model/AppSettings.h"
#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quillo::engine {

class TextExpansionEngine {
  public:
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

    // The application filter of one snippet, against the frontmost application.
    bool isAllowedInFrontmostApp(const model::Snippet& snippet) const;

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
    void performExpansion(std::size_t backspaceCount, const model::Snippet& snippet,
                          const std::optional<std::string>& delimiter);
    void finishExpansion();
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

    ShortcutIndex index_;
    model::Observable::Subscription storeSubscription_;
    // Closures that outlive a call (the key handler, completions) hold this weakly.
    std::shared_ptr<TextExpansionEngine*> self_;
};

} // namespace quillo::engine
