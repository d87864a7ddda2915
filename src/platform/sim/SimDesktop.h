// A deterministic desktop in memory: the fixture of every logic test and of `quillo simulate`.
//
// It implements every service of the seam. Time is virtual: nothing waits for real, a 290 ms
// expansion runs in microseconds, and every synthetic event is recorded with the virtual instant
// it was posted at. Background work runs on real threads, but only one thread (the test's own,
// acting as the main thread, or one worker) runs at any moment, handing control over at each
// blocking sleep, so a run is the same every time.
#pragma once

#include "platform/Platform.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillo::sim {

class SimPasteboard;
using platform::EventFlags;
using platform::KeyCode;
using platform::KeyEvent;
using VirtualTime = std::chrono::microseconds; // since the desktop was created

// One synthetic event as the desktop received it from the event poster.
struct PostedEvent {
    VirtualTime at;
    KeyEvent event;
    bool operator==(const PostedEvent&) const = default;
};

// The US-ANSI keyboard: which key and which Shift state type a character, and what a key types.
namespace usKeyboard {
// The key-down that types `ch` on a US keyboard (Shift flag for upper case and shifted
// punctuation, the named keys for line feed, tab and space); a character that the layout lacks
// gives a key-down with key code 0 that carries the character's text, as an input method would.
KeyEvent keyDownFor(char32_t ch);
// The key-down of a combination; its text is what the key types, with Shift if Shift is held
// (nothing when Control is held). Named keys carry what a Mac gives them: a carriage return for
// Return, U+0008 for Backspace, U+001B for Escape, the function-key characters for the arrows.
KeyEvent keyDownFor(KeyCode keyCode, EventFlags flags);
// The text that the key gives with or without Shift; empty for keys the layout does not know.
std::u16string textFor(KeyCode keyCode, bool shift);
// The key code of a letter, digit or punctuation key ('m' -> 46); none when there is none.
std::optional<KeyCode> keyCodeFor(char32_t ch);
} // namespace usKeyboard

// The one focused text field. A character is a grapheme cluster; positions count characters.
class TextField {
  public:
    const std::string& text() const { return text_; }
    std::size_t cursor() const { return cursor_; }
    std::size_t selectionLength() const { return selectionLength_; }
    // The selected text (the characters before the insertion point).
    std::string selectedText() const;

    // Sets the text with the insertion point at its end and the last `selectedCharacters`
    // characters selected.
    void reset(std::string text, std::size_t selectedCharacters = 0);
    // Moves the insertion point to character `cursor` (the end at most) with the
    // `selectedCharacters` before it selected, as the user's clicks would.
    void place(std::size_t cursor, std::size_t selectedCharacters = 0);
    // What an input method does: text in place of the selection, and code points erased before
    // the insertion point.
    void commit(std::string_view text);
    void deleteCodePoints(std::size_t count);

  private:
    friend class SimDesktop;
    // What a key-down that reaches the field does; Command-C copies the selection. True for
    // Command-V: the field then asks for the pasteboard's text, which arrives later (paste()).
    bool apply(const KeyEvent& keyDown, SimPasteboard& pasteboard, bool copies);
    // The pasted text arriving: it replaces the selection of that moment.
    void paste(const std::optional<std::string>& text);
    // Replaces the characters [from, to) with `utf8`, leaving the insertion point after it.
    void replace(std::size_t from, std::size_t to, std::string_view utf8);
    void insertUnits(char16_t pendingLead, std::u16string_view units);

    std::string text_;
    std::size_t cursor_ = 0;          // in characters
    std::size_t selectionLength_ = 0; // characters before the cursor that are selected
    char16_t pendingLeadSurrogate_ = 0;
};

class SimDesktop {
  public:
    // Files are kept under `filesRoot`, which is the data folder; without one there is none.
    explicit SimDesktop(std::filesystem::path filesRoot = {});
    // Finishes any background work still running (its posts to the main thread are dropped).
    ~SimDesktop();
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    platform::Services services();

    // --- Time --------------------------------------------------------------------------------
    VirtualTime now() const;
    // Runs everything that falls due in the next `duration` and leaves the clock at its end.
    void runFor(VirtualTime duration);
    // Runs main-thread tasks, background work and scheduled key presses until none is left
    // (repeating timers do not count). False when `limit` of virtual time passed first.
    bool runUntilIdle(VirtualTime limit = std::chrono::hours(24));

    // --- The user at the keyboard --------------------------------------------------------------
    // Presses a key now: the key-down goes through the keyboard tap and, unless the tap withholds
    // or holds it, to the text field. Returns whether it was withheld or held.
    bool press(const KeyEvent& keyDown);
    // A click in the field, which moves the insertion point to character `cursor` when given.
    void click(std::optional<std::size_t> cursor = std::nullopt);
    // The keyboard focus goes to a window of another application (or of the same one).
    void focusOn(std::optional<std::string> applicationId);
    // A modifier pressed or released on its own: a flags-changed event through the tap.
    void changeModifiers(EventFlags flags);
    // Schedules a key press at a virtual instant (now or later).
    void pressAt(VirtualTime at, const KeyEvent& keyDown);
    // Schedules anything else the user does (a click, a change of window) likewise.
    void doAt(VirtualTime at, std::function<void()> action);
    // Schedules one press per Unicode scalar of `text`, `interval` apart, the first now.
    void typeText(std::string_view text, VirtualTime interval = std::chrono::milliseconds(30));

    // --- Other programs at the files ----------------------------------------------------------
    // The file watch hears of each on the main thread's next turn, as it would of a real one.
    // Rewrites the file in place, or creates it, as an editor that keeps the file does.
    void writeFileOutside(const std::filesystem::path& path, std::string_view contents);
    // Writes the contents beside the file and renames them over it, as sync tools do.
    void replaceFileOutside(const std::filesystem::path& path, std::string_view contents);
    void deleteFileOutside(const std::filesystem::path& path);

    // --- What the user sees, and switches a test turns -----------------------------------------
    TextField& field() { return field_; }
    const std::vector<PostedEvent>& postedEvents() const { return posted_; }
    void clearPostedEvents() { posted_.clear(); }

    // The pasteboard, seen from the test.
    const std::vector<platform::PasteboardItem>& pasteboardItems() const;
    void setPasteboardItems(std::vector<platform::PasteboardItem> items);
    void setPasteboardText(std::optional<std::string> text);
    std::optional<std::string> pasteboardText() const;
    std::int64_t pasteboardChangeCount() const;
    // Whether Command-C in the field copies the selection (an application that does not copy).
    void setFieldCopies(bool copies);
    // Whether the contents carry the marks that keep clipboard managers from recording them.
    bool pasteboardConcealed() const;
    // How long after Command-V the field has the pasted text from another program's clipboard
    // (100 ms unless set): it asks the owner, and inserts the answer where the insertion point
    // is by then. Its own copies it pastes at once.
    void setFetchDelay(VirtualTime delay);

    // The keys reach the field through an input method, which the program writes through in
    // text: with the field's surrounding text (erasing code points, telling the selection), or
    // without (erasing with forwarded Backspaces, telling no selection).
    void setInputMethod(bool active, bool surroundingText = true);
    // What the program asked of the input method, as "ms:request", e.g. "50:erase 4/4",
    // "60:commit On my way", "70:key 123/0" (key code and flags).
    const std::vector<std::string>& inputMethodRequests() const;

    // The keyboard hold takes effect this long after it is asked for (0 unless set).
    void setHoldLatency(VirtualTime latency);
    // Another program holds the keyboard: the tap cannot hold it.
    void setHoldRefused(bool refused);
    bool holding() const;
    // The hotkeys the tap was last told of.
    const std::vector<platform::Hotkey>& hotkeys() const;

    // `aliases`: the other names it goes by (a window class for a launcher id, or the reverse).
    void setFrontmostApplication(std::optional<std::string> id,
                                 std::vector<std::string> aliases = {});
    // One of Quillo's own windows has the keyboard, or no more.
    void setOwnWindowFocused(bool focused);
    // Windows by number: the one with the focus (1 unless set, the field's), and those that are
    // Quillo's own. The program giving the focus to a window takes 20 ms, or never happens while
    // refused.
    void setFocusedWindow(std::optional<platform::WindowId> window);
    std::optional<platform::WindowId> focusedWindow() const;
    void addOwnWindow(platform::WindowId window);
    void setWindowFocusRefused(bool refused);
    void setSecureInput(bool on);
    // What the secure-input query says it cannot see; empty for a desktop that sees everything.
    void setSecureInputLimitation(std::string limitation);
    void setTrusted(bool trusted);
    int trustRequests() const;
    // The keys come through an input method, and this is what the desktop says of Quillo's
    // source; none (the default) where they come another way.
    void setInputSource(std::optional<platform::InputSource> source);
    // Makes the keyboard tap refuse to start.
    void setTapRefused(bool refused);

    const std::vector<std::string>& playedSounds() const;
    const std::vector<std::string>& openedUrls() const;
    // Alerts shown so far; each is answered with the next queued button index, or 0.
    const std::vector<platform::Alert>& shownAlerts() const;
    void queueAlertAnswer(std::size_t buttonIndex);

    // Preferences as stored (a value that is not a boolean can be planted as a string).
    void setPreferenceString(std::string key, std::string value);
    std::optional<bool> preference(std::string_view key) const;

    void setLoginItemEnabled(bool enabled);
    void setLoginItemError(std::optional<std::string> error);
    bool loginItemEnabled() const;

    // Answers of the network: the body for a URL (none means a transport error), delivered
    // after `latency` of virtual time; a URL without an answer never answers before its timeout.
    void setHttpResponse(std::string url, std::optional<std::string> body,
                         VirtualTime latency = std::chrono::milliseconds(20));
    const std::vector<std::string>& requestedUrls() const;

  private:
    struct Impl;
    // A key event of the user: through the tap and, unless withheld or held, to the field.
    bool deliver(const KeyEvent& event);
    // What an event that reaches the field does there.
    void toField(const KeyEvent& event);

    std::unique_ptr<Impl> impl_;
    TextField field_;
    std::vector<PostedEvent> posted_;
};

} // namespace quillo::sim
