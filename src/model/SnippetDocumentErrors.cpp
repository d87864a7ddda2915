#include "model/SnippetDocument.h"
#include "model/SnippetDocumentFormat.h"
#include "unicode/UnicodeText.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <optional>
#include <utility>

namespace quillo::model {

namespace {

using format::bit;
using format::DocumentKey;
using format::isNestedTooDeeply;
using format::Json;
using format::snippetKey;
using format::stepKey;

// A value longer than this is cut in error messages, which are one line on a terminal.
constexpr std::size_t maxQuotedBytes = 40;

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
