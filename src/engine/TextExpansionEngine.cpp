#include "engine/TextExpansionEngine.h"

#include "unicode/UnicodeText.h"

#include <algorithm>
#include <array>

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

} // namespace

TextExpansionEngine::TextExpansionEngine(model::SnippetStore& snippetStore,
                                         model::AppSettings& settings, platform::Services services,
                                         std::unique_ptr<ExpansionOutput> output)
    : snippetStore_(snippetStore), settings_(settings), services_(services),
      keyboardMonitor_(services.keyboardTap), textReplacer_(std::move(output)),
      self_(std::make_shared<TextExpansionEngine*>(this)) {
    rebuildIndex();
    storeSubscription_ = snippetStore_.subscribe([this] { rebuildIndex(); });
}

TextExpansionEngine::~TextExpansionEngine() = default;

void TextExpansionEngine::rebuildIndex() {
    index_ = ShortcutIndex(snippetStore_.snippets());
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
    // The synthetic events of a running expansion, and whatever the user types meanwhile, are
    // neither buffered nor matched. Nothing typed in a password field is looked at.
    if (isReplacing_ || !settings_.isExpansionEnabled() ||
        services_.secureInput.isSecureInputEnabled() || settings_.isRecordingHotkey() ||
        event.type != KeyEventType::keyDown) {
        return false;
    }
    if (matchHotkey(event)) {
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
            performExpansion(0, snippet, std::nullopt);
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
    performExpansion(match->length + dropLast, snippet, delimiter);
    return true;
}

bool TextExpansionEngine::isAllowedInFrontmostApp(const model::Snippet& snippet) const {
    const auto app = services_.workspace.frontmostApplicationId();
    if (!app || app->empty()) {
        return true;
    }
    const auto listed = [&](const std::vector<std::string>& apps) {
        return std::find(apps.begin(), apps.end(), *app) != apps.end();
    };
    if (!snippet.allowedApps.empty()) {
        return listed(snippet.allowedApps);
    }
    return !listed(snippet.blockedApps);
}

void TextExpansionEngine::performExpansion(std::size_t backspaceCount,
                                           const model::Snippet& snippet,
                                           const std::optional<std::string>& delimiter) {
    isReplacing_ = true;
    typingBuffer_.clear();
    if (listener_.started) {
        listener_.started(snippet, backspaceCount);
    }

    std::weak_ptr<TextExpansionEngine*> weakSelf = self_;
    auto completion = [weakSelf] {
        if (auto self = weakSelf.lock()) {
            (*self)->finishExpansion();
        }
    };

    if (snippet.isMacro()) {
        // A macro erases the delimiter with the shortcut and never types it again.
        textReplacer_->executeMacro(backspaceCount, snippet.macroSteps, completion);
        return;
    }
    const auto reinserted = settings_.appendDelimiter() ? delimiter : std::nullopt;
    if (snippet.replacement.find(selectionMarker) != std::string::npos) {
        textReplacer_->replaceWithSelection(backspaceCount, snippet.replacement, reinserted,
                                            completion);
        return;
    }
    auto expanded = textReplacer_->expandVariables(snippet.replacement, reinserted);
    textReplacer_->replaceText(backspaceCount, std::move(expanded.text), expanded.cursorOffset,
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
}

} // namespace quillo::engine
