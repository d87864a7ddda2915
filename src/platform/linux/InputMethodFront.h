// The application of the focused field where the keys come through the input method: in a
// Wayland session the X server sees only the programs of XWayland, so the window class no longer
// tells which application is in front.
//
// The accessibility bus says which object has the focus, and so which process; the process's
// systemd unit names the launcher it was started from (ProcessApplication). Where no unit names
// one, the program's name is the id: first as the input context tells it (GTK's module names the
// program), then the executable's. Worked out once for each process and client in front, so that
// a key costs the comparison of two values.
#pragma once

#include <optional>
#include <string>

namespace quillo::linuxdesktop {

class AtspiPasswordFields;
class IBusInputMethod;

class InputMethodFront {
  public:
    InputMethodFront(const AtspiPasswordFields& accessibility, const IBusInputMethod& inputMethod);

    // None when neither the bus nor the input context tells (a program without accessibility
    // behind XIM, a GNOME Wayland program whose accessibility is off).
    std::optional<std::string> applicationId() const;

  private:
    struct Front {
        std::optional<long> process;
        std::string client;
        bool operator==(const Front&) const = default;
    };

    const AtspiPasswordFields& accessibility_;
    const IBusInputMethod& inputMethod_;
    mutable std::optional<Front> front_;
    mutable std::optional<std::string> id_;
};

} // namespace quillo::linuxdesktop
