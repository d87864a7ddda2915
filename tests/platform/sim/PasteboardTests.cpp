#include "platform/sim/SimDesktop.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace quillo::sim {
namespace {

using platform::Pasteboard;
using platform::PasteboardItem;
const std::string plain(Pasteboard::plainTextType);

PasteboardItem item(std::vector<std::pair<std::string, std::string>> representations) {
    PasteboardItem result;
    for (auto& [type, data] : representations) {
        result.representations.emplace_back(type, platform::Bytes(data.begin(), data.end()));
    }
    return result;
}

TEST(Pasteboard, SetStringOnAnEmptyPasteboardMakesOneItem) {
    SimDesktop desktop;
    auto& pasteboard = desktop.services().pasteboard;
    pasteboard.clearContents();
    pasteboard.setString("hi");
    EXPECT_EQ(pasteboard.items(), std::vector{item({{plain, "hi"}})});
    EXPECT_EQ(pasteboard.string(), "hi");
}

TEST(Pasteboard, SetStringAddsToTheFirstItemAndReplacesItsText) {
    SimDesktop desktop;
    auto& pasteboard = desktop.services().pasteboard;
    desktop.setPasteboardItems({item({{"text/html", "<i>a</i>"}}), item({{"image/png", "P"}})});

    pasteboard.setString("first");
    pasteboard.setString("second");

    EXPECT_EQ(pasteboard.items(), (std::vector{item({{"text/html", "<i>a</i>"}, {plain, "second"}}),
                                               item({{"image/png", "P"}})}));
}

TEST(Pasteboard, StringIsTheFirstPlainTextInItemOrder) {
    SimDesktop desktop;
    auto& pasteboard = desktop.services().pasteboard;
    desktop.setPasteboardItems({item({{"image/png", "P"}}),
                                item({{"text/html", "h"}, {plain, "2"}}), item({{plain, "3"}})});
    EXPECT_EQ(pasteboard.string(), "2");
    EXPECT_EQ(desktop.pasteboardText(), "2");

    desktop.setPasteboardItems({item({{"image/png", "P"}}), item({{"text/plain", "other"}})});
    EXPECT_EQ(pasteboard.string(), std::nullopt);
}

TEST(Pasteboard, ItemsAreCopiesThatCanBeWrittenBack) {
    SimDesktop desktop;
    auto& pasteboard = desktop.services().pasteboard;
    const std::vector saved = {item({{plain, "x"}, {"text/html", "<b>x</b>"}}),
                               item({{"image/png", std::string("\0\x01\xff", 3)}})};
    desktop.setPasteboardItems(saved);

    auto copy = pasteboard.items();
    copy[0].representations.clear();
    EXPECT_EQ(desktop.pasteboardItems(), saved) << "changing a copy changes nothing";

    pasteboard.clearContents();
    pasteboard.setString("snippet");
    pasteboard.clearContents();
    pasteboard.writeItems(saved);
    EXPECT_EQ(desktop.pasteboardItems(), saved);
}

TEST(Pasteboard, SetPasteboardTextOfNothingEmptiesIt) {
    SimDesktop desktop;
    desktop.setPasteboardText("x");
    desktop.setPasteboardText(std::nullopt);
    EXPECT_TRUE(desktop.pasteboardItems().empty());
    EXPECT_EQ(desktop.pasteboardText(), std::nullopt);
}

struct ChangeCase {
    const char* name;
    std::function<void(SimDesktop&)> change;
};

void PrintTo(const ChangeCase& c, std::ostream* os) {
    *os << c.name;
}

class PasteboardChanges : public testing::TestWithParam<ChangeCase> {};

TEST_P(PasteboardChanges, RaiseTheChangeCount) {
    SimDesktop desktop;
    desktop.setPasteboardText("start");
    const auto before = desktop.pasteboardChangeCount();
    EXPECT_EQ(desktop.services().pasteboard.changeCount(), before);

    GetParam().change(desktop);

    EXPECT_GT(desktop.pasteboardChangeCount(), before);
    EXPECT_EQ(desktop.services().pasteboard.changeCount(), desktop.pasteboardChangeCount());
}

INSTANTIATE_TEST_SUITE_P(
    Pasteboard, PasteboardChanges,
    testing::Values(
        ChangeCase{"clearContents", [](SimDesktop& d) { d.services().pasteboard.clearContents(); }},
        ChangeCase{"clearContentsWhenEmpty",
                   [](SimDesktop& d) {
                       d.setPasteboardItems({});
                       const auto count = d.pasteboardChangeCount();
                       d.services().pasteboard.clearContents();
                       EXPECT_GT(d.pasteboardChangeCount(), count);
                   }},
        ChangeCase{"writeItems",
                   [](SimDesktop& d) {
                       d.services().pasteboard.writeItems({item({{plain, "w"}})});
                   }},
        ChangeCase{"setStringSameText",
                   [](SimDesktop& d) { d.services().pasteboard.setString("start"); }},
        ChangeCase{"anotherAppSetsText", [](SimDesktop& d) { d.setPasteboardText("other"); }},
        ChangeCase{"anotherAppSetsSameText", [](SimDesktop& d) { d.setPasteboardText("start"); }},
        ChangeCase{"anotherAppClears", [](SimDesktop& d) { d.setPasteboardText(std::nullopt); }},
        ChangeCase{"anotherAppSetsItems",
                   [](SimDesktop& d) {
                       d.setPasteboardItems({item({{"image/png", "P"}})});
                   }}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(Pasteboard, ReadingDoesNotChangeTheCount) {
    SimDesktop desktop;
    desktop.setPasteboardText("x");
    const auto before = desktop.pasteboardChangeCount();
    (void)desktop.services().pasteboard.items();
    (void)desktop.services().pasteboard.string();
    EXPECT_EQ(desktop.pasteboardChangeCount(), before);
}

} // namespace
} // namespace quillo::sim
