#include "platform/sim/SimDesktop.h"

#include <string>

namespace quillo::sim::usKeyboard {

namespace {

struct Key {
    KeyCode code;
    char16_t plain;
    char16_t shifted;
};

// The Mac ANSI layout. The named keys type what a Mac gives them: Return a carriage return,
// Backspace and Escape their control characters, the arrows and Forward Delete the private-use
// function-key characters.
constexpr Key keys[] = {
    {0, u'a', u'A'},
    {1, u's', u'S'},
    {2, u'd', u'D'},
    {3, u'f', u'F'},
    {4, u'h', u'H'},
    {5, u'g', u'G'},
    {6, u'z', u'Z'},
    {7, u'x', u'X'},
    {8, u'c', u'C'},
    {9, u'v', u'V'},
    {11, u'b', u'B'},
    {12, u'q', u'Q'},
    {13, u'w', u'W'},
    {14, u'e', u'E'},
    {15, u'r', u'R'},
    {16, u'y', u'Y'},
    {17, u't', u'T'},
    {18, u'1', u'!'},
    {19, u'2', u'@'},
    {20, u'3', u'#'},
    {21, u'4', u'$'},
    {22, u'6', u'^'},
    {23, u'5', u'%'},
    {24, u'=', u'+'},
    {25, u'9', u'('},
    {26, u'7', u'&'},
    {27, u'-', u'_'},
    {28, u'8', u'*'},
    {29, u'0', u')'},
    {30, u']', u'}'},
    {31, u'o', u'O'},
    {32, u'u', u'U'},
    {33, u'[', u'{'},
    {34, u'i', u'I'},
    {35, u'p', u'P'},
    {36, u'\r', u'\r'},
    {37, u'l', u'L'},
    {38, u'j', u'J'},
    {39, u'\'', u'"'},
    {40, u'k', u'K'},
    {41, u';', u':'},
    {42, u'\\', u'|'},
    {43, u',', u'<'},
    {44, u'/', u'?'},
    {45, u'n', u'N'},
    {46, u'm', u'M'},
    {47, u'.', u'>'},
    {48, u'\t', u'\t'},
    {49, u' ', u' '},
    {50, u'`', u'~'},
    {51, u'\b', u'\b'},
    {53, u'\x1b', u'\x1b'},
    {117, u'\uF728', u'\uF728'},
    {123, u'\uF702', u'\uF702'},
    {124, u'\uF703', u'\uF703'},
    {125, u'\uF701', u'\uF701'},
    {126, u'\uF700', u'\uF700'},
};

const Key* find(KeyCode code) {
    for (const Key& key : keys) {
        if (key.code == code) {
            return &key;
        }
    }
    return nullptr;
}

bool typesVisibleCharacter(const Key& key) {
    return key.plain >= 0x20 && key.plain < 0xF700;
}

std::u16string utf16Of(char32_t ch) {
    if (ch >= 0x10000 && ch <= 0x10FFFF) {
        const char32_t offset = ch - 0x10000;
        return {static_cast<char16_t>(0xD800 + (offset >> 10)),
                static_cast<char16_t>(0xDC00 + (offset & 0x3FF))};
    }
    if (ch > 0x10FFFF || (ch >= 0xD800 && ch <= 0xDFFF)) {
        return {u'\uFFFD'};
    }
    return {static_cast<char16_t>(ch)};
}

KeyEvent keyDown(KeyCode code, EventFlags flags, std::u16string_view text) {
    KeyEvent event;
    event.type = platform::KeyEventType::keyDown;
    event.keyCode = code;
    event.flags = flags;
    event.setText(text);
    return event;
}

} // namespace

KeyEvent keyDownFor(char32_t ch) {
    // Return types a carriage return, but the character people mean by it is the line feed.
    if (ch == U'\n') {
        return keyDown(platform::key::returnKey, 0, u"\r");
    }
    const std::u16string text = utf16Of(ch);
    if (text.size() == 1) {
        // Plain before shifted, so that keys that type the same either way need no Shift.
        for (const Key& key : keys) {
            if (key.plain == text[0]) {
                return keyDown(key.code, 0, text);
            }
        }
        for (const Key& key : keys) {
            if (key.shifted == text[0]) {
                return keyDown(key.code, platform::flag::shift, text);
            }
        }
    }
    return keyDown(0, 0, text);
}

KeyEvent keyDownFor(KeyCode keyCode, EventFlags flags) {
    if ((flags & platform::flag::control) != 0) {
        return keyDown(keyCode, flags, {});
    }
    return keyDown(keyCode, flags, textFor(keyCode, (flags & platform::flag::shift) != 0));
}

std::u16string textFor(KeyCode keyCode, bool shift) {
    const Key* key = find(keyCode);
    if (key == nullptr) {
        return {};
    }
    return {shift ? key->shifted : key->plain};
}

std::optional<KeyCode> keyCodeFor(char32_t ch) {
    for (const Key& key : keys) {
        if (typesVisibleCharacter(key) && (key.plain == ch || key.shifted == ch)) {
            return key.code;
        }
    }
    return std::nullopt;
}

} // namespace quillo::sim::usKeyboard
