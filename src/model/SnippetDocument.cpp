#include "model/SnippetDocument.h"

#include "unicode/UnicodeText.h"

#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>

namespace quillo::model {

namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// The format itself nests four levels deep; the margin is for extra keys that are ignored. The
// limit keeps a hostile file from exhausting the stack of any recursive walk over the tree.
constexpr int maxNestingDepth = 64;

// A value longer than this is cut in error messages, which are one line on a terminal.
constexpr std::size_t maxQuotedBytes = 40;

// ---------------------------------------------------------------------------------------------
// Writing

OrderedJson encodeStep(const MacroStep& step) {
    OrderedJson object = OrderedJson::object();
    object["id"] = step.id.toString();
    object["type"] = std::string(toString(step.type));
    object["text"] = step.text;
    object["keyCode"] = step.keyCode;
    object["modifiers"] = step.modifiers;
    object["milliseconds"] = step.milliseconds;
    return object;
}

OrderedJson encodeSnippet(const Snippet& snippet) {
    OrderedJson object = OrderedJson::object();
    object["id"] = snippet.id.toString();
    object["shortcut"] = snippet.shortcut;
    object["replacement"] = snippet.replacement;
    object["isEnabled"] = snippet.isEnabled;
    object["triggerMode"] = std::string(toString(snippet.triggerMode));
    object["allowedApps"] = snippet.allowedApps;
    object["blockedApps"] = snippet.blockedApps;
    // Absent hotkey keys are left out rather than written as null, so that older readers that
    // only know the keys they expect still see a snippet without a hotkey.
    if (snippet.hotkeyKeyCode) {
        object["hotkeyKeyCode"] = *snippet.hotkeyKeyCode;
    }
    if (snippet.hotkeyModifiers) {
        object["hotkeyModifiers"] = *snippet.hotkeyModifiers;
    }
    OrderedJson steps = OrderedJson::array();
    for (const auto& step : snippet.macroSteps) {
        steps.push_back(encodeStep(step));
    }
    object["macroSteps"] = std::move(steps);
    return object;
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

// Measured before parsing, so that no part of the parser ever sees a pathologically deep
// document. Brackets inside strings do not count.
bool isNestedTooDeeply(std::string_view json) {
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (const char c : json) {
        if (inString) {
            if (escaped) {
                escaped = false;
            } else if (c == '\\') {
                escaped = true;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        switch (c) {
        case '"':
            inString = true;
            break;
        case '[':
        case '{':
            if (++depth > maxNestingDepth) {
                return true;
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
    return false;
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
    OrderedJson document = OrderedJson::array();
    for (const auto& snippet : snippets) {
        document.push_back(encodeSnippet(snippet));
    }
    // A string that is not valid UTF-8 cannot be written as JSON; replacing the bad bytes keeps
    // the rest of the user's snippets savable.
    return document.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::variant<std::vector<Snippet>, DecodeError> decodeSnippets(std::string_view json) {
    if (isNestedTooDeeply(json)) {
        return DecodeError{"the document is nested too deeply"};
    }
    try {
        const Json document = Json::parse(json.begin(), json.end());
        if (!document.is_array()) {
            return DecodeError{"the document is not a JSON array"};
        }
        std::vector<Snippet> snippets;
        snippets.reserve(document.size());
        for (std::size_t i = 0; i < document.size(); ++i) {
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
