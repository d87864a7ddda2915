// The preferences file on Linux: values keep their JSON type, other keys survive, and a broken
// or strange file does no harm.
#include "platform/linux/LinuxPreferences.h"
#include "support/EngineFixture.h"
#include "support/PersistenceContract.h"
#include "support/ScopedEnvironment.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/stat.h>

namespace quillo::linuxdesktop {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;
using testing::persistence::fileText;
using testing::persistence::writeText;

class LinuxPreferencesTest : public ::testing::Test {
  protected:
    fs::path configFolder() const { return folder.path() / "Quillo"; }
    fs::path file() const { return configFolder() / "preferences.json"; }
    Json stored() const { return Json::parse(fileText(file())); }

    testing::TemporaryFolder folder;
};

TEST_F(LinuxPreferencesTest, OnlyABooleanReadsAsABoolean) {
    writeText(file(), R"({"isExpansionEnabled":"false","appendDelimiter":1,)"
                      R"("playSoundOnExpansion":true,"hasCompletedOnboarding":null})");
    LinuxPreferences preferences(configFolder());
    EXPECT_EQ(preferences.boolValue("isExpansionEnabled"), std::nullopt);
    EXPECT_EQ(preferences.boolValue("appendDelimiter"), std::nullopt);
    EXPECT_EQ(preferences.boolValue("playSoundOnExpansion"), true);
    EXPECT_EQ(preferences.boolValue("hasCompletedOnboarding"), std::nullopt);
    EXPECT_EQ(preferences.boolValue("launchAtLogin"), std::nullopt);
}

TEST_F(LinuxPreferencesTest, AChangeKeepsTheOtherKeysAsTheyWere) {
    writeText(file(), R"({"isExpansionEnabled":"no","window":{"width":640,"tabs":[1,2]}})");
    LinuxPreferences preferences(configFolder());
    preferences.setBool("appendDelimiter", true);

    const Json expected = Json::parse(
        R"({"isExpansionEnabled":"no","window":{"width":640,"tabs":[1,2]},"appendDelimiter":true})");
    EXPECT_EQ(stored(), expected);
}

TEST_F(LinuxPreferencesTest, TheFirstChangeMakesAPrivateFolder) {
    LinuxPreferences preferences(configFolder());
    EXPECT_EQ(preferences.boolValue("appendDelimiter"), std::nullopt);
    preferences.setBool("appendDelimiter", false);

    EXPECT_EQ(stored(), Json::parse(R"({"appendDelimiter":false})"));
    struct stat status {};
    ASSERT_EQ(::stat(configFolder().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0700u);
    EXPECT_EQ(LinuxPreferences(configFolder()).boolValue("appendDelimiter"), false);
}

TEST_F(LinuxPreferencesTest, AFileThatIsNoObjectReadsAsEmptyAndIsReplacedAtTheNextChange) {
    for (const std::string text :
         {"", "[true]", "not json", "\"isExpansionEnabled\"", R"({"isExpansionEnabled":false)"}) {
        SCOPED_TRACE(text);
        writeText(file(), text);
        LinuxPreferences preferences(configFolder());
        EXPECT_EQ(preferences.boolValue("isExpansionEnabled"), std::nullopt);
        preferences.setBool("isExpansionEnabled", false);
        EXPECT_EQ(stored(), Json::parse(R"({"isExpansionEnabled":false})"));
    }
}

TEST_F(LinuxPreferencesTest, ADeeplyNestedValueIsDroppedNotFollowed) {
    const std::string deep = std::string(200'000, '[') + std::string(200'000, ']');
    writeText(file(), R"({"junk":)" + deep + R"(,"isExpansionEnabled":false})");
    LinuxPreferences preferences(configFolder());
    EXPECT_EQ(preferences.boolValue("isExpansionEnabled"), false);
    preferences.setBool("appendDelimiter", true);
    EXPECT_EQ(stored()["appendDelimiter"], true);
    EXPECT_EQ(stored()["isExpansionEnabled"], false);
}

TEST_F(LinuxPreferencesTest, WithoutAHomeTheValuesLiveInMemory) {
    testing::ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", std::nullopt);
    environment.set("HOME", std::nullopt);
    LinuxPreferences preferences;
    EXPECT_EQ(preferences.file(), std::nullopt);
    preferences.setBool("appendDelimiter", true);
    EXPECT_EQ(preferences.boolValue("appendDelimiter"), true);
}

TEST_F(LinuxPreferencesTest, TheFileIsInTheXdgConfigFolder) {
    testing::ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", folder.path().string());
    LinuxPreferences preferences;
    EXPECT_EQ(preferences.file(), file());
}

} // namespace
} // namespace quillo::linuxdesktop
