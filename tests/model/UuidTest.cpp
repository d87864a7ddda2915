#include "model/Uuid.h"

#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <string>

namespace quillo::model {
namespace {

constexpr const char* upperText = "E621E1F8-C36C-495A-93FC-0C247A3E6E5F";

TEST(Uuid, ParsesOnlyTheHyphenatedFormInEitherCaseAndWritesUpperCase) {
    for (const char* text : {upperText, "e621e1f8-c36c-495a-93fc-0c247a3e6e5f",
                             "E621e1F8-c36C-495a-93Fc-0C247A3E6e5f"}) {
        SCOPED_TRACE(text);
        const auto uuid = Uuid::parse(text);
        ASSERT_TRUE(uuid);
        EXPECT_EQ(uuid->toString(), upperText);
        EXPECT_EQ(uuid->bytes()[0], 0xE6);
        EXPECT_EQ(uuid->bytes()[15], 0x5F);
    }
    EXPECT_EQ(Uuid().toString(), "00000000-0000-0000-0000-000000000000");
    // Nothing but the hyphenated form.
    for (const char* text :
         {"", "E621E1F8C36C495A93FC0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5F0",
          "E621E1F-8C36C-495A-93FC-0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5G",
          "E621E1F8+C36C-495A-93FC-0C247A3E6E5F", "E621E1F8-C36C-495A-93FC-0C247A3E6E5\xC3\x89"}) {
        EXPECT_FALSE(Uuid::parse(text)) << text;
    }
}

TEST(Uuid, RandomUuidsAreVersionFourDistinctAndHashApart) {
    std::set<Uuid> seen;
    std::set<std::size_t> hashes;
    for (int i = 0; i < 100; ++i) {
        const Uuid uuid = Uuid::random();
        EXPECT_EQ(uuid.bytes()[6] >> 4, 4);
        EXPECT_EQ(uuid.bytes()[8] >> 6, 0b10);
        EXPECT_TRUE(seen.insert(uuid).second);
        EXPECT_TRUE(hashes.insert(std::hash<Uuid>{}(uuid)).second);
        EXPECT_EQ(std::hash<Uuid>{}(*Uuid::parse(uuid.toString())), std::hash<Uuid>{}(uuid));
    }
}

} // namespace
} // namespace quillo::model
