// What the engine asks of the output side once it has decided on an expansion. The text
// replacer is the real one; tests may stand in for it.
#pragma once

#include "model/Snippet.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillo::engine {

struct ExpandedText {
    std::string text;
    // Left Arrow presses after the paste, in characters.
    std::size_t cursorOffset = 0;
    bool operator==(const ExpandedText&) const = default;
};

// What an expansion erases before it writes: the shortcut, its delimiter, and what was typed after
// them before the keyboard was held. Backspace erases a character as the user sees it; an input
// method's delete-surrounding-text counts code points, and only the engine, which saw the text,
// can tell how many those are.
struct Erasure {
    std::size_t characters = 0;
    std::size_t codePoints = 0;
    Erasure& operator+=(const Erasure& more) {
        characters += more.characters;
        codePoints += more.codePoints;
        return *this;
    }
    bool operator==(const Erasure&) const = default;
};

class ExpansionOutput {
  public:
    // Called exactly once per operation that runs, on the main thread, after the last
    // synthetic event and after the clipboard is given back.
    using Completion = std::function<void()>;

    virtual ~ExpansionOutput() = default;

    // Resolves {clipboard} and {cursor} and appends the delimiter; runs at once, on the main
    // thread.
    virtual ExpandedText expandVariables(const std::string& templateText,
                                         const std::optional<std::string>& delimiter) = 0;
    // Each returns at once and does its work on a background worker.
    virtual void replaceText(Erasure erasure, std::string text, std::size_t cursorOffset,
                             Completion completion) = 0;
    virtual void replaceWithSelection(Erasure erasure, std::string templateText,
                                      std::optional<std::string> delimiter,
                                      Completion completion) = 0;
    virtual void executeMacro(Erasure erasure, std::vector<model::MacroStep> steps,
                              Completion completion) = 0;

    // Told, on the main thread, when a macro's Wait step begins (true) and ends (false): nothing
    // is written meanwhile, so the keys the user types need not wait for the macro's end.
    using WaitObserver = std::function<void(bool waiting)>;
    virtual void setWaitObserver(WaitObserver observer) { (void)observer; }
};

} // namespace quillo::engine
