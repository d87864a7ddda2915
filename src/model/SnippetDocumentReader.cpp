#include "model/PlainJson.h"
#include "model/SnippetDocument.h"
#include "model/SnippetDocumentFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <optional>
#include <utility>

namespace quillo::model {

namespace format {

DocumentShape measure(std::string_view json) {
    DocumentShape shape;
    int depth = 0;
    const char* at = json.data();
    const char* const end = at + json.size();
    while (at < end) {
        const char c = *at++;
        switch (c) {
        case '"': {
            // On to the closing quote: the first one after an even run of backslashes.
            const char* const start = at;
            for (;;) {
                const auto* quote = static_cast<const char*>(
                    std::memchr(at, '"', static_cast<std::size_t>(end - at)));
                if (quote == nullptr) {
                    return shape; // unterminated; the parser will say where
                }
                std::size_t backslashes = 0;
                for (const char* before = quote; before > start && before[-1] == '\\'; --before) {
                    ++backslashes;
                }
                at = quote + 1;
                if (backslashes % 2 == 0) {
                    break;
                }
            }
            break;
        }
        case '[':
        case '{':
            if (c == '{' && depth == 1) {
                ++shape.topLevelObjects;
            }
            if (++depth > maxNestingDepth) {
                shape.tooDeep = true;
                return shape;
            }
            break;
        case ']':
        case '}':
            --depth;
            break;
        default:
            break;
        }
    }
    return shape;
}

bool isNestedTooDeeply(std::string_view json) {
    return measure(json).tooDeep;
}

DocumentKey snippetKey(std::string_view name) {
    static constexpr std::pair<std::string_view, DocumentKey> keys[] = {
        {"id", DocumentKey::id},
        {"shortcut", DocumentKey::shortcut},
        {"replacement", DocumentKey::replacement},
        {"isEnabled", DocumentKey::isEnabled},
        {"triggerMode", DocumentKey::triggerMode},
        {"allowedApps", DocumentKey::allowedApps},
        {"blockedApps", DocumentKey::blockedApps},
        {"hotkeyKeyCode", DocumentKey::hotkeyKeyCode},
        {"hotkeyModifiers", DocumentKey::hotkeyModifiers},
        {"macroSteps", DocumentKey::macroSteps}};
    for (const auto& [text, key] : keys) {
        if (name == text) {
            return key;
        }
    }
    return DocumentKey::other;
}

DocumentKey stepKey(std::string_view name) {
    static constexpr std::pair<std::string_view, DocumentKey> keys[] = {
        {"id", DocumentKey::id},
        {"type", DocumentKey::type},
        {"text", DocumentKey::text},
        {"keyCode", DocumentKey::keyCode},
        {"modifiers", DocumentKey::modifiers},
        {"milliseconds", DocumentKey::milliseconds}};
    for (const auto& [text, key] : keys) {
        if (name == text) {
            return key;
        }
    }
    return DocumentKey::other;
}

} // namespace format

namespace {

using format::bit;
using format::DocumentKey;
using format::DocumentShape;
using format::Json;
using format::measure;
using format::snippetKey;
using format::stepKey;

// Reads a document that is as it should be straight into snippets as the parser reports each
// value, with no JSON tree in between: for a hundred thousand snippets the tree took more time
// and memory than the snippets themselves. Anything out of the ordinary (a value of another type,
// a missing key, a key given twice, a syntax error) makes it give up, and the document is then
// read again through the tree, whose checks say exactly what is wrong and where.
class DirectReader {
  public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    // Room for the snippets the document seems to hold, but no more than its size allows for
    // (no snippet is written in fewer than 128 bytes), whatever a hostile document claims.
    DirectReader(std::size_t expectedSnippets, std::size_t documentBytes) {
        snippets_.reserve(std::min(expectedSnippets, documentBytes / 128));
    }

    bool null() {
        if (skipping()) {
            return true;
        }
        if (at_ == At::snippet &&
            (pending_ == Key::hotkeyKeyCode || pending_ == Key::hotkeyModifiers ||
             pending_ == Key::macroSteps)) {
            return true; // null means absent
        }
        return ignoredValue();
    }

    bool boolean(bool value) {
        if (skipping()) {
            return true;
        }
        if (at_ == At::snippet && pending_ == Key::isEnabled) {
            snippet_.isEnabled = value;
            return true;
        }
        return ignoredValue();
    }

    // The parser reports negative integers here, the others as unsigned.
    bool number_integer(number_integer_t value) {
        if (skipping()) {
            return true;
        }
        if (std::int64_t* target = signedTarget()) {
            *target = value;
            return true;
        }
        if (at_ == At::snippet && pending_ == Key::hotkeyKeyCode) {
            snippet_.hotkeyKeyCode = value;
            return true;
        }
        return ignoredValue();
    }

    bool number_unsigned(number_unsigned_t value) {
        if (skipping()) {
            return true;
        }
        constexpr auto signedMax =
            static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        if (std::int64_t* target = signedTarget()) {
            if (value > signedMax) {
                return giveUp();
            }
            *target = static_cast<std::int64_t>(value);
            return true;
        }
        if (at_ == At::snippet && pending_ == Key::hotkeyKeyCode) {
            if (value > signedMax) {
                return giveUp();
            }
            snippet_.hotkeyKeyCode = static_cast<std::int64_t>(value);
            return true;
        }
        if (at_ == At::snippet && pending_ == Key::hotkeyModifiers) {
            snippet_.hotkeyModifiers = value;
            return true;
        }
        if (at_ == At::step && pending_ == Key::modifiers) {
            step_.modifiers = value;
            return true;
        }
        return ignoredValue();
    }

    bool number_float(number_float_t, const string_t&) { return skipping() || ignoredValue(); }

    bool string(string_t& value) {
        if (skipping()) {
            return true;
        }
        if (at_ == At::appList) {
            appList_->push_back(std::move(value));
            return true;
        }
        if (at_ == At::snippet) {
            switch (pending_) {
            case Key::id:
                return uuid(value, snippet_.id);
            case Key::shortcut:
                snippet_.shortcut = std::move(value);
                return true;
            case Key::replacement:
                snippet_.replacement = std::move(value);
                return true;
            case Key::triggerMode:
                return enumeration(value, &triggerModeFromString, snippet_.triggerMode);
            default:
                return ignoredValue();
            }
        }
        if (at_ == At::step) {
            switch (pending_) {
            case Key::id:
                return uuid(value, step_.id);
            case Key::type:
                return enumeration(value, &stepTypeFromString, step_.type);
            case Key::text:
                step_.text = std::move(value);
                return true;
            default:
                return ignoredValue();
            }
        }
        return giveUp();
    }

    bool binary(binary_t&) { return giveUp(); }

    bool start_object(std::size_t) {
        if (skipping()) {
            ++skipDepth_;
            return true;
        }
        if (at_ == At::document) {
            snippet_ = Snippet();
            snippetSeen_ = 0;
            at_ = At::snippet;
            return true;
        }
        if (at_ == At::steps) {
            step_ = MacroStep();
            stepSeen_ = 0;
            at_ = At::step;
            return true;
        }
        return startIgnoredValue();
    }

    bool start_array(std::size_t) {
        if (skipping()) {
            ++skipDepth_;
            return true;
        }
        if (at_ == At::start) {
            at_ = At::document;
            return true;
        }
        if (at_ == At::snippet && (pending_ == Key::allowedApps || pending_ == Key::blockedApps)) {
            appList_ = pending_ == Key::allowedApps ? &snippet_.allowedApps : &snippet_.blockedApps;
            at_ = At::appList;
            return true;
        }
        if (at_ == At::snippet && pending_ == Key::macroSteps) {
            at_ = At::steps;
            return true;
        }
        return startIgnoredValue();
    }

    bool key(string_t& name) {
        if (skipping()) {
            return true;
        }
        if (at_ == At::snippet) {
            pending_ = snippetKey(name);
            return see(snippetSeen_);
        }
        if (at_ == At::step) {
            pending_ = stepKey(name);
            return see(stepSeen_);
        }
        return giveUp();
    }

    bool end_object() {
        if (skipping()) {
            --skipDepth_;
            return true;
        }
        if (at_ == At::snippet) {
            if ((snippetSeen_ & requiredSnippetKeys) != requiredSnippetKeys) {
                return giveUp();
            }
            snippets_.push_back(std::move(snippet_));
            at_ = At::document;
            return true;
        }
        if (at_ == At::step) {
            if ((stepSeen_ & requiredStepKeys) != requiredStepKeys) {
                return giveUp();
            }
            snippet_.macroSteps.push_back(std::move(step_));
            at_ = At::steps;
            return true;
        }
        return giveUp();
    }

    bool end_array() {
        if (skipping()) {
            --skipDepth_;
            return true;
        }
        if (at_ == At::appList || at_ == At::steps) {
            at_ = At::snippet;
            return true;
        }
        if (at_ == At::document) {
            at_ = At::done;
            return true;
        }
        return giveUp();
    }

    bool parse_error(std::size_t, const std::string&, const Json::exception&) { return giveUp(); }

    bool gaveUp() const { return gaveUp_; }

    // The snippets, when the whole document was read without a doubt.
    std::optional<std::vector<Snippet>> take() {
        if (gaveUp_ || at_ != At::done) {
            return std::nullopt;
        }
        return std::move(snippets_);
    }

  private:
    enum class At { start, document, snippet, appList, steps, step, done };
    using Key = DocumentKey;
    static constexpr unsigned requiredSnippetKeys =
        bit(Key::id) | bit(Key::shortcut) | bit(Key::replacement) | bit(Key::isEnabled) |
        bit(Key::triggerMode) | bit(Key::allowedApps) | bit(Key::blockedApps);
    static constexpr unsigned requiredStepKeys = bit(Key::id) | bit(Key::type) | bit(Key::text) |
                                                 bit(Key::keyCode) | bit(Key::modifiers) |
                                                 bit(Key::milliseconds);

    // A key given twice is left to the tree, which refuses it and says where.
    bool see(unsigned& seen) {
        if (pending_ == Key::other) {
            return true;
        }
        if (seen & bit(pending_)) {
            return giveUp();
        }
        seen |= bit(pending_);
        return true;
    }

    std::int64_t* signedTarget() {
        if (at_ == At::step && pending_ == Key::keyCode) {
            return &step_.keyCode;
        }
        if (at_ == At::step && pending_ == Key::milliseconds) {
            return &step_.milliseconds;
        }
        return nullptr;
    }

    bool uuid(const std::string& text, Uuid& target) {
        const auto parsed = Uuid::parse(text);
        if (!parsed) {
            return giveUp();
        }
        target = *parsed;
        return true;
    }

    template <typename Enum>
    bool enumeration(const std::string& text, std::optional<Enum> (*fromString)(std::string_view),
                     Enum& target) {
        const auto value = fromString(text);
        if (!value) {
            return giveUp();
        }
        target = *value;
        return true;
    }

    bool skipping() const { return skipDepth_ > 0; }

    // A scalar: fine as the value of a key the format does not have, wrong anywhere else.
    bool ignoredValue() {
        return (at_ == At::snippet || at_ == At::step) && pending_ == Key::other ? true : giveUp();
    }

    bool startIgnoredValue() {
        if ((at_ == At::snippet || at_ == At::step) && pending_ == Key::other) {
            skipDepth_ = 1;
            return true;
        }
        return giveUp();
    }

    bool giveUp() {
        gaveUp_ = true;
        return false;
    }

    At at_ = At::start;
    Key pending_ = Key::other;
    int skipDepth_ = 0;
    Snippet snippet_;
    unsigned snippetSeen_ = 0;
    MacroStep step_;
    unsigned stepSeen_ = 0;
    std::vector<std::string>* appList_ = nullptr;
    std::vector<Snippet> snippets_;
    bool gaveUp_ = false;
};

std::optional<std::vector<Snippet>> readDirectly(std::string_view json, std::size_t expected) {
    try {
        // The quick walk takes a file as programs write it; the library's parser, slower, takes
        // whatever else a sound document may hold (a number with a fraction in a key of
        // another program, say).
        DirectReader quick(expected, json.size());
        if (walkPlainJson(json, quick)) {
            return quick.take();
        }
        if (quick.gaveUp()) {
            return std::nullopt; // the library would report the same values, and fail the same
        }
        DirectReader reader(expected, json.size());
        if (!Json::sax_parse(json.begin(), json.end(), &reader)) {
            return std::nullopt;
        }
        return reader.take();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace

std::variant<std::vector<Snippet>, DecodeError> decodeSnippets(std::string_view json) {
    const DocumentShape shape = measure(json);
    if (shape.tooDeep) {
        return DecodeError{"the document is nested too deeply"};
    }
    if (auto snippets = readDirectly(json, shape.topLevelObjects)) {
        return std::move(*snippets);
    }
    return decodeSnippetsThroughTree(json);
}

} // namespace quillo::model
