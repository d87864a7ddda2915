// Whatever the update server answers, reading it never crashes, and what it accepts is safe to
// open and to compare: the address is a web address, a document written back from what was read
// reads the same, and the version order is a consistent one, whatever strings it meets.
#include "app/VersionDocument.h"

#include <compare>
#include <cstdint>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

namespace {

using quillo::app::compareVersions;

void require(bool holds) {
    if (!holds) {
        std::abort();
    }
}

int sign(std::weak_ordering order) {
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

// Antisymmetric and reflexive on every pair, transitive on every triple: a sort or a "newer
// than" test over these strings can then never contradict itself.
void checkOrder(const std::string_view (&versions)[3]) {
    for (const auto a : versions) {
        require(sign(compareVersions(a, a)) == 0);
        for (const auto b : versions) {
            const int ab = sign(compareVersions(a, b));
            require(ab == -sign(compareVersions(b, a)));
            for (const auto c : versions) {
                const int bc = sign(compareVersions(b, c));
                const int ac = sign(compareVersions(a, c));
                if (ab <= 0 && bc <= 0) {
                    require(ac <= 0);
                }
                if (ab == 0 && bc == 0) {
                    require(ac == 0);
                }
                // Equal versions stand in the same place against any third.
                if (ab == 0) {
                    require(ac == bc);
                }
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const quillo::platform::Bytes body(data, data + size);
    if (const auto document = quillo::app::parseVersionDocument(body)) {
        require(quillo::app::isWebAddress(document->url));
        nlohmann::json again = {{"version", document->version}, {"url", document->url}};
        if (!document->notes.empty()) {
            again["notes"] = document->notes;
        }
        const std::string text = again.dump();
        require(quillo::app::parseVersionDocument(
                    quillo::platform::Bytes(text.begin(), text.end())) == document);
    }

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    (void)quillo::app::isWebAddress(input);

    // The input cut at its first two line breaks gives the three versions to compare.
    std::string_view versions[3];
    std::string_view rest = input;
    for (int i = 0; i < 2; ++i) {
        const auto cut = rest.find('\n');
        versions[i] = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    }
    versions[2] = rest;
    checkOrder(versions);
    return 0;
}
