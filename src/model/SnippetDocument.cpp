#include "model/SnippetDocument.h"

#include "model/PlainJson.h"
#include "unicode/UnicodeText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

namespace quillo::model {

namespace {

using Json = nlohmann::json;

// The format itself nests four levels deep; the margin is for extra keys that are ignored. The
// limit keeps a hostile file from exhausting the stack of any recursive walk over the tree.
constexpr int maxNestingDepth = 64;

// A value longer than this is cut in error messages, which are one line on a terminal.
constexpr std::size_t maxQuotedBytes = 40;

// ---------------------------------------------------------------------------------------------
// Writing
//
// The list is written straight into one string rather than through a JSON tree: a save runs on
// the main thread after every edit, and for a hundred thousand snippets the tree cost more than
// the disk. The output is byte for byte what the JSON library writes (compact, no key sorting,
// text as UTF-8 with only the characters JSON requires escaped).

// Appends to the text of a document, or to the bytes that go to the file.
void put(std::string& out, std::string_view text) {
    out.append(text);
}
void put(std::string& out, char c) {
    out.push_back(c);
}
void put(platform::Bytes& out, std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    out.insert(out.end(), bytes, bytes + text.size());
}
void put(platform::Bytes& out, char c) {
    out.push_back(static_cast<std::uint8_t>(c));
}

template <typename Buffer>
class DocumentWriter {
  public:
    explicit DocumentWriter(Buffer& out) : out_(out) {}

    void raw(std::string_view text) { put(out_, text); }

    // A key of the format: plain ASCII, written as it is.
    void key(std::string_view name, bool first = false) {
        if (!first) {
            put(out_, ',');
        }
        put(out_, '"');
        put(out_, name);
        put(out_, "\":");
    }

    void string(std::string_view text) {
        const std::size_t mark = out_.size();
        put(out_, '"');
        std::size_t plainFrom = 0;
        for (std::size_t i = 0; i < text.size();) {
            const auto c = static_cast<unsigned char>(text[i]);
            if (c >= 0x20 && c < 0x80 && c != '"' && c != '\\') {
                ++i;
                continue;
            }
            if (c >= 0x80) {
                const std::size_t length = unicode::utf8SequenceLength(text, i);
                if (length == 0) {
                    // Rare, and the library's way of mending broken text is the one to keep.
                    out_.resize(mark);
                    put(out_, Json(std::string(text))
                                  .dump(-1, ' ', false, Json::error_handler_t::replace));
                    return;
                }
                i += length;
                continue;
            }
            put(out_, text.substr(plainFrom, i - plainFrom));
            escape(c);
            plainFrom = ++i;
        }
        put(out_, text.substr(plainFrom));
        put(out_, '"');
    }

    void uuid(const Uuid& id) {
        static constexpr char digits[] = "0123456789ABCDEF";
        char text[38];
        std::size_t at = 0;
        text[at++] = '"';
        const auto& bytes = id.bytes();
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (i == 4 || i == 6 || i == 8 || i == 10) {
                text[at++] = '-';
            }
            text[at++] = digits[bytes[i] >> 4];
            text[at++] = digits[bytes[i] & 0x0F];
        }
        text[at++] = '"';
        put(out_, std::string_view(text, at));
    }

    template <typename Integer>
    void integer(Integer value) {
        char digits[24];
        const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
        put(out_, std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }

    void boolean(bool value) { put(out_, value ? "true" : "false"); }

    void strings(const std::vector<std::string>& values) {
        put(out_, '[');
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (i > 0) {
                put(out_, ',');
            }
            string(values[i]);
        }
        put(out_, ']');
    }

  private:
    void escape(unsigned char c) {
        switch (c) {
        case '"':
            put(out_, "\\\"");
            break;
        case '\\':
            put(out_, "\\\\");
            break;
        case '\b':
            put(out_, "\\b");
            break;
        case '\f':
            put(out_, "\\f");
            break;
        case '\n':
            put(out_, "\\n");
            break;
        case '\r':
            put(out_, "\\r");
            break;
        case '\t':
            put(out_, "\\t");
            break;
        default: {
            constexpr char hex[] = "0123456789abcdef";
            put(out_, "\\u00");
            put(out_, hex[c >> 4]);
            put(out_, hex[c & 0xF]);
        }
        }
    }

    Buffer& out_;
};

template <typename Buffer>
void writeStep(DocumentWriter<Buffer>& out, const MacroStep& step) {
    out.raw("{");
    out.key("id", true);
    out.uuid(step.id);
    out.key("type");
    out.string(toString(step.type));
    out.key("text");
    out.string(step.text);
    out.key("keyCode");
    out.integer(step.keyCode);
    out.key("modifiers");
    out.integer(step.modifiers);
    out.key("milliseconds");
    out.integer(step.milliseconds);
    out.raw("}");
}

template <typename Buffer>
void writeSnippet(DocumentWriter<Buffer>& out, const Snippet& snippet) {
    out.raw("{");
    out.key("id", true);
    out.uuid(snippet.id);
    out.key("shortcut");
    out.string(snippet.shortcut);
    out.key("replacement");
    out.string(snippet.replacement);
    out.key("isEnabled");
    out.boolean(snippet.isEnabled);
    out.key("triggerMode");
    out.string(toString(snippet.triggerMode));
    out.key("allowedApps");
    out.strings(snippet.allowedApps);
    out.key("blockedApps");
    out.strings(snippet.blockedApps);
    // Absent hotkey keys are left out rather than written as null, so that older readers that
    // only know the keys they expect still see a snippet without a hotkey.
    if (snippet.hotkeyKeyCode) {
        out.key("hotkeyKeyCode");
        out.integer(*snippet.hotkeyKeyCode);
    }
    if (snippet.hotkeyModifiers) {
        out.key("hotkeyModifiers");
        out.integer(*snippet.hotkeyModifiers);
    }
    out.key("macroSteps");
    out.raw("[");
    for (std::size_t i = 0; i < snippet.macroSteps.size(); ++i) {
        if (i > 0) {
            out.raw(",");
        }
        writeStep(out, snippet.macroSteps[i]);
    }
    out.raw("]");
    out.raw("}");
}

template <typename Buffer>
void writeDocument(Buffer& out, const std::vector<Snippet>& snippets) {
    // The fixed part of a snippet is some 200 bytes; the texts come on top. Reserving once keeps
    // a large list from being copied as the text grows.
    std::size_t expected = 2;
    for (const auto& snippet : snippets) {
        expected += 220 + snippet.shortcut.size() + snippet.replacement.size() +
                    150 * snippet.macroSteps.size();
    }
    out.reserve(expected);
    DocumentWriter<Buffer> writer(out);
    writer.raw("[");
    for (std::size_t i = 0; i < snippets.size(); ++i) {
        if (i > 0) {
            writer.raw(",");
        }
        writeSnippet(writer, snippets[i]);
    }
    writer.raw("]");
}

// ---------------------------------------------------------------------------------------------
// Reading

// Thrown inside the reader only, to leave the walk at the first problem; decodeSnippets turns
// it into the one error of the document.
struct Failure {
    std::string description;
};

// A string value shown inside an error message: quoted, escaped, and cut if long.
std::string quoted(const std::string& value) {
    if (value.size() <= maxQuotedBytes) {
        return Json(value).dump();
    }
    std::size_t cut = maxQuotedBytes;
    // Never cut inside a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) {
        --cut;
    }
    return Json(value.substr(0, cut)).dump() + "…";
}

std::string keyText(std::string_view key) {
    return "\"" + std::string(key) + "\"";
}

// The fields of one JSON object, with the place it stands in the document for error messages.
class ObjectReader {
  public:
    ObjectReader(const Json& object, std::string place)
        : object_(object), place_(std::move(place)) {}

    [[noreturn]] void fail(std::string_view key, std::string_view problem) const {
        throw Failure{place_ + ": " + keyText(key) + " " + std::string(problem)};
    }

    const Json& required(std::string_view key) const {
        const auto found = object_.find(key);
        if (found == object_.end()) {
            throw Failure{place_ + ": missing key " + keyText(key)};
        }
        return *found;
    }

    // Missing and null both mean absent.
    const Json* optional(std::string_view key) const {
        const auto found = object_.find(key);
        if (found == object_.end() || found->is_null()) {
            return nullptr;
        }
        return &*found;
    }

    std::string string(std::string_view key, const Json& value) const {
        if (!value.is_string()) {
            fail(key, "is not a string");
        }
        return value.get<std::string>();
    }
    std::string string(std::string_view key) const { return string(key, required(key)); }

    bool boolean(std::string_view key) const {
        const Json& value = required(key);
        if (!value.is_boolean()) {
            fail(key, "is not true or false");
        }
        return value.get<bool>();
    }

    Uuid uuid(std::string_view key) const {
        const std::string text = string(key);
        const auto uuid = Uuid::parse(text);
        if (!uuid) {
            fail(key, "is not a UUID: " + quoted(text));
        }
        return *uuid;
    }

    template <typename Enum>
    Enum enumeration(std::string_view key,
                     std::optional<Enum> (*fromString)(std::string_view)) const {
        const std::string text = string(key);
        const auto value = fromString(text);
        if (!value) {
            fail(key, "has the unknown value " + quoted(text));
        }
        return *value;
    }

    std::vector<std::string> strings(std::string_view key) const {
        const Json& value = required(key);
        if (!value.is_array()) {
            fail(key, "is not an array");
        }
        std::vector<std::string> result;
        result.reserve(value.size());
        for (std::size_t i = 0; i < value.size(); ++i) {
            if (!value[i].is_string()) {
                fail(key, "item " + std::to_string(i + 1) + " is not a string");
            }
            result.push_back(value[i].get<std::string>());
        }
        return result;
    }

    std::int64_t signedInteger(std::string_view key, const Json& value) const {
        // The parser stores every non-negative integer as unsigned.
        if (value.is_number_unsigned()) {
            const auto number = value.get<std::uint64_t>();
            if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                fail(key, "is beyond the 64-bit range");
            }
            return static_cast<std::int64_t>(number);
        }
        if (value.is_number_integer()) {
            return value.get<std::int64_t>();
        }
        failNonInteger(key, value, false);
    }
    std::int64_t signedInteger(std::string_view key) const {
        return signedInteger(key, required(key));
    }

    std::uint64_t unsignedInteger(std::string_view key, const Json& value) const {
        if (value.is_number_unsigned()) {
            return value.get<std::uint64_t>();
        }
        if (value.is_number_integer()) {
            fail(key, "is negative");
        }
        failNonInteger(key, value, true);
    }
    std::uint64_t unsignedInteger(std::string_view key) const {
        return unsignedInteger(key, required(key));
    }

  private:
    // A number the parser could not hold as a 64-bit integer arrives as a floating-point value;
    // telling "too large" apart from "has a fraction" makes the message point at the real fault.
    [[noreturn]] void failNonInteger(std::string_view key, const Json& value,
                                     bool isUnsigned) const {
        if (value.is_number_float()) {
            const double number = value.get<double>();
            if (isUnsigned && number < 0) {
                fail(key, "is negative");
            }
            if (std::trunc(number) == number) {
                fail(key, isUnsigned ? "is beyond the unsigned 64-bit range"
                                     : "is beyond the 64-bit range");
            }
        }
        fail(key, "is not an integer");
    }

    const Json& object_;
    std::string place_;
};

MacroStep decodeStep(const Json& value, const std::string& place) {
    if (!value.is_object()) {
        throw Failure{place + " is not a JSON object"};
    }
    const ObjectReader reader(value, place);
    MacroStep step;
    step.id = reader.uuid("id");
    step.type = reader.enumeration("type", &stepTypeFromString);
    step.text = reader.string("text");
    step.keyCode = reader.signedInteger("keyCode");
    step.modifiers = reader.unsignedInteger("modifiers");
    step.milliseconds = reader.signedInteger("milliseconds");
    return step;
}

Snippet decodeSnippet(const Json& value, std::size_t number) {
    const std::string place = "snippet " + std::to_string(number);
    if (!value.is_object()) {
        throw Failure{place + " is not a JSON object"};
    }
    const ObjectReader reader(value, place);
    Snippet snippet;
    snippet.id = reader.uuid("id");
    snippet.shortcut = reader.string("shortcut");
    snippet.replacement = reader.string("replacement");
    snippet.isEnabled = reader.boolean("isEnabled");
    snippet.triggerMode = reader.enumeration("triggerMode", &triggerModeFromString);
    snippet.allowedApps = reader.strings("allowedApps");
    snippet.blockedApps = reader.strings("blockedApps");
    // The hotkey and macro keys came later; documents written before them still load.
    if (const Json* keyCode = reader.optional("hotkeyKeyCode")) {
        snippet.hotkeyKeyCode = reader.signedInteger("hotkeyKeyCode", *keyCode);
    }
    if (const Json* modifiers = reader.optional("hotkeyModifiers")) {
        snippet.hotkeyModifiers = reader.unsignedInteger("hotkeyModifiers", *modifiers);
    }
    if (const Json* steps = reader.optional("macroSteps")) {
        if (!steps->is_array()) {
            reader.fail("macroSteps", "is not an array");
        }
        snippet.macroSteps.reserve(steps->size());
        for (std::size_t i = 0; i < steps->size(); ++i) {
            snippet.macroSteps.push_back(
                decodeStep((*steps)[i], place + ", step " + std::to_string(i + 1)));
        }
    }
    return snippet;
}

// The document's shape, measured in one quick pass before parsing: whether it nests too deeply
// (so that no part of the parser ever sees a pathologically deep document) and how many objects
// its top-level array holds (so that room for the snippets is made once). Brackets inside
// strings do not count.
struct DocumentShape {
    bool tooDeep = false;
    std::size_t topLevelObjects = 0;
};

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

// The keys of both records, as the readers tell them; each is a bit in a set of keys seen.
enum class DocumentKey : unsigned {
    other = 0,
    id = 1u << 0,
    shortcut = 1u << 1,
    replacement = 1u << 2,
    isEnabled = 1u << 3,
    triggerMode = 1u << 4,
    allowedApps = 1u << 5,
    blockedApps = 1u << 6,
    hotkeyKeyCode = 1u << 7,
    hotkeyModifiers = 1u << 8,
    macroSteps = 1u << 9,
    type = 1u << 10,
    text = 1u << 11,
    keyCode = 1u << 12,
    modifiers = 1u << 13,
    milliseconds = 1u << 14,
};
constexpr unsigned bit(DocumentKey key) {
    return static_cast<unsigned>(key);
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

// The first key of the format given twice in one snippet or one step. The tree keeps one of the
// two values and drops the other without a word; which of them the user meant cannot be told,
// and the next save would lose the other for good. Other keys are ignored, twice or not.
struct RepeatedKey {
    std::size_t snippet = 0; // counted from 1, as in error messages
    std::string description;
};

// Walks a document that the tree took (so one without syntax errors) for that key, keeping
// track of where it stands the way the tree's reader counts places.
class RepeatedKeyFinder {
  public:
    bool null() { return item(); }
    bool boolean(bool) { return item(); }
    bool number_integer(Json::number_integer_t) { return item(); }
    bool number_unsigned(Json::number_unsigned_t) { return item(); }
    bool number_float(Json::number_float_t, const Json::string_t&) { return item(); }
    bool string(Json::string_t&) { return item(); }
    bool binary(Json::binary_t&) { return item(); }

    bool start_object(std::size_t) {
        item();
        Frame frame;
        if (!frames_.empty() && frames_.back().kind == Kind::document) {
            frame = {Kind::snippet, frames_.back().items, 0};
        } else if (!frames_.empty() && frames_.back().kind == Kind::steps) {
            frame = {Kind::step, frames_.back().snippet, frames_.back().items};
        }
        frames_.push_back(frame);
        return true;
    }

    bool start_array(std::size_t) {
        item();
        Frame frame;
        if (frames_.empty()) {
            frame.kind = Kind::document;
        } else if (frames_.back().kind == Kind::snippet &&
                   frames_.back().pending == DocumentKey::macroSteps) {
            frame = {Kind::steps, frames_.back().snippet, 0};
        }
        frames_.push_back(frame);
        return true;
    }

    bool key(Json::string_t& name) {
        Frame& frame = frames_.back();
        if (frame.kind != Kind::snippet && frame.kind != Kind::step) {
            return true;
        }
        frame.pending = frame.kind == Kind::snippet ? snippetKey(name) : stepKey(name);
        if (frame.pending == DocumentKey::other) {
            return true;
        }
        if (frame.seen & bit(frame.pending)) {
            std::string place = "snippet " + std::to_string(frame.snippet);
            if (frame.kind == Kind::step) {
                place += ", step " + std::to_string(frame.step);
            }
            found_ = RepeatedKey{frame.snippet, place + ": " + keyText(name) + " is given twice"};
            return false;
        }
        frame.seen |= bit(frame.pending);
        return true;
    }

    bool end_object() { return end(); }
    bool end_array() { return end(); }
    bool parse_error(std::size_t, const std::string&, const Json::exception&) { return false; }

    const std::optional<RepeatedKey>& found() const { return found_; }

  private:
    enum class Kind { document, snippet, steps, step, other };
    struct Frame {
        Kind kind = Kind::other;
        std::size_t snippet = 0;
        std::size_t step = 0;
        std::size_t items = 0; // of an array, so far
        unsigned seen = 0;     // of an object: the keys of the format so far
        DocumentKey pending = DocumentKey::other;
    };

    // One more value in the array that holds it.
    bool item() {
        if (!frames_.empty()) {
            ++frames_.back().items;
        }
        return true;
    }

    bool end() {
        frames_.pop_back();
        return true;
    }

    std::vector<Frame> frames_;
    std::optional<RepeatedKey> found_;
};

std::optional<RepeatedKey> findRepeatedKey(std::string_view json) {
    RepeatedKeyFinder finder;
    Json::sax_parse(json.begin(), json.end(), &finder);
    return finder.found();
}

// The parser's message without its exception tag, its line/column preamble (the byte offset
// already says where) and its "syntax error while parsing value" boilerplate.
std::string parseErrorDescription(const Json::parse_error& error) {
    std::string message = error.what();
    const auto cutThrough = [&message](std::string_view start, std::string_view separator) {
        const auto at = message.find(start);
        if (at == std::string::npos) {
            return;
        }
        const auto end = message.find(separator, at);
        if (end != std::string::npos) {
            message.erase(0, end + separator.size());
        }
    };
    cutThrough("parse error", ": ");
    cutThrough("syntax error while parsing", " - ");
    // The parser quotes the bytes it last read, which may be the very bytes that are not UTF-8;
    // the description must stay printable and storable as text.
    std::string printable;
    for (const char32_t scalar : unicode::toScalars(message)) {
        printable += unicode::fromScalar(scalar);
    }
    return "invalid JSON at byte " + std::to_string(error.byte) + ": " + printable;
}

} // namespace

std::string encodeSnippets(const std::vector<Snippet>& snippets) {
    std::string document;
    writeDocument(document, snippets);
    return document;
}

platform::Bytes encodeSnippetsAsBytes(const std::vector<Snippet>& snippets) {
    platform::Bytes document;
    writeDocument(document, snippets);
    return document;
}

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

std::variant<std::vector<Snippet>, DecodeError> decodeSnippetsThroughTree(std::string_view json) {
    if (isNestedTooDeeply(json)) {
        return DecodeError{"the document is nested too deeply"};
    }
    try {
        const Json document = Json::parse(json.begin(), json.end());
        if (!document.is_array()) {
            return DecodeError{"the document is not a JSON array"};
        }
        const auto repeated = findRepeatedKey(json);
        std::vector<Snippet> snippets;
        snippets.reserve(document.size());
        for (std::size_t i = 0; i < document.size(); ++i) {
            if (repeated && repeated->snippet == i + 1) {
                throw Failure{repeated->description};
            }
            snippets.push_back(decodeSnippet(document[i], i + 1));
        }
        return snippets;
    } catch (const Json::parse_error& error) {
        return DecodeError{parseErrorDescription(error)};
    } catch (const Failure& failure) {
        return DecodeError{failure.description};
    } catch (const std::exception& error) {
        // Only running out of memory is expected here; the caller still gets a value.
        return DecodeError{error.what()};
    }
}

} // namespace quillo::model
