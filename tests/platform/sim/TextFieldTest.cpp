// The field's rules for keys the engine never sends: Forward Delete, the arrows over a
// selection, and units an application types nothing for.
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>
#include <string>

namespace quillo::sim {
namespace {

namespace key = platform::key;

KeyEvent withText(KeyCode code, std::u16string_view units) {
    KeyEvent event = usKeyboard::keyDownFor(code, 0);
    event.setText(units);
    return event;
}

TEST(TextField, KeysTheEngineNeverSends) {
    // On "abcd", with the insertion point and selection before and after.
    struct Case {
        std::size_t cursor, selected;
        KeyEvent key;
        std::string after;
        std::size_t cursorAfter, selectedAfter;
    };
    const Case cases[] = {
        {2, 0, usKeyboard::keyDownFor(key::forwardDelete, 0), "abd", 2, 0},
        {4, 0, usKeyboard::keyDownFor(key::forwardDelete, 0), "abcd", 4, 0},
        {3, 2, usKeyboard::keyDownFor(key::forwardDelete, 0), "ad", 1, 0},
        {3, 2, usKeyboard::keyDownFor(key::leftArrow, 0), "abcd", 1, 0},
        {3, 2, usKeyboard::keyDownFor(key::rightArrow, 0), "abcd", 3, 0},
        // A key the layout does not know, with a function-key character.
        {3, 2, withText(96, u"\uF708"), "abcd", 3, 2},
        {3, 2, withText(key::a, u"\x7f"), "abcd", 3, 2},
        {3, 2, withText(key::a, u"\xDE00"), "abcd", 3, 2}, // a lone trail surrogate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "key " << c.key.keyCode << " at " << c.cursor);
        SimDesktop desktop;
        desktop.field().reset("abcd");
        desktop.field().place(c.cursor, c.selected);
        desktop.press(c.key);
        EXPECT_EQ(desktop.field().text(), c.after);
        EXPECT_EQ(desktop.field().cursor(), c.cursorAfter);
        EXPECT_EQ(desktop.field().selectionLength(), c.selectedAfter);
    }
}

} // namespace
} // namespace quillo::sim
