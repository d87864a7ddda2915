// Which application a process belongs to, from its systemd unit and its program's name, and
// which program an IBus input context names.
#include "platform/linux/ProcessApplication.h"

#include "platform/linux/IBusInputMethod.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace quillo::linuxdesktop {
namespace {

TEST(ProcessApplication, TheUnitOfTheProcessNamesTheLauncher) {
    const std::string user = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/";
    const struct {
        std::string cgroup;
        std::optional<std::string> id;
    } cases[] = {
        {user + "app-gnome-org.gnome.Calculator-12345.scope\n", "org.gnome.Calculator"},
        {user + "app-org.kde.kate-1234.scope\n", "org.kde.kate"},
        {user + "app-gnome-firefox\\x2desr-99.scope\n", "firefox-esr"},
        {user + "app-flatpak-org.foo.Bar-123.scope\n", "org.foo.Bar"},
        // A launcher that leaves the id's dashes unescaped.
        {user + "app-gnome-firefox-esr-99.scope\n", "firefox-esr"},
        {user + "app-gnome-org.gnome.Terminal@4f2a.service\n", "org.gnome.Terminal"},
        {user + "app-org.kde.konsole@1a.service\n", "org.kde.konsole"},
        {user + "app-gnome-gedit.service\n", "gedit"},
        {user + "dbus-:1.2-org.gnome.Nautilus@0.service\n", "org.gnome.Nautilus"},
        // Started from a terminal or another program: its unit names no application, and the
        // terminal's slice above it is not the program's.
        {user + "app-org.gnome.Terminal.slice/vte-spawn-0d8c.scope\n", std::nullopt},
        {user + "gnome-shell-wayland.service\n", std::nullopt},
        {"0::/user.slice/user-1000.slice/session-2.scope\n", std::nullopt},
        {user + "app-gnome--12.scope\n", std::nullopt},
        // A system with the v1 hierarchies: systemd's own says.
        {"12:cpu,cpuacct:/\n1:name=systemd:/user.slice/user-1000.slice/user@1000.service/"
         "app-gnome-org.gnome.Calculator-1.scope\n",
         "org.gnome.Calculator"},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cgroup);
        EXPECT_EQ(launcherIdOfCgroup(c.cgroup), c.id);
    }
}

TEST(ProcessApplication, UnitNamesLoseTheirEscapes) {
    EXPECT_EQ(unescapedUnitName(R"(firefox\x2desr\x2Dx\x2)"), R"(firefox-esr-x\x2)");
}

TEST(ProcessApplication, ARunningProcessIsNamedByItsProgramWhenItsUnitNamesNone) {
    const auto own = programOfProcess(::getpid());
    ASSERT_TRUE(own);
    EXPECT_EQ(*own, "linux_tests");
    EXPECT_EQ(programOfProcess(-1), std::nullopt);
    EXPECT_EQ(launcherIdOfProcess(-1), std::nullopt);
}

TEST(ProcessApplication, OnlyTheGtkModulesNameTheProgramOfAnInputContext) {
    const struct {
        const char* client;
        std::optional<std::string> program;
    } cases[] = {
        {"gtk3-im:zenity", "zenity"},
        {"gtk4-im:gnome-text-editor", "gnome-text-editor"},
        {"gtk-im:gimp", "gimp"},
        {"gtk3-im:", std::nullopt},
        {"gnome-shell", std::nullopt},
        {"xim", std::nullopt},
        {"QIBusInputContext", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.client);
        EXPECT_EQ(IBusInputMethod::programOfClient(c.client), c.program);
    }
}

} // namespace
} // namespace quillo::linuxdesktop
