// Typing that goes on while expansions are being output, with the Linux backend's real threads:
// keys arrive on the main thread from Qt's event loop, the text replacer's work runs on QtTime's
// background worker, and every clipboard call it makes is marshalled by QtPasteboard to the main
// thread and waited for. An application stands in for the focused window: it reads the
// clipboard on the main thread when the worker presses Ctrl+V and copies its selection on
// Ctrl+C, as another program would, while the worker goes on. Built with ThreadSanitizer, this
// checks every hand-over between the two threads.
#include "engine/TextReplacer.h"
#include "platform/linux/QtPasteboard.h"
#include "platform/linux/QtTime.h"
#include "platform/sim/SimDesktop.h"
#include "support/EngineFixture.h"
#include "unicode/UnicodeText.h"

#include <QClipboard>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace quillo::engine {
namespace {

using model::MacroStep;
using model::Snippet;
using Mode = Snippet::TriggerMode;
using platform::KeyEvent;
using platform::KeyEventType;
using testing::snippet;
using namespace std::chrono_literals;
namespace flag = platform::flag;
namespace key = platform::key;

const std::string usersText = "https://example.org";
const std::string selectedText = "selected words";

class Tap final : public platform::KeyboardTap {
  public:
    bool start(Handler handler) override {
        handler_ = std::move(handler);
        return true;
    }
    void beginHold(std::function<void(bool)> established) override { established(false); }
    void replay(const KeyEvent&) override {}
    void endHold() override {}
    void setHotkeys(std::vector<platform::Hotkey>) override {}
    void press(const KeyEvent& event) { handler_(event); }

  private:
    Handler handler_;
};

// The focused application. Key presses come from the background worker; what they do to the
// clipboard happens on the main thread, as in a program of its own.
class Application final : public platform::EventPoster {
  public:
    explicit Application(platform::Time& time) : time_(time) {}

    void post(const KeyEvent& event) override {
        {
            std::lock_guard lock(mutex_);
            posted_.push_back(event);
        }
        if (event.type != KeyEventType::keyDown || event.flags != flag::command) {
            return;
        }
        if (event.keyCode == key::v) {
            time_.postToMain(
                [this] { pasted.push_back(QGuiApplication::clipboard()->text().toStdString()); });
        } else if (event.keyCode == key::c) {
            time_.postToMain([] {
                QGuiApplication::clipboard()->setText(QString::fromStdString(selectedText));
            });
        }
    }

    std::vector<KeyEvent> posted() const {
        std::lock_guard lock(mutex_);
        return posted_;
    }

    // What each Ctrl+V pasted, in order; touched on the main thread only.
    std::vector<std::string> pasted;

  private:
    platform::Time& time_;
    mutable std::mutex mutex_;
    std::vector<KeyEvent> posted_;
};

TEST(ConcurrentTypingQt, KeysKeepComingWhileTheWorkerUsesTheClipboard) {
    // The clipboard the user had: plain text and a second format, both to be given back.
    auto* original = new QMimeData;
    original->setText(QString::fromStdString(usersText));
    original->setHtml(QStringLiteral("<i>kept</i>"));
    QGuiApplication::clipboard()->setMimeData(original);

    testing::TemporaryFolder folder;
    sim::SimDesktop desktop{folder.path()}; // files, preferences and the rest: main thread only
    linuxdesktop::QtTime time;
    linuxdesktop::QtPasteboard pasteboard;
    Tap tap;
    Application application{time};
    auto services = desktop.services();
    platform::Services mixed{
        .keyboardTap = tap,
        .eventPoster = application,
        .textInput = services.textInput,
        .keyboardLayout = services.keyboardLayout,
        .secureInput = services.secureInput,
        .accessibilityTrust = services.accessibilityTrust,
        .pasteboard = pasteboard,
        .workspace = services.workspace,
        .sound = services.sound,
        .alerts = services.alerts,
        .preferences = services.preferences,
        .loginItem = services.loginItem,
        .files = services.files,
        .fileWatcher = services.fileWatcher,
        .network = services.network,
        .time = time,
    };

    model::SnippetStore store{mixed.files};
    model::AppSettings settings{mixed.preferences, mixed.loginItem};
    auto macro = snippet("mac", Mode::afterDelimiter, "");
    auto typeText = MacroStep::make(MacroStep::StepType::typeText);
    typeText.text = "typed";
    auto wait = MacroStep::make(MacroStep::StepType::wait);
    wait.milliseconds = 5;
    macro.macroSteps = {typeText, wait};
    store.setSnippets({snippet("omw", Mode::afterDelimiter, "On my way"),
                       snippet("lnk", Mode::afterDelimiter, "<a href='{clipboard}'>{cursor}</a>"),
                       snippet("bld", Mode::afterDelimiter, "<b>{selection}</b>"), macro});
    const std::map<std::string, std::vector<std::string>> mayPaste = {
        {"omw", {"On my way"}},
        {"lnk", {"<a href='" + usersText + "'></a>"}},
        // An application that has not copied within a quarter second counts as one that
        // does not copy: the selection is then empty.
        {"bld", {"<b>" + selectedText + "</b>", "<b></b>"}},
    };

    std::vector<std::string> expanded;
    int finished = 0;
    {
        TextExpansionEngine engine{store, settings, mixed, std::make_unique<TextReplacer>(mixed)};
        engine.setExpansionListener({
            .started = [&](const Snippet& s, std::size_t) { expanded.push_back(s.shortcut); },
            .finished = [&] { ++finished; },
        });
        engine.start();

        // A key every millisecond: the shortcuts of the script one after the other, and while
        // an expansion is being output, other keys, which the engine lets through untouched.
        const std::u32string script = U"omw lnk bld mac omw lnk bld mac omw lnk bld mac ";
        std::size_t next = 0;
        QEventLoop loop;
        QTimer typing;
        typing.setInterval(1ms);
        QObject::connect(&typing, &QTimer::timeout, [&] {
            if (engine.isReplacing()) {
                tap.press(sim::usKeyboard::keyDownFor(U'x'));
            } else if (next < script.size()) {
                tap.press(sim::usKeyboard::keyDownFor(script[next++]));
            } else {
                loop.quit();
            }
        });
        typing.start();
        loop.exec();
    }
    time.finish();
    pasteboard.stop();

    const std::vector<std::string> every = {"omw", "lnk", "bld", "mac"};
    std::vector<std::string> expected;
    for (int round = 0; round < 3; ++round) {
        expected.insert(expected.end(), every.begin(), every.end());
    }
    EXPECT_EQ(expanded, expected);
    EXPECT_EQ(finished, static_cast<int>(expanded.size()));
    std::size_t pastes = 0;
    for (const auto& shortcut : expanded) {
        if (shortcut == "mac") {
            continue;
        }
        ASSERT_LT(pastes, application.pasted.size()) << "no paste for " << shortcut;
        const auto& allowed = mayPaste.at(shortcut);
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), application.pasted[pastes]),
                  allowed.end())
            << shortcut << " pasted " << application.pasted[pastes];
        ++pastes;
    }
    EXPECT_EQ(pastes, application.pasted.size());

    const QMimeData* restored = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(restored->text().toStdString(), usersText);
    EXPECT_EQ(restored->html(), QStringLiteral("<i>kept</i>"));
}

} // namespace
} // namespace quillo::engine
