#include "engine/TextReplacer.h"

#include "unicode/UnicodeText.h"

#include <algorithm>

namespace quillo::engine {

namespace {

using namespace std::chrono_literals;
using platform::KeyEvent;
using platform::KeyEventType;
namespace key = platform::key;
namespace flag = platform::flag;

constexpr std::string_view clipboardMarker = "{clipboard}";
constexpr std::string_view cursorMarker = "{cursor}";
constexpr std::string_view selectionMarker = "{selection}";

constexpr auto selectionCopyTimeout = 250ms;
constexpr auto selectionPollInterval = 15ms;
constexpr auto pasteReadPollInterval = 1ms;

std::optional<std::string> plainText(const std::vector<platform::PasteboardItem>& items) {
    for (const auto& item : items) {
        for (const auto& [type, data] : item.representations) {
            if (type == platform::Pasteboard::plainTextType) {
                return std::string(data.begin(), data.end());
            }
        }
    }
    return std::nullopt;
}

} // namespace

// --- Primitives ------------------------------------------------------------------------------

void TextReplacer::Primitives::begin() {
    inputMethod_ = services_.textInput.isActive();
}

void TextReplacer::Primitives::pause(std::chrono::microseconds duration) {
    services_.time.sleep(duration);
}

void TextReplacer::Primitives::postKey(platform::KeyCode keyCode, platform::EventFlags flags) {
    if (inputMethod_) {
        services_.textInput.forwardKey(keyCode, flags);
        return;
    }
    KeyEvent event;
    event.keyCode = keyCode;
    event.flags = flags;
    event.type = KeyEventType::keyDown;
    services_.eventPoster.post(event);
    event.type = KeyEventType::keyUp;
    services_.eventPoster.post(event);
}

void TextReplacer::Primitives::erase(Erasure erasure) {
    if (inputMethod_) {
        // Nothing to erase must not reach the program: an empty deletion may drop a selection.
        if (erasure.characters > 0) {
            services_.textInput.erase(erasure.characters, erasure.codePoints);
        }
        return;
    }
    for (std::size_t i = 0; i < erasure.characters; ++i) {
        postKey(key::backspace, 0);
        pause(keyTiming_.afterEachKey);
    }
}

void TextReplacer::Primitives::pressCommandKey(platform::KeyCode keyCode) {
    postKey(keyCode, flag::command);
}

void TextReplacer::Primitives::moveCursorLeft(std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        postKey(key::leftArrow, 0);
        pause(timing().afterEachKey);
    }
}

void TextReplacer::Primitives::typeString(std::string_view text) {
    if (inputMethod_) {
        services_.textInput.commit(text);
        return;
    }
    for (const char16_t unit : unicode::toUtf16(text)) {
        KeyEvent event;
        event.keyCode = 0;
        event.flags = 0;
        event.setText(std::u16string_view(&unit, 1));
        event.type = KeyEventType::keyDown;
        services_.eventPoster.post(event);
        event.type = KeyEventType::keyUp;
        services_.eventPoster.post(event);
    }
}

std::vector<platform::PasteboardItem> TextReplacer::Primitives::saveClipboard() {
    return services_.pasteboard.items();
}

void TextReplacer::Primitives::restoreClipboard(
    const std::vector<platform::PasteboardItem>& saved) {
    // With nothing saved the clipboard is left empty: the pasted text never stays on it.
    services_.pasteboard.clearContents();
    if (!saved.empty()) {
        services_.pasteboard.writeItems(saved);
    }
}

void TextReplacer::Primitives::paste(const std::string& text,
                                     const std::vector<platform::PasteboardItem>& saved) {
    if (inputMethod_) {
        services_.textInput.commit(text);
        return;
    }
    auto& pasteboard = services_.pasteboard;
    auto& time = services_.time;
    const auto readsBefore = pasteboard.focusedReads();
    pressCommandKey(key::v);
    const auto deadline = time.now() + keyTiming_.pasteReadLimit;
    while (pasteboard.focusedReads() == readsBefore && time.now() < deadline) {
        pause(pasteReadPollInterval);
    }
    if (!pasteboard.ownsContents() && pasteboard.string() != text) {
        return; // the user copied something else meanwhile: that stays
    }
    restoreClipboard(saved);
}

void TextReplacer::Primitives::notifyWaiting(bool waiting) {
    if (waitObserver_) {
        services_.time.postToMain([observer = waitObserver_, waiting] { observer(waiting); });
    }
}

void TextReplacer::Primitives::finish(Completion completion) {
    services_.time.postToMain(std::move(completion));
}

// --- Operations ------------------------------------------------------------------------------

TextReplacer::TextReplacer(platform::Services services)
    : primitives_(std::make_shared<Primitives>(services)) {}

TextReplacer::~TextReplacer() = default;

void TextReplacer::setWaitObserver(WaitObserver observer) {
    primitives_->waitObserver_ = std::move(observer);
}

ExpandedText TextReplacer::resolveTemplate(std::string_view templateText,
                                           const std::optional<std::string>& clipboard,
                                           const std::optional<std::string>& selection,
                                           const std::optional<std::string>& delimiter) {
    std::string text;
    text.reserve(templateText.size());
    std::optional<std::size_t> cursorAt; // byte offset in `text`
    std::size_t i = 0;
    while (i < templateText.size()) {
        const auto rest = templateText.substr(i);
        if (clipboard && rest.starts_with(clipboardMarker)) {
            text += *clipboard;
            i += clipboardMarker.size();
        } else if (selection && rest.starts_with(selectionMarker)) {
            text += *selection;
            i += selectionMarker.size();
        } else if (rest.starts_with(cursorMarker)) {
            if (!cursorAt) {
                cursorAt = text.size();
            }
            i += cursorMarker.size();
        } else {
            text += templateText[i];
            ++i;
        }
    }
    std::size_t offset =
        cursorAt ? unicode::graphemeCount(std::string_view(text).substr(*cursorAt)) : 0;
    if (delimiter) {
        text += *delimiter;
        if (offset > 0) {
            offset += unicode::graphemeCount(*delimiter);
        }
    }
    return {std::move(text), offset};
}

ExpandedText TextReplacer::expandVariables(const std::string& templateText,
                                           const std::optional<std::string>& delimiter) {
    std::optional<std::string> clipboard;
    // The clipboard is read only when the template asks for it.
    if (templateText.find(clipboardMarker) != std::string::npos) {
        clipboard = primitives_->services_.pasteboard.string().value_or("");
    }
    return resolveTemplate(templateText, clipboard, std::nullopt, delimiter);
}

void TextReplacer::replaceText(Erasure erasure, std::string text, std::size_t cursorOffset,
                               Completion completion) {
    std::weak_ptr<Primitives> weak = primitives_;
    primitives_->services_.time.runInBackground([weak, erasure, text = std::move(text),
                                                 cursorOffset,
                                                 completion = std::move(completion)]() mutable {
        auto p = weak.lock();
        if (!p) {
            return;
        }
        p->begin();
        auto& pasteboard = p->services_.pasteboard;
        const auto& timing = p->timing();
        const bool keys = !p->throughInputMethod();
        const auto saved = keys ? p->saveClipboard() : std::vector<platform::PasteboardItem>{};
        p->pause(timing.beforeFirstEvent);
        p->erase(erasure);
        p->pause(timing.afterStage);
        if (keys) {
            pasteboard.clearContents();
            pasteboard.setConcealedString(text);
            p->pause(timing.afterStage);
        }
        p->paste(text, saved);
        if (cursorOffset > 0) {
            p->pause(timing.afterStage);
            p->moveCursorLeft(cursorOffset);
        }
        p->finish(std::move(completion));
    });
}

void TextReplacer::replaceWithSelection(Erasure erasure, std::string templateText,
                                        std::optional<std::string> delimiter,
                                        Completion completion) {
    std::weak_ptr<Primitives> weak = primitives_;
    primitives_->services_.time.runInBackground(
        [weak, erasure, templateText = std::move(templateText), delimiter = std::move(delimiter),
         completion = std::move(completion)]() mutable {
            auto p = weak.lock();
            if (!p) {
                return;
            }
            p->begin();
            auto& pasteboard = p->services_.pasteboard;
            auto& time = p->services_.time;
            const auto& timing = p->timing();
            const bool keys = !p->throughInputMethod();
            // An input method may be told the selection with the field's surrounding text; else
            // it is copied, through the clipboard.
            const std::optional<std::string> told =
                keys ? std::nullopt : p->services_.textInput.selectedText();
            const auto saved = told ? std::vector<platform::PasteboardItem>{} : p->saveClipboard();
            // {clipboard} is what the clipboard held before the copy below replaced it.
            const std::string clipboard =
                told ? pasteboard.string().value_or("") : plainText(saved).value_or("");
            const auto changeCount = pasteboard.changeCount();

            p->pause(timing.beforeFirstEvent);
            std::string selection = told.value_or("");
            if (!told) {
                p->pressCommandKey(key::c);
                const auto deadline = time.now() + selectionCopyTimeout;
                while (time.now() < deadline) {
                    if (pasteboard.changeCount() != changeCount) {
                        selection = pasteboard.string().value_or("");
                        break;
                    }
                    p->pause(selectionPollInterval);
                }
            }

            const auto expanded = resolveTemplate(templateText, clipboard, selection, delimiter);
            if (keys) {
                pasteboard.clearContents();
                pasteboard.setConcealedString(expanded.text);
                p->pause(timing.afterStage);
            }
            if (erasure.characters > 0) {
                p->erase(erasure);
                p->pause(timing.afterStage);
            }
            p->paste(expanded.text, saved);
            if (!keys && !told) {
                p->restoreClipboard(saved);
            }
            if (expanded.cursorOffset > 0) {
                p->pause(timing.afterStage);
                p->moveCursorLeft(expanded.cursorOffset);
            }
            p->finish(std::move(completion));
        });
}

void TextReplacer::executeMacro(Erasure erasure, std::vector<model::MacroStep> steps,
                                Completion completion) {
    std::weak_ptr<Primitives> weak = primitives_;
    primitives_->services_.time.runInBackground(
        [weak, erasure, steps = std::move(steps), completion = std::move(completion)]() mutable {
            auto p = weak.lock();
            if (!p) {
                return;
            }
            p->begin();
            const auto& timing = p->timing();
            const auto saved = p->saveClipboard();
            p->pause(timing.beforeFirstEvent);
            p->erase(erasure);
            p->pause(timing.afterStage);
            for (const auto& step : steps) {
                switch (step.type) {
                case model::MacroStep::StepType::typeText:
                    if (!step.text.empty()) {
                        p->typeString(step.text);
                        p->pause(timing.afterMacroStep);
                    }
                    break;
                case model::MacroStep::StepType::pressKey:
                    // Only an edited file can hold a code that no key has; such a step is skipped.
                    if (step.keyCode >= 0 && step.keyCode <= 0xFFFF) {
                        p->postKey(static_cast<platform::KeyCode>(step.keyCode), step.modifiers);
                        p->pause(timing.afterMacroStep);
                    }
                    break;
                case model::MacroStep::StepType::wait:
                    p->notifyWaiting(true);
                    p->pause(std::chrono::milliseconds(
                        std::clamp<std::int64_t>(step.milliseconds, 1, maxWait.count())));
                    p->notifyWaiting(false);
                    break;
                }
            }
            // A paste step of the macro may still be reading the clipboard.
            p->pause(timing.beforeMacroRestore);
            p->restoreClipboard(saved);
            p->finish(std::move(completion));
        });
}

} // namespace quillo::engine
