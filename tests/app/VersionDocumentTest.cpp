// How version numbers compare and which addresses count as web addresses.
#include "app/VersionDocument.h"
#include "support/EngineFixture.h"

#include <gtest/gtest.h>
#include <string>

namespace quillo::app {
namespace {

struct VersionCase {
    std::string name;
    std::string a;
    std::string b;
    int expected; // the sign of a compared with b
};

class VersionOrder : public ::testing::TestWithParam<VersionCase> {};

int sign(std::weak_ordering order) {
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

TEST_P(VersionOrder, ComparesAsPeopleReadVersions) {
    const VersionCase& c = GetParam();
    EXPECT_EQ(sign(compareVersions(c.a, c.b)), c.expected);
    EXPECT_EQ(sign(compareVersions(c.b, c.a)), -c.expected);
}

INSTANTIATE_TEST_SUITE_P(, VersionOrder,
                         ::testing::Values(VersionCase{"TenAfterNine", "1.10", "1.9", 1},
                                           VersionCase{"PatchAfterNone", "1.0.1", "1.0", 1},
                                           VersionCase{"Equal", "1.2.3", "1.2.3", 0},
                                           VersionCase{"MajorFirst", "2.0", "1.99.99", 1},
                                           VersionCase{"TwoDigitMajor", "10", "9", 1},
                                           VersionCase{"LeadingZerosDoNotCount", "1.01", "1.1", 0},
                                           VersionCase{"LongerIsLater", "1.0.0", "1.0", 1},
                                           VersionCase{"NumbersBeyondSixtyFourBits",
                                                       "1.100000000000000000000",
                                                       "1.99999999999999999999", 1},
                                           VersionCase{"LettersByCharacter", "1.0b", "1.0a", 1},
                                           VersionCase{"EmptyIsFirst", "", "0", -1}),
                         testing::CaseName());

struct AddressCase {
    std::string name;
    std::string url;
    bool isWeb;
};

class WebAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(WebAddress, IsAnHttpOrHttpsAddressWithAHost) {
    EXPECT_EQ(isWebAddress(GetParam().url), GetParam().isWeb) << GetParam().url;
}

INSTANTIATE_TEST_SUITE_P(
    , WebAddress,
    ::testing::Values(AddressCase{"Https", "https://quillo.example/download", true},
                      AddressCase{"Http", "http://quillo.example", true},
                      AddressCase{"SchemeInCapitals", "HTTPS://quillo.example/", true},
                      AddressCase{"Port", "https://quillo.example:8443/d?x=1#y", true},
                      AddressCase{"Ipv6", "http://[::1]:8080/", true},
                      AddressCase{"Javascript", "javascript:alert(1)", false},
                      AddressCase{"File", "file:///etc/passwd", false},
                      AddressCase{"Data", "data:text/html,hi", false},
                      AddressCase{"Ftp", "ftp://quillo.example/", false},
                      AddressCase{"NoScheme", "quillo.example/download", false},
                      AddressCase{"NoHost", "https:///download", false},
                      AddressCase{"OnlyAPort", "https://:443/", false},
                      AddressCase{"PortNotANumber", "https://quillo.example:x/", false},
                      AddressCase{"Space", "https://quillo.example/a b", false},
                      AddressCase{"LineBreak", "https://quillo.example/\n", false},
                      AddressCase{"Empty", "", false}),
    testing::CaseName());

} // namespace
} // namespace quillo::app
