// The small JSON document on Quillo's web server that names the newest version, and how two
// version strings compare.
#pragma once

#include "platform/Platform.h"

#include <compare>
#include <optional>
#include <string>
#include <string_view>

namespace quillo::app {

struct VersionDocument {
    std::string version;
    std::string url;   // the download page, an http or https address
    std::string notes; // empty when the document has none
    bool operator==(const VersionDocument&) const = default;
};

// A JSON object with the strings "version" and "url" (and, optionally, "notes"; anything but a
// string there counts as none). None for anything else, including an address that is not a web
// address: the document comes from the network, and the address is opened in the browser.
std::optional<VersionDocument> parseVersionDocument(const platform::Bytes& body);

// An absolute http or https address with a host, in one piece (no spaces or control
// characters).
bool isWebAddress(std::string_view url);

// Compares as people read version numbers: runs of digits as numbers (1.10 is after 1.9, and
// 1.01 equals 1.1), everything else character by character; when one string is the start of
// the other, the longer is the later (1.0.1 after 1.0).
std::weak_ordering compareVersions(std::string_view a, std::string_view b);

} // namespace quillo::app
