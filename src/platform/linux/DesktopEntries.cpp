#include "platform/linux/DesktopEntries.h"

#include "platform/posix/PosixFiles.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <set>
#include <unicode/coll.h>
#include <unicode/locid.h>

namespace quillo::linuxdesktop {

namespace fs = std::filesystem;

namespace {

// Launcher files are a few kilobytes; a larger one is no launcher.
constexpr std::size_t maxEntryBytes = 1 << 20;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string fileName(std::string_view path) {
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// The program a launcher's Exec line starts, without its folder, its arguments and an "env"
// prefix with variable assignments.
std::string programOf(std::string_view exec) {
    std::vector<std::string_view> words;
    while (!exec.empty()) {
        const auto space = exec.find(' ');
        if (const auto word = exec.substr(0, space); !word.empty()) {
            words.push_back(word);
        }
        exec.remove_prefix(space == std::string_view::npos ? exec.size() : space + 1);
    }
    std::size_t i = 0;
    if (i < words.size() && fileName(words[i]) == "env") {
        ++i;
        while (i < words.size() && words[i].find('=') != std::string_view::npos) {
            ++i;
        }
    }
    if (i >= words.size()) {
        return {};
    }
    std::string program(words[i]);
    std::erase(program, '"');
    return fileName(program);
}

std::string guessedWindowClass(std::string_view desktopId, std::string_view exec) {
    if (std::count(desktopId.begin(), desktopId.end(), '.') >= 2) {
        return std::string(desktopId);
    }
    std::string program = programOf(exec);
    if (program.empty()) {
        program = desktopId;
    }
    if (!program.empty() && program[0] >= 'a' && program[0] <= 'z') {
        program[0] = static_cast<char>(program[0] - 'a' + 'A');
    }
    return program;
}

// "de_DE.UTF-8@euro" -> "de_DE@euro" minus the modifier: the part a Name[...] key is keyed by.
std::string messagesLanguage() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        if (const char* value = std::getenv(variable); value != nullptr && value[0] != '\0') {
            std::string language(value);
            language = language.substr(0, language.find_first_of(".@"));
            return language == "C" || language == "POSIX" ? std::string() : language;
        }
    }
    return {};
}

} // namespace

std::map<std::string, std::string, std::less<>> desktopEntryKeys(std::string_view text) {
    std::map<std::string, std::string, std::less<>> keys;
    bool inEntry = false;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = trimmed(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.starts_with('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        const auto equals = line.find('=');
        if (!inEntry || line.starts_with('#') || equals == std::string_view::npos || equals == 0) {
            continue;
        }
        keys.insert_or_assign(std::string(trimmed(line.substr(0, equals))),
                              std::string(trimmed(line.substr(equals + 1))));
    }
    return keys;
}

std::optional<platform::Application>
applicationOfEntry(std::string_view text, std::string_view desktopId, std::string_view language) {
    const auto keys = desktopEntryKeys(text);
    const auto value = [&](std::string_view key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
    };
    if (value("Type") != "Application" || value("Hidden") == "true" ||
        value("NoDisplay") == "true") {
        return std::nullopt;
    }
    platform::Application application;
    std::vector<std::string> nameKeys;
    if (!language.empty()) {
        nameKeys.push_back("Name[" + std::string(language) + "]");
        nameKeys.push_back("Name[" + std::string(language.substr(0, language.find('_'))) + "]");
    }
    nameKeys.emplace_back("Name");
    for (const auto& key : nameKeys) {
        if (application.name = value(key); !application.name.empty()) {
            break;
        }
    }
    application.iconName = value("Icon");
    application.id = value("StartupWMClass");
    if (application.id.empty()) {
        application.id = guessedWindowClass(desktopId, value("Exec"));
    }
    if (application.id.empty()) {
        return std::nullopt;
    }
    if (application.name.empty()) {
        application.name = application.id;
    }
    return application;
}

namespace {

// Calls `use` with the id and the text of each launcher file of the folders, once per id: a
// folder listed earlier overrides a file of the same id in a later one, as desktops do.
template <typename Use>
void forEachLauncher(const std::vector<fs::path>& folders, Use use) {
    std::set<std::string> seenFiles;
    for (const fs::path& folder : folders) {
        std::error_code error;
        std::vector<fs::path> files;
        for (auto it = fs::recursive_directory_iterator(folder, error);
             !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (it->path().extension() == ".desktop" && it->is_regular_file(error)) {
                files.push_back(it->path());
            }
        }
        // The same order on every file system, so that the first of two files with one id wins
        // every time.
        std::sort(files.begin(), files.end());
        for (const fs::path& path : files) {
            // A launcher's id is its path below the folder, with "/" read as "-".
            std::string desktopId = path.lexically_relative(folder).string();
            std::replace(desktopId.begin(), desktopId.end(), '/', '-');
            desktopId.resize(desktopId.size() - std::string_view(".desktop").size());
            if (!seenFiles.insert(desktopId).second) {
                continue;
            }
            const auto bytes = posix::readFile(path, maxEntryBytes);
            if (!bytes) {
                continue;
            }
            use(desktopId, std::string_view(reinterpret_cast<const char*>(bytes.value->data()),
                                            bytes.value->size()));
        }
    }
}

bool sameLetters(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

std::vector<platform::Application> installedApplications(const std::vector<fs::path>& folders) {
    const std::string language = messagesLanguage();
    std::set<std::string> seenIds;
    std::vector<platform::Application> applications;
    forEachLauncher(folders, [&](const std::string& desktopId, std::string_view text) {
        if (auto application = applicationOfEntry(text, desktopId, language);
            application && seenIds.insert(application->id).second) {
            applications.push_back(std::move(*application));
        }
    });
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(
        icu::Collator::createInstance(icu::Locale(language.c_str()), status));
    std::stable_sort(applications.begin(), applications.end(), [&](const auto& a, const auto& b) {
        if (U_FAILURE(status) || !collator) {
            return a.name < b.name;
        }
        UErrorCode compared = U_ZERO_ERROR;
        return collator->compareUTF8(a.name, b.name, compared) == UCOL_LESS;
    });
    return applications;
}

std::vector<platform::Application>
withOpenApplications(std::vector<platform::Application> installed,
                     const std::vector<std::string>& openClasses) {
    std::vector<platform::Application> openOnly;
    for (const std::string& id : openClasses) {
        const auto known = std::find_if(installed.begin(), installed.end(),
                                        [&](const auto& a) { return a.id == id; });
        if (known != installed.end()) {
            known->isOpen = true;
        } else if (!id.empty() && std::none_of(openOnly.begin(), openOnly.end(),
                                               [&](const auto& a) { return a.id == id; })) {
            openOnly.push_back({id, id, {}, true});
        }
    }
    openOnly.insert(openOnly.end(), std::make_move_iterator(installed.begin()),
                    std::make_move_iterator(installed.end()));
    return openOnly;
}

std::optional<LauncherNames> launcherNamesOfEntry(std::string_view text,
                                                  std::string_view desktopId) {
    const auto keys = desktopEntryKeys(text);
    const auto value = [&](std::string_view key) {
        const auto found = keys.find(key);
        return found == keys.end() ? std::string() : found->second;
    };
    // A hidden entry is a deleted one; one kept off the menus still names a program that runs.
    if (value("Type") != "Application" || value("Hidden") == "true") {
        return std::nullopt;
    }
    LauncherNames names{
        std::string(desktopId), value("StartupWMClass"), {}, programOf(value("Exec"))};
    names.offeredId = names.windowClass.empty() ? guessedWindowClass(desktopId, value("Exec"))
                                                : names.windowClass;
    return names;
}

std::vector<LauncherNames> installedLauncherNames(const std::vector<fs::path>& folders) {
    std::vector<LauncherNames> launchers;
    forEachLauncher(folders, [&](const std::string& desktopId, std::string_view text) {
        if (auto names = launcherNamesOfEntry(text, desktopId)) {
            launchers.push_back(std::move(*names));
        }
    });
    return launchers;
}

std::vector<std::string> namesOfApplication(const std::vector<LauncherNames>& launchers,
                                            std::string_view id) {
    std::vector<std::string> names{std::string(id)};
    const auto add = [&names](const std::string& name) {
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
            names.push_back(name);
        }
    };
    for (const LauncherNames& launcher : launchers) {
        if (sameLetters(launcher.desktopId, id) ||
            (!launcher.windowClass.empty() && sameLetters(launcher.windowClass, id)) ||
            sameLetters(launcher.offeredId, id) ||
            (!launcher.program.empty() && sameLetters(launcher.program, id))) {
            add(launcher.desktopId);
            add(launcher.windowClass);
            add(launcher.offeredId);
        }
    }
    return names;
}

} // namespace quillo::linuxdesktop
