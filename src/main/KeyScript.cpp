#include "main/KeyScript.h"

#include "platform/sim/SimDesktop.h"
#include "unicode/UnicodeText.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <utility>

namespace quillo::main {

namespace {

namespace key = platform::key;
namespace flag = platform::flag;

std::string lower(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

std::optional<platform::KeyCode> namedKey(std::string_view name) {
    static const std::pair<std::string_view, platform::KeyCode> names[] = {
        {"return", key::returnKey},           {"tab", key::tab},       {"space", key::space},
        {"backspace", key::backspace},        {"escape", key::escape}, {"left", key::leftArrow},
        {"right", key::rightArrow},           {"up", key::upArrow},    {"down", key::downArrow},
        {"forwarddelete", key::forwardDelete}};
    const auto wanted = lower(name);
    for (const auto& [text, code] : names) {
        if (wanted == text) {
            return code;
        }
    }
    return std::nullopt;
}

std::optional<platform::EventFlags> modifier(std::string_view name) {
    const auto wanted = lower(name);
    if (wanted == "ctrl") {
        return flag::control;
    }
    if (wanted == "opt" || wanted == "alt") {
        return flag::option;
    }
    if (wanted == "shift") {
        return flag::shift;
    }
    if (wanted == "cmd") {
        return flag::command;
    }
    return std::nullopt;
}

std::variant<KeyScriptStep, KeyScriptError> parseBraced(std::string_view token) {
    const auto error = [&](std::string why) {
        return KeyScriptError{"{" + std::string(token) + "}: " + std::move(why)};
    };
    const auto number = [](std::string_view digits) -> std::optional<long long> {
        long long value = 0;
        const auto [end, status] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (status != std::errc() || end != digits.data() + digits.size() || value < 0) {
            return std::nullopt;
        }
        return value;
    };
    if (token.starts_with("wait ")) {
        const auto ms = number(token.substr(5));
        if (!ms) {
            return error("the pause must be a whole number of milliseconds");
        }
        return KeyScriptStep{Pause{std::chrono::milliseconds(*ms)}};
    }
    if (token == "click") {
        return KeyScriptStep{Click{}};
    }
    if (token.starts_with("click ")) {
        const auto at = number(token.substr(6));
        if (!at) {
            return error("the click's place must be a number of characters from the start");
        }
        return KeyScriptStep{Click{static_cast<std::size_t>(*at)}};
    }
    if (token == "focus") {
        return KeyScriptStep{FocusChange{}};
    }
    if (token.starts_with("focus ")) {
        return KeyScriptStep{FocusChange{std::string(token.substr(6))}};
    }
    if (const auto code = namedKey(token)) {
        return KeyScriptStep{KeyPress{sim::usKeyboard::keyDownFor(*code, 0)}};
    }
    // MODS+KEY; the key itself may be "+".
    const auto split = token.size() > 1 ? token.rfind('+', token.size() - 2) : std::string::npos;
    if (split == std::string_view::npos) {
        return error("not a key name, a combination or a pause");
    }
    platform::EventFlags flags = 0;
    std::string_view mods = token.substr(0, split);
    while (!mods.empty()) {
        const auto plus = mods.find('+');
        const auto name = mods.substr(0, plus);
        const auto bit = modifier(name);
        if (!bit) {
            return error("unknown modifier \"" + std::string(name) + "\"");
        }
        flags |= *bit;
        mods = plus == std::string_view::npos ? std::string_view() : mods.substr(plus + 1);
    }
    const auto keyText = token.substr(split + 1);
    std::optional<platform::KeyCode> code = namedKey(keyText);
    if (!code) {
        const auto scalars = unicode::toScalars(keyText);
        if (scalars.size() == 1) {
            char32_t ch = scalars[0];
            if (ch >= U'A' && ch <= U'Z') {
                ch = ch - U'A' + U'a';
            }
            code = sim::usKeyboard::keyCodeFor(ch);
        }
    }
    if (!code) {
        return error("\"" + std::string(keyText) + "\" is not a key of the US layout");
    }
    return KeyScriptStep{KeyPress{sim::usKeyboard::keyDownFor(*code, flags)}};
}

} // namespace

std::variant<std::vector<KeyScriptStep>, KeyScriptError> parseKeyScript(std::string_view script) {
    std::vector<KeyScriptStep> steps;
    const auto scalars = unicode::toScalars(script);
    for (std::size_t i = 0; i < scalars.size(); ++i) {
        const char32_t ch = scalars[i];
        if (ch == U'{' && i + 1 < scalars.size() && scalars[i + 1] == U'{') {
            steps.emplace_back(KeyPress{sim::usKeyboard::keyDownFor(U'{')});
            ++i;
        } else if (ch == U'}' && i + 1 < scalars.size() && scalars[i + 1] == U'}') {
            steps.emplace_back(KeyPress{sim::usKeyboard::keyDownFor(U'}')});
            ++i;
        } else if (ch == U'}') {
            return KeyScriptError{"a lone \"}\": write }} for a brace"};
        } else if (ch == U'{') {
            std::size_t end = i + 1;
            // "{+}" style tokens: the first character after { is always part of the token.
            while (end < scalars.size() && (scalars[end] != U'}' || end == i + 1)) {
                ++end;
            }
            if (end >= scalars.size()) {
                return KeyScriptError{"an unclosed \"{\": write {{ for a brace"};
            }
            std::string token;
            for (std::size_t j = i + 1; j < end; ++j) {
                token += unicode::fromScalar(scalars[j]);
            }
            auto step = parseBraced(token);
            if (auto* error = std::get_if<KeyScriptError>(&step)) {
                return *error;
            }
            steps.push_back(std::get<KeyScriptStep>(std::move(step)));
            i = end;
        } else {
            steps.emplace_back(KeyPress{sim::usKeyboard::keyDownFor(ch)});
        }
    }
    return steps;
}

} // namespace quillo::main
