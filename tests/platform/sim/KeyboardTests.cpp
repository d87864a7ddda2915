// The keyboard tap and the event poster: what the program sees of the user's keys, and what the
// focused application receives of the program's.
#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>
#include <vector>

namespace quillo::sim {
namespace {

using namespace std::chrono_literals;
namespace key = platform::key;
namespace flag = platform::flag;
using platform::KeyEventType;

KeyEvent bare(KeyEventType type, KeyCode code, EventFlags flags = 0) {
    KeyEvent event;
    event.type = type;
    event.keyCode = code;
    event.flags = flags;
    return event;
}

TEST(KeyboardTap, WithoutATapKeysGoStraightToTheField) {
    SimDesktop desktop;
    EXPECT_FALSE(desktop.press(usKeyboard::keyDownFor(U'a')));
    EXPECT_EQ(desktop.field().text(), "a");
}

TEST(KeyboardTap, SeesEveryKeyDownAndMayWithholdIt) {
    SimDesktop desktop;
    std::vector<KeyEvent> seen;
    ASSERT_TRUE(desktop.services().keyboardTap.start([&](const KeyEvent& event) {
        seen.push_back(event);
        return event.keyCode == key::m;
    }));

    EXPECT_FALSE(desktop.press(usKeyboard::keyDownFor(U'a')));
    EXPECT_TRUE(desktop.press(usKeyboard::keyDownFor(U'm')));
    EXPECT_FALSE(desktop.press(usKeyboard::keyDownFor(U'b')));

    EXPECT_EQ(desktop.field().text(), "ab");
    EXPECT_EQ(seen, (std::vector{usKeyboard::keyDownFor(U'a'), usKeyboard::keyDownFor(U'm'),
                                 usKeyboard::keyDownFor(U'b')}));
}

TEST(KeyboardTap, SeesKeyUpsWhichTypeNothing) {
    SimDesktop desktop;
    int calls = 0;
    desktop.services().keyboardTap.start([&](const KeyEvent&) { return ++calls, false; });
    desktop.press(bare(KeyEventType::keyUp, key::a));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(desktop.field().text(), "");
}

TEST(KeyboardTap, SeesModifierChangesAsFlagsChanged) {
    SimDesktop desktop;
    std::vector<KeyEvent> seen;
    desktop.services().keyboardTap.start([&](const KeyEvent& event) {
        seen.push_back(event);
        return false;
    });
    desktop.changeModifiers(flag::control | flag::option);
    desktop.changeModifiers(0);
    EXPECT_EQ(seen, (std::vector{bare(KeyEventType::flagsChanged, 0, flag::control | flag::option),
                                 bare(KeyEventType::flagsChanged, 0, 0)}));
    EXPECT_EQ(desktop.field().text(), "");
}

TEST(KeyboardTap, RefusedTapNeverSeesKeys) {
    SimDesktop desktop;
    desktop.setTapRefused(true);
    int calls = 0;
    EXPECT_FALSE(
        desktop.services().keyboardTap.start([&](const KeyEvent&) { return ++calls, true; }));
    EXPECT_FALSE(desktop.press(usKeyboard::keyDownFor(U'a')));
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(desktop.field().text(), "a");
}

TEST(KeyboardTap, AHandlerMayReplaceItselfWhileRunning) {
    SimDesktop desktop;
    auto& tap = desktop.services().keyboardTap;
    int second = 0;
    tap.start([&](const KeyEvent&) {
        tap.start([&](const KeyEvent&) { return ++second, false; });
        return true;
    });
    EXPECT_TRUE(desktop.press(usKeyboard::keyDownFor(U'a')));
    EXPECT_FALSE(desktop.press(usKeyboard::keyDownFor(U'b')));
    EXPECT_EQ(second, 1);
}

// --- The event poster ---------------------------------------------------------------------------

TEST(EventPoster, RecordsEventsAsPostedButTypesWhatTheLayoutGives) {
    SimDesktop desktop;
    auto services = desktop.services();
    const std::vector<KeyEvent> posts = {
        bare(KeyEventType::keyDown, key::a),
        bare(KeyEventType::keyUp, key::a),
        bare(KeyEventType::keyDown, key::m, flag::shift),
        bare(KeyEventType::keyDown, 18, flag::shift),
        bare(KeyEventType::keyDown, key::returnKey),
        bare(KeyEventType::keyDown, key::backspace),
    };
    services.time.runInBackground([&] {
        for (const KeyEvent& event : posts) {
            services.eventPoster.post(event);
            services.time.sleep(1ms);
        }
    });
    desktop.runUntilIdle();

    ASSERT_EQ(desktop.postedEvents().size(), posts.size());
    for (std::size_t i = 0; i < posts.size(); ++i) {
        EXPECT_EQ(desktop.postedEvents()[i], (PostedEvent{std::chrono::milliseconds(i), posts[i]}));
    }
    EXPECT_EQ(desktop.field().text(), "aM!");
}

TEST(EventPoster, UnicodeEventsKeepTheirText) {
    SimDesktop desktop;
    auto services = desktop.services();
    services.time.runInBackground([&] {
        KeyEvent event;
        event.setText(u"\xD83D");
        services.eventPoster.post(event);
        event.setText(u"\xDE00");
        services.eventPoster.post(event);
    });
    desktop.runUntilIdle();
    EXPECT_EQ(desktop.field().text(), "\U0001F600");
}

TEST(EventPoster, PostedEventsPassTheTapWhichMayWithholdThem) {
    SimDesktop desktop;
    auto services = desktop.services();
    std::vector<KeyEvent> seen;
    services.keyboardTap.start([&](const KeyEvent& event) {
        seen.push_back(event);
        return event.keyCode == key::m;
    });
    services.time.runInBackground([&] {
        services.eventPoster.post(bare(KeyEventType::keyDown, key::m));
        services.eventPoster.post(bare(KeyEventType::keyUp, key::m));
        services.eventPoster.post(bare(KeyEventType::keyDown, key::a));
    });
    desktop.runUntilIdle();

    // The tap sees the text the key typed, as a real tap would.
    auto mUp = usKeyboard::keyDownFor(U'm');
    mUp.type = KeyEventType::keyUp;
    EXPECT_EQ(seen, (std::vector{usKeyboard::keyDownFor(U'm'), mUp, usKeyboard::keyDownFor(U'a')}));
    EXPECT_EQ(desktop.field().text(), "a");
}

TEST(EventPoster, DeliversOnTheMainThreadAfterWhatWasQueuedBefore) {
    SimDesktop desktop;
    auto services = desktop.services();
    services.time.postToMain([&] { desktop.field().reset("queued "); });
    services.time.runInBackground(
        [&] { services.eventPoster.post(bare(KeyEventType::keyDown, key::a)); });
    EXPECT_TRUE(desktop.postedEvents().empty());
    desktop.runUntilIdle();
    EXPECT_EQ(desktop.field().text(), "queued a");
}

TEST(EventPoster, ErasesAndPastesLikeAnExpansion) {
    SimDesktop desktop;
    auto services = desktop.services();
    desktop.field().reset("say ;sig");
    services.time.runInBackground([&] {
        for (int i = 0; i < 4; ++i) {
            services.eventPoster.post(bare(KeyEventType::keyDown, key::backspace));
            services.eventPoster.post(bare(KeyEventType::keyUp, key::backspace));
        }
        services.time.sleep(10ms);
        services.pasteboard.clearContents();
        services.pasteboard.setString("Best regards");
        services.eventPoster.post(bare(KeyEventType::keyDown, key::v, flag::command));
        services.eventPoster.post(bare(KeyEventType::keyUp, key::v, flag::command));
    });
    desktop.runUntilIdle();
    EXPECT_EQ(desktop.field().text(), "say Best regards");
    EXPECT_EQ(desktop.postedEvents().back().at, 10ms);
}

TEST(EventPoster, ClearingTheRecordKeepsRecordingAfterwards) {
    SimDesktop desktop;
    auto services = desktop.services();
    services.time.runInBackground([&] {
        services.eventPoster.post(bare(KeyEventType::keyDown, key::a));
        services.time.sleep(1ms);
        services.eventPoster.post(bare(KeyEventType::keyDown, key::c));
    });
    desktop.runFor(0ms);
    desktop.clearPostedEvents();
    desktop.runUntilIdle();
    EXPECT_EQ(desktop.postedEvents(),
              (std::vector{PostedEvent{1ms, bare(KeyEventType::keyDown, key::c)}}));
}

} // namespace
} // namespace quillo::sim
