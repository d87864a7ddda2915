// How version numbers compare and which addresses count as web addresses.
#include "app/VersionDocument.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace quillo::app {
namespace {

int sign(std::weak_ordering order) {
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

TEST(VersionOrder, ComparesAsPeopleReadVersions) {
    // a, b, and the sign of a compared with b
    const std::tuple<const char*, const char*, int> cases[] = {
        {"1.10", "1.9", 1},    {"1.0.1", "1.0", 1},
        {"1.2.3", "1.2.3", 0}, {"2.0", "1.99.99", 1},
        {"10", "9", 1},        {"1.01", "1.1", 0},
        {"1.0.0", "1.0", 1},   {"1.0b", "1.0a", 1},
        {"", "0", -1},         {"1.100000000000000000000", "1.99999999999999999999", 1},
    };
    for (const auto& [a, b, expected] : cases) {
        SCOPED_TRACE(std::string(a) + " vs " + b);
        EXPECT_EQ(sign(compareVersions(a, b)), expected);
        EXPECT_EQ(sign(compareVersions(b, a)), -expected);
    }
}

// An http or https address with a host, and nothing a browser would read differently.
TEST(WebAddress, IsAnHttpOrHttpsAddressWithAHost) {
    for (const char* web : {"https://quillo.example/download", "http://quillo.example",
                            "HTTPS://quillo.example/", "https://quillo.example:8443/d?x=1#y",
                            "http://[::1]:8080/", "https://user@quillo.example/"}) {
        EXPECT_TRUE(isWebAddress(web)) << web;
    }
    for (const char* other :
         {"javascript:alert(1)", "file:///etc/passwd", "data:text/html,hi", "ftp://quillo.example/",
          "quillo.example/download", "https:///download", "https://:443/", "https:quillo.example",
          "https://quillo.example:x/", "https://quillo.example/a b", "https://quillo.example/\n",
          "http://[]/", "http://[::1/", "http://[::1]x/", ""}) {
        EXPECT_FALSE(isWebAddress(other)) << other;
    }
}

} // namespace
} // namespace quillo::app
