// Whether Quillo can work where the keys come through its IBus engine: the X display (the
// clipboard's) as X11Trust sees it, and whether the user has made the engine one of the
// desktop's input sources, which IBus needs before it hands Quillo a single key.
//
// On GNOME the input sources are the GSettings key org.gnome.desktop.input-sources sources, a
// list of (type, id) pairs such as [('xkb', 'us'), ('ibus', 'quillo')]: Quillo is added when
// ('ibus', 'quillo') is among them. Elsewhere the desktop's input-method settings keep their
// own list, so Quillo counts as added while IBus's global engine is "quillo". Whether it is the
// source selected now is IBus's global engine either way.
//
// Every look is cheap and never waits on another process: GSettings reads the settings database
// in place, and the global engine is asked for without waiting, the answer serving the next
// look. While IBus handles a key it waits for this very process, so a blocking call could stall
// every program's typing.
#pragma once

#include "platform/Platform.h"
#include "platform/linux/X11Trust.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

struct _GVariant;

namespace quillo::linuxdesktop {

// One of GNOME's input sources: its type ("xkb", "ibus") and its id ("us", "quillo").
using InputSourceEntry = std::pair<std::string, std::string>;

// The pairs of a GVariant list of type a(ss), as GNOME keeps them.
std::vector<InputSourceEntry> inputSourcesOf(_GVariant* list);

// The shell command that appends Quillo's source to `sources`, GNOME's list as it is now, so that
// none of the user's sources is lost: `gsettings set org.gnome.desktop.input-sources sources
// "[...]"`, quoted for the shell whatever the ids hold. Empty when Quillo is among them.
std::string gsettingsCommandAdding(const std::vector<InputSourceEntry>& sources);

class InputSourceTrust final : public platform::AccessibilityTrust {
  public:
    // Reads the desktop (XDG_CURRENT_DESKTOP) and opens the settings once.
    InputSourceTrust();
    ~InputSourceTrust() override;
    InputSourceTrust(const InputSourceTrust&) = delete;
    InputSourceTrust& operator=(const InputSourceTrust&) = delete;

    bool isTrusted() const override { return display_.isTrusted(); }
    // Opens GNOME Settings' keyboard panel, where there is one.
    void requestTrust() override;
    std::string untrustedReason() const override { return display_.untrustedReason(); }
    std::optional<platform::InputSource> inputSource() const override;

  private:
    X11Trust display_{false};
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace quillo::linuxdesktop
