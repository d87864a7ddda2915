// Quillo's IBus engine as IBus calls it: each key (key symbol, evdev key code, X state), what the
// handler is told of it, and whether the field is kept from it. The engine object lives on a
// private session bus and serves no program, so what it commits goes nowhere.
#include "platform/linux/IBusInputMethod.h"

// GLib names a structure's member "signals", which Qt's headers make a keyword.
#undef signals
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillo::linuxdesktop {
namespace {

using platform::KeyEvent;
using platform::KeyEventType;
namespace flag = platform::flag;

constexpr std::uint32_t shift = 0x1;
constexpr std::uint32_t control = 0x4;
constexpr std::uint32_t alt = 0x8; // Mod1
constexpr std::uint32_t release = 1u << 30;

struct Key {
    std::uint32_t keyval;
    std::uint32_t keycode; // evdev
    std::uint32_t state = 0;
};

// What the handler was told, in one line: "down 0 a", "flags 0x40000", "up 0".
std::string describe(const KeyEvent& event) {
    std::string text;
    for (const char16_t unit : event.textView()) {
        text += unit < 0x20 ? "^" + std::to_string(unit) : std::string(1, static_cast<char>(unit));
        if (unit >= 0x80) {
            text = "U+" + std::to_string(unit);
        }
    }
    char flags[16];
    std::snprintf(flags, sizeof flags, "%lx", static_cast<unsigned long>(event.flags));
    switch (event.type) {
    case KeyEventType::keyDown:
        return "down " + std::to_string(event.keyCode) + " " + flags + " " + text;
    case KeyEventType::keyUp:
        return "up " + std::to_string(event.keyCode);
    case KeyEventType::flagsChanged:
        return std::string("flags ") + flags;
    default:
        return "other";
    }
}

class IBusInputMethodTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        bus_ = g_test_dbus_new(G_TEST_DBUS_NONE);
        g_test_dbus_up(bus_);
    }
    static void TearDownTestSuite() {
        g_test_dbus_down(bus_);
        g_object_unref(bus_);
    }

    void SetUp() override {
        connection_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        ASSERT_NE(connection_, nullptr);
        inputMethod_.start([this](const KeyEvent& event) {
            told_.push_back(describe(event));
            return event.keyCode == withheldKey_;
        });
        engine_ = IBusInputMethod::unusedEngine(connection_);
        inputMethod_.onFocus(engine_, true);
        ASSERT_EQ(told_, std::vector<std::string>{"other"}) << "a focus change ends the typing";
        told_.clear();
    }
    void TearDown() override {
        g_object_unref(engine_);
        g_object_unref(connection_);
    }

    // Presses the keys; for each, whether the field was kept from it (+) or not (-).
    std::string press(const std::vector<Key>& keys) {
        std::string answers;
        for (const Key& key : keys) {
            answers += inputMethod_.onKey(engine_, key.keyval, key.keycode, key.state) ? '+' : '-';
        }
        return answers;
    }

    static inline GTestDBus* bus_ = nullptr;
    GDBusConnection* connection_ = nullptr;
    IBusInputMethod inputMethod_{{.alt = alt, .super = 0x40, .numLock = 0x10}};
    IBusInputMethod::Engine* engine_ = nullptr;
    std::vector<std::string> told_;
    platform::KeyCode withheldKey_ = 0xFFFF;
};

TEST_F(IBusInputMethodTest, TellsEachKeyAsTheX11TapDoesAndTypesThePrintableOnesItself) {
    struct Case {
        const char* name;
        std::vector<Key> keys;
        std::string answers;
        std::vector<std::string> told;
    };
    const Case cases[] = {
        {"a letter is committed by the engine", {{'a', 30}}, "+", {"down 0 0 a"}},
        {"Shift and a capital",
         {{0xffe1, 42},
          {'A', 30, shift},
          {'A', 30, shift | release},
          {0xffe1, 42, shift | release}},
         "-+--",
         {"flags 20000", "down 0 20000 A", "up 0", "flags 0"}},
        {"Tab and Return go to the program with their characters",
         {{0xff09, 15}, {0xff0d, 28}},
         "--",
         {"down 48 0 ^9", "down 36 0 ^13"}},
        {"Backspace and Left go to the program",
         {{0xff08, 14}, {0xff51, 105}},
         "--",
         {"down 51 0 ^8", "down 123 0 "}},
        {"Ctrl+C goes to the program and still tells its letter",
         {{0xffe3, 29}, {'c', 46, control}},
         "--",
         {"flags 40000", "down 8 40000 c"}},
        {"Alt is Option", {{'m', 50, control | alt}}, "-", {"down 46 c0000 m"}},
        {"a dead key and a letter are told as the letter they make",
         {{0xfe51, 40}, {'e', 18}},
         "++",
         {"down 39 0 ", "down 14 0 U+233"}},
        {"AltGr is a level, not a modifier", {{0xfe03, 100}}, "-", {"flags 0"}},
    };
    for (const Case& c : cases) {
        told_.clear();
        EXPECT_EQ(press(c.keys), c.answers) << c.name;
        EXPECT_EQ(told_, c.told) << c.name;
    }
}

TEST_F(IBusInputMethodTest, KeepsWhatTheHandlerWithholdsAndEveryKeyOfAHold) {
    withheldKey_ = 46; // M
    EXPECT_EQ(press({{'m', 50, control | alt}, {'b', 48}}), "++");
    inputMethod_.beginHold([](bool) {});
    // Each still told to the handler; none reaches the field until replayed.
    told_.clear();
    EXPECT_EQ(press({{'x', 45}, {0xff0d, 28}, {'x', 45, release}}), "++-");
    EXPECT_EQ(told_, (std::vector<std::string>{"down 7 0 x", "down 36 0 ^13", "up 7"}));
    inputMethod_.endHold();
    EXPECT_EQ(press({{'x', 45}}), "+");
}

} // namespace
} // namespace quillo::linuxdesktop
