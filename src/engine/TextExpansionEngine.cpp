#include "engine/TextExpansionEngine.h"

#include "unicode/UnicodeText.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quillo::engine {

namespace {

using platform::KeyEvent;
using platform::KeyEventType;
using Mode = model::Snippet::TriggerMode;
namespace key = platform::key;
namespace flag = platform::flag;

// The characters that end a shortcut after which an after-delimiter snippet fires. Carriage
// return (what Return types) is not one of them.
constexpr std::array<char, 17> delimiters = {' ', '\n', '\t', '.', ',', ';', ':', '!', '?',
                                             '/', '\\', '(',  ')', '[', ']', '{', '}'};

bool isDelimiterByte(char c) {
    return std::find(delimiters.begin(), delimiters.end(), c) != delimiters.end();
}

// Characters compare by canonical equivalence here as everywhere else: the Greek question mark
// (U+037E) is canonically a semicolon, so it ends a shortcut just as a semicolon does.
bool isDelimiter(std::string_view text) {
    if (text.size() == 1) {
        return isDelimiterByte(text[0]);
    }
    // Only a character of the Basic Multilingual Plane, three bytes at most, can be canonically
    // one ASCII character; longer text is never normalised on the key path.
    if (text.size() > 3 || static_cast<unsigned char>(text[0]) < 0x80) {
        return false;
    }
    const std::string canonical = unicode::nfc(text);
    return canonical.size() == 1 && isDelimiterByte(canonical[0]);
}

bool isResetKey(platform::KeyCode keyCode) {
    return keyCode == key::leftArrow || keyCode == key::rightArrow || keyCode == key::downArrow ||
           keyCode == key::upArrow;
}

// Almost every key types one ASCII character, which needs no conversion library.
std::string typedText(std::u16string_view units) {
    if (std::all_of(units.begin(), units.end(), [](char16_t unit) { return unit < 0x80; })) {
        std::string text(units.size(), '\0');
        std::transform(units.begin(), units.end(), text.begin(),
                       [](char16_t unit) { return static_cast<char>(unit); });
        return text;
    }
    return unicode::toUtf8(units);
}

constexpr std::string_view selectionMarker = "{selection}";
constexpr std::string_view popSound = "Pop";

// A key press that only added characters where the insertion point was (no Return, Tab,
// Backspace, arrow or shortcut), so that Backspaces take it back.
bool typesPlainText(const KeyEvent& event) {
    if (event.type != KeyEventType::keyDown) {
        return true;
    }
    if ((event.flags & (flag::control | flag::command)) != 0 || event.textLength == 0) {
        return false;
    }
    const auto units = event.textView();
    return std::none_of(units.begin(), units.end(), [](char16_t unit) {
        return unit < 0x20 || unit == 0x7F || (unit >= 0xF700 && unit <= 0xF8FF);
    });
}

// What erasing the text takes, in both of its counts.
Erasure erasureOf(std::string_view text) {
    return {unicode::graphemeCount(text), unicode::toScalars(text).size()};
}

} // namespace

TextExpansionEngine::TextExpansionEngine(model::SnippetStore& snippetStore,
                                         model::AppSettings& settings, platform::Services services,
                                         std::unique_ptr<ExpansionOutput> output)
    : snippetStore_(snippetStore), settings_(settings), services_(services),
      keyboardMonitor_(services.keyboardTap), textReplacer_(std::move(output)),
      self_(std::make_shared<TextExpansionEngine*>(this)) {
    rebuildIndex();
    storeSubscription_ = snippetStore_.subscribe([this] { rebuildIndex(); });
    std::weak_ptr<TextExpansionEngine*> weakSelf = self_;
    textReplacer_->setWaitObserver([weakSelf](bool waiting) {
        if (auto self = weakSelf.lock()) {
            (*self)->macroWaiting(waiting);
        }
    });
}

// The keys held for an expansion still reach the application.
TextExpansionEngine::~TextExpansionEngine() {
    decided_.reset();
    releaseHold();
}

void TextExpansionEngine::rebuildIndex() {
    index_ = ShortcutIndex(snippetStore_.snippets());
    std::vector<platform::Hotkey> hotkeys = index_.hotkeyCombinations();
    if (actionHotkey_ &&
        std::find(hotkeys.begin(), hotkeys.end(), *actionHotkey_) == hotkeys.end()) {
        hotkeys.push_back(*actionHotkey_);
    }
    services_.keyboardTap.setHotkeys(std::move(hotkeys));
}

void TextExpansionEngine::setActionHotkey(std::optional<platform::Hotkey> hotkey,
                                          std::function<void()> action) {
    actionHotkey_ = hotkey;
    action_ = std::move(action);
    rebuildIndex();
}

std::optional<TextExpansionEngine::InsertRefusal>
TextExpansionEngine::insert(const model::Snippet& snippet) {
    if (!settings_.isExpansionEnabled()) {
        return InsertRefusal::expansionOff;
    }
    if (!snippet.isEnabled) {
        return InsertRefusal::disabled;
    }
    if (isReplacing_) {
        return InsertRefusal::busy;
    }
    if (services_.secureInput.isSecureInputEnabled()) {
        return InsertRefusal::passwordField;
    }
    if (!isAllowedInFrontmostApp(snippet)) {
        return InsertRefusal::notAllowedHere;
    }
    typingBuffer_.clear();
    performExpansion({}, snippet, std::nullopt);
    return std::nullopt;
}

const char* TextExpansionEngine::describe(InsertRefusal refusal) {
    switch (refusal) {
    case InsertRefusal::expansionOff:
        return "Expansion is paused.";
    case InsertRefusal::disabled:
        return "This snippet is switched off.";
    case InsertRefusal::passwordField:
        return "Quillo never writes into a password field.";
    case InsertRefusal::notAllowedHere:
        return "This snippet is not allowed in the window in front.";
    case InsertRefusal::busy:
        return "Quillo is still writing the last expansion.";
    }
    return "";
}

void TextExpansionEngine::start() {
    std::weak_ptr<TextExpansionEngine*> weakSelf = self_;
    keyboardMonitor_.setOnKeyEvent([weakSelf](const KeyEvent& event) {
        auto self = weakSelf.lock();
        return self && (*self)->handleKeyEvent(event);
    });
    keyboardMonitor_.start();
}

bool TextExpansionEngine::handleKeyEvent(const KeyEvent& event) {
    if (event.type == KeyEventType::mouseDown || event.type == KeyEventType::focusChanged) {
        typingBuffer_.clear();
        return false;
    }
    if (isReplacing_) {
        switch (hold_) {
        case Hold::held:
            held_.push_back(event);
            return true;
        case Hold::asked:
            leaked_.push_back(event);
            return false;
        case Hold::none:
            // Without a hold the keys pass as they come, neither buffered nor matched.
            return false;
        }
    }
    return handleTypedKey(event);
}

bool TextExpansionEngine::handleTypedKey(const KeyEvent& event) {
    // Nothing typed in a password field is looked at.
    if (!settings_.isExpansionEnabled() || services_.secureInput.isSecureInputEnabled() ||
        settings_.isRecordingHotkey() || event.type != KeyEventType::keyDown) {
        return false;
    }
    if (matchHotkey(event)) {
        return true;
    }
    if (actionHotkey_ && action_ && actionHotkey_->keyCode == event.keyCode &&
        actionHotkey_->modifiers == (event.flags & flag::modifierMask) &&
        !services_.workspace.ownWindowHasFocus()) {
        typingBuffer_.clear();
        action_();
        return true;
    }
    if (event.flags & (flag::control | flag::command)) {
        typingBuffer_.clear();
        return false;
    }
    if (isResetKey(event.keyCode) || event.keyCode == key::escape) {
        typingBuffer_.clear();
        return false;
    }
    if (event.keyCode == key::backspace) {
        if (!typingBuffer_.buffer().empty()) {
            typingBuffer_.removeLast();
        }
        return false;
    }
    if (event.textLength == 0) {
        return false;
    }
    std::string text = typedText(event.textView());
    if (text.empty()) {
        return false;
    }
    typingBuffer_.append(text);
    if (isDelimiter(text) && matchTyped(Mode::afterDelimiter, 1, text)) {
        return false;
    }
    matchTyped(Mode::instant, 0, std::nullopt);
    return false;
}

bool TextExpansionEngine::matchHotkey(const KeyEvent& event) {
    const auto& snippets = snippetStore_.snippets();
    for (const auto index : index_.hotkeys(event.keyCode, event.flags & flag::modifierMask)) {
        const auto& snippet = snippets[index];
        if (isAllowedInFrontmostApp(snippet)) {
            performExpansion({}, snippet, std::nullopt);
            return true;
        }
    }
    return false;
}

bool TextExpansionEngine::matchTyped(Mode mode, std::size_t dropLast,
                                     const std::optional<std::string>& delimiter) {
    const TextTail tail(typingBuffer_, dropLast);
    const auto match = index_.match(mode, tail);
    if (!match) {
        return false;
    }
    // Only the first matching snippet is asked; a filter that says no ends the matching.
    const auto& snippet = snippetStore_.snippets()[match->snippet];
    if (!isAllowedInFrontmostApp(snippet)) {
        return false;
    }
    const std::size_t characters = match->length + dropLast;
    const auto& typed = typingBuffer_.buffer();
    performExpansion(erasureOf(std::string_view(typed).substr(
                         typingBuffer_.characterStart(typingBuffer_.length() - characters))),
                     snippet, delimiter);
    return true;
}

bool TextExpansionEngine::isAllowedInFrontmostApp(const model::Snippet& snippet) const {
    if (services_.workspace.ownWindowHasFocus()) {
        return false;
    }
    if (snippet.allowedApps.empty() && snippet.blockedApps.empty()) {
        return true;
    }
    const auto names = services_.workspace.frontmostApplicationNames();
    if (names.empty()) {
        return true;
    }
    const auto listed = [&](const std::vector<std::string>& apps) {
        return std::find_first_of(apps.begin(), apps.end(), names.begin(), names.end()) !=
               apps.end();
    };
    if (!snippet.allowedApps.empty()) {
        return listed(snippet.allowedApps);
    }
    return !listed(snippet.blockedApps);
}

void TextExpansionEngine::performExpansion(Erasure erasure, const model::Snippet& snippet,
                                           const std::optional<std::string>& delimiter) {
    isReplacing_ = true;
    typingBuffer_.clear();
    decided_ = Decided{erasure, snippet, delimiter};
    leaked_.clear();
    askForHold();
}

void TextExpansionEngine::askForHold() {
    std::weak_ptr<TextExpansionEngine*> weakSelf = self_;
    if (hold_ == Hold::none) {
        hold_ = Hold::asked;
    }
    // Each expansion, also one that a held key starts, may hold the keys for the limit.
    holdTimer_ = services_.time.startRepeating(holdLimit, [weakSelf] {
        if (auto self = weakSelf.lock()) {
            (*self)->releaseHold();
        }
    });
    keyboardMonitor_.beginHold([weakSelf](bool held) {
        if (auto self = weakSelf.lock()) {
            (*self)->holdEstablished(held);
        }
    });
}

void TextExpansionEngine::holdEstablished(bool held) {
    if (hold_ == Hold::none) {
        return; // given up meanwhile: the limit passed, or a Wait step began
    }
    if (!held) {
        // Another program holds the keyboard: the keys pass as they come.
        hold_ = Hold::none;
        holdTimer_.reset();
        leaked_.clear();
        if (decided_) {
            startOutput(decided_->erasure);
        }
        return;
    }
    const bool wasAsked = hold_ == Hold::asked;
    hold_ = Hold::held;
    if (!decided_) {
        // Held again after a Wait step; what was typed during it has gone its way.
        leaked_.clear();
        return;
    }
    if (!wasAsked) {
        startOutput(decided_->erasure);
        return;
    }
    Erasure leaked;
    for (const KeyEvent& event : leaked_) {
        if (!typesPlainText(event)) {
            // What the application did with it cannot be taken back by Backspaces: leave the
            // text as it is.
            decided_.reset();
            leaked_.clear();
            isReplacing_ = false;
            replayHeld();
            return;
        }
        if (event.type == KeyEventType::keyDown) {
            leaked += erasureOf(typedText(event.textView()));
        }
    }
    // Erased with the shortcut, typed again after the text.
    held_.insert(held_.begin(), leaked_.begin(), leaked_.end());
    leaked_.clear();
    Erasure erasure = decided_->erasure;
    erasure += leaked;
    startOutput(erasure);
}

void TextExpansionEngine::startOutput(Erasure erasure) {
    const Decided decided = std::move(*decided_);
    decided_.reset();
    const model::Snippet& snippet = decided.snippet;
    if (listener_.started) {
        listener_.started(snippet, erasure.characters);
    }

    std::weak_ptr<TextExpansionEngine*> weakSelf = self_;
    auto completion = [weakSelf] {
        if (auto self = weakSelf.lock()) {
            (*self)->finishExpansion();
        }
    };

    if (snippet.isMacro()) {
        // A macro erases the delimiter with the shortcut and never types it again.
        textReplacer_->executeMacro(erasure, snippet.macroSteps, completion);
        return;
    }
    const auto reinserted = settings_.appendDelimiter() ? decided.delimiter : std::nullopt;
    if (snippet.replacement.find(selectionMarker) != std::string::npos) {
        textReplacer_->replaceWithSelection(erasure, snippet.replacement, reinserted, completion);
        return;
    }
    auto expanded = textReplacer_->expandVariables(snippet.replacement, reinserted);
    textReplacer_->replaceText(erasure, std::move(expanded.text), expanded.cursorOffset,
                               completion);
}

void TextExpansionEngine::finishExpansion() {
    isReplacing_ = false;
    if (listener_.finished) {
        listener_.finished();
    }
    if (settings_.playSoundOnExpansion()) {
        services_.sound.play(popSound);
    }
    replayHeld();
}

void TextExpansionEngine::replayHeld() {
    // Key by key, as typed now: a key that starts another expansion reaches the application
    // before that expansion writes, and the rest waits for its end.
    while (!held_.empty() && !isReplacing_) {
        const KeyEvent event = held_.front();
        held_.pop_front();
        if (!handleTypedKey(event)) {
            keyboardMonitor_.replay(event);
        }
    }
    if (!isReplacing_ && hold_ != Hold::none) {
        hold_ = Hold::none;
        holdTimer_.reset();
        keyboardMonitor_.endHold();
    }
}

void TextExpansionEngine::releaseHold() {
    holdTimer_.reset();
    const Hold was = std::exchange(hold_, Hold::none);
    for (const KeyEvent& event : held_) {
        keyboardMonitor_.replay(event);
    }
    held_.clear();
    if (was != Hold::none) {
        keyboardMonitor_.endHold();
    }
    if (was == Hold::asked && decided_) {
        // The hold never came: write as if there were none.
        leaked_.clear();
        startOutput(decided_->erasure);
    }
}

void TextExpansionEngine::macroWaiting(bool waiting) {
    if (!isReplacing_) {
        return;
    }
    if (waiting) {
        releaseHold();
    } else if (hold_ == Hold::none) {
        askForHold();
    }
}

} // namespace quillo::engine
