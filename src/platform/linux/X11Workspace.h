// The application that has the keyboard, on X11, and opening web pages.
//
// On X11 the application is named by its window's class (the second string of WM_CLASS, "Zenity",
// "Gnome-terminal"), the id that the application filters of snippets hold. The window is the
// one the window manager calls active (_NET_ACTIVE_WINDOW); without a window manager it is the
// input focus, or with the focus following the pointer the top-level window under the pointer;
// from there the walk goes up to the window that carries WM_CLASS (or down, through a window
// manager's frame). Where the keys come through the input method (a Wayland session), the
// input method's side names the application first (InputMethodFront), and the window's class,
// right only for XWayland's programs, is the fallback. Either id also goes by the names the
// launcher files give the same application (ApplicationAliases), so that a filter written in the
// other kind of session holds.
//
// Giving a window the focus goes through the window manager (_NET_ACTIVE_WINDOW, as a pager
// asks on the user's behalf, with the server's time of the request, so that no focus-stealing
// rule holds it back), or without one straight to the window. It has the focus once the window
// manager names it active and the input focus is in it; both are looked at every 10 ms, and the
// request is made again every 100 ms until then (a window shown a moment ago may not be managed
// yet when first asked for).
#pragma once

#include "platform/Platform.h"
#include "platform/linux/XlibHeaders.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace quillo::linuxdesktop {

// A few round trips on `display` each; safe on any thread that owns the connection.
std::optional<std::string> focusedWindowClass(Display* display);
// The window in front, before the walk to the one that names its application.
std::optional<Window> frontWindow(Display* display);
// The process that made the window, as it says itself (_NET_WM_PID), found by the same walk as
// the class; none for a window that does not say.
std::optional<long> windowProcess(Display* display, Window window);

class ApplicationAliases;

class X11Workspace final : public platform::Workspace {
  public:
    // Where the keys come through the input method, the application of the focused field as the
    // input method's side tells it; none where it cannot, and the window class counts.
    using FrontApplication = std::function<std::optional<std::string>()>;

    // `display` is a main-thread connection.
    X11Workspace(Display* display, ApplicationAliases& aliases, FrontApplication front = {});
    ~X11Workspace() override;
    std::optional<std::string> frontmostApplicationId() const override;
    // The id and the names the launcher files give the same application.
    std::vector<std::string> frontmostApplicationNames() const override;
    // The window in front says it was made by this process (_NET_WM_PID, which Qt sets).
    bool ownWindowHasFocus() const override;
    void openUrl(const std::string& url) override;
    // The launcher files of the XDG folders and the windows open on the display.
    std::vector<platform::Application> applications() const override;
    std::optional<platform::WindowId> focusedWindow() const override;
    bool isOwnWindow(platform::WindowId window) const override;
    void focusWindow(platform::WindowId window, std::chrono::milliseconds limit,
                     std::function<void(bool)> done) override;

  private:
    // The server's time now, read from a property change on a window of its own.
    Time serverTime();
    void requestFocus(Window window);

    Display* display_;
    ApplicationAliases& aliases_;
    FrontApplication inputMethodFront_;
    // Never mapped; its property changes carry the server's time.
    Window clockWindow_ = None;
    // The parent of the timers that wait for a focus, which go with the workspace.
    std::unique_ptr<QObject> waits_;
};

} // namespace quillo::linuxdesktop
