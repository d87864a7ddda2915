// The search window with 10,000 snippets, on Qt's offscreen platform and the simulated desktop:
// from the press of the hotkey until the window has painted its matches, and from a keystroke in
// its field until the list has painted the new matches. Each is timed on its own, many times;
// the rows go to standard output in the table's form (measure, snippets, result, target,
// verdict, separated by tabs), for scripts/bench.
//
//   quillo_search_bench [ROUNDS]
#include "BenchSnippets.h"
#include "app/AppDelegate.h"
#include "platform/sim/SimDesktop.h"
#include "ui/QuilloApp.h"
#include "ui/SearchWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace {

using quillo::bench::percentile;

using namespace quillo;
using Clock = std::chrono::steady_clock;

constexpr std::size_t snippetCount = 10'000;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string milliseconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f ms", ms);
    return text;
}

void rows(const std::string& what, const std::vector<double>& ms, double targetMs) {
    const double worst = *std::max_element(ms.begin(), ms.end());
    const auto row = [](const std::string& measure, const std::string& result,
                        const std::string& target = "", const std::string& verdict = "") {
        std::cout << measure << "\t10,000\t" << result << "\t" << target << "\t" << verdict << "\n";
    };
    if (ms.size() > 1) {
        row(what + ", median", milliseconds(percentile(ms, 0.5)));
        row(what + ", 99th percentile", milliseconds(percentile(ms, 0.99)));
    }
    row(what + (ms.size() > 1 ? ", slowest" : ""), milliseconds(worst),
        "≤ " + milliseconds(targetMs), worst <= targetMs ? "met" : "MISSED");
}

// Paints now what the window would paint at the next turn of the event loop.
void paint(ui::SearchWindow& window) {
    QApplication::processEvents();
    window.repaint();
}

void key(QLineEdit* field, int qtKey, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
    QApplication::sendEvent(field, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier, text);
    QApplication::sendEvent(field, &release);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;

    const bench::ScratchFolder folder;
    sim::SimDesktop desktop(folder.path());
    platform::Services services = desktop.services();
    services.preferences.setBool(model::AppSettings::hasCompletedOnboardingKey, true);
    app::AppDelegate delegate(services);
    delegate.snippetStore().setSnippets(bench::makeSnippets(snippetCount));
    ui::QuilloApp quilloApp(delegate, {.trayAvailable = true, .moreAppsUrl = {}, .quit = {}});
    quilloApp.launch();
    // A combination none of the benchmark's snippets has (they use Ctrl+Alt).
    const platform::Hotkey search{platform::key::space,
                                  platform::flag::control | platform::flag::shift};
    delegate.settings().setSearchWindowHotkey(search);
    const auto hotkey = sim::usKeyboard::keyDownFor(search.keyCode, search.modifiers);

    std::vector<double> first;
    std::vector<double> opening;
    std::vector<double> typing;
    // Letters narrow the list, Backspaces widen it again: both are keystrokes.
    const QString word = QStringLiteral("regards");
    for (int round = 0; round <= rounds; ++round) {
        const auto start = Clock::now();
        desktop.press(hotkey);
        desktop.runUntilIdle();
        ui::SearchWindow& window = *quilloApp.searchWindow();
        paint(window);
        // The first round makes the window, which happens once a run.
        (round == 0 ? first : opening).push_back(msSince(start));
        QLineEdit* field = window.searchField();
        for (const QChar letter : word) {
            const auto typed = Clock::now();
            key(field, QChar(letter).toUpper().unicode(), QString(letter));
            paint(window);
            typing.push_back(msSince(typed));
        }
        for (qsizetype i = 0; i < word.size(); ++i) {
            const auto typed = Clock::now();
            key(field, Qt::Key_Backspace, {});
            paint(window);
            typing.push_back(msSince(typed));
        }
        window.hide();
        QApplication::processEvents();
    }
    rows("search window: the first hotkey, window made, to matches shown", first, 50);
    rows("search window: hotkey to matches shown", opening, 50);
    rows("search window: keystroke to list updated", typing, 16);
    return 0;
}
