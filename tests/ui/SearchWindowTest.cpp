#include "ui/SearchWindow.h"

#include "SnippetWindows.h"
#include "platform/sim/SimDesktop.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>

using namespace quillo;
using namespace std::chrono_literals;
using ui::SearchWindow;

namespace {

constexpr platform::WindowId editorWindow = 7;

// The program running, the focus in an editor's field, and the search hotkey pressed there.
struct Opened : uitest::App {
    SearchWindow* window = nullptr;

    explicit Opened(const std::function<void(Opened&)>& before = {})
        : App({.onboardingCompleted = true}) {
        app.launch();
        sim().setFocusedWindow(editorWindow);
        sim().field().reset("Hi ");
        if (before) {
            before(*this);
        }
        QVERIFY(sim().press(sim::usKeyboard::keyDownFor(
            platform::key::space, platform::flag::control | platform::flag::option)));
        sim().runUntilIdle();
        window = app.searchWindow();
        QVERIFY(window && window->isVisible());
    }
    QStringList shortcuts() const {
        QStringList result;
        for (const auto& snippet : window->listed()) {
            result << QString::fromStdString(snippet.shortcut);
        }
        return result;
    }
    void type(const QString& keys) { QTest::keyClicks(window->searchField(), keys); }
    void key(Qt::Key k) { QTest::keyClick(window->searchField(), k); }
};

} // namespace

class SearchWindowTest : public QObject {
    Q_OBJECT
  private slots:
    // Up and Down move while the keys stay in the field; Enter gives the focus back to the
    // editor and writes there once it has it.
    void enterWritesTheChosenSnippetIntoTheWindowThatHadTheFocus() {
        Opened o([](Opened& a) {
            auto off = model::Snippet::make();
            off.shortcut = "wow";
            off.isEnabled = false;
            a.store().add(off);
        });
        QCOMPARE(o.shortcuts(), (QStringList{"omw", "link", ""}));
        o.type(QStringLiteral("W"));
        // "omw" contains it; the hotkey snippet's "On my way!" has it in its replacement.
        QCOMPARE(o.shortcuts(), (QStringList{"omw", ""}));
        o.key(Qt::Key_Down);
        o.key(Qt::Key_Down);
        QCOMPARE(o.window->list()->currentIndex().row(), 1);
        QCOMPARE(o.window->focusWidget(), o.window->searchField());
        o.key(Qt::Key_Return);
        QVERIFY(!o.window->isVisible());
        o.sim().runFor(19ms);
        QCOMPARE(o.sim().field().text(), std::string("Hi "));
        o.sim().runUntilIdle();
        QCOMPARE(o.sim().focusedWindow(), std::optional(editorWindow));
        QCOMPARE(o.sim().field().text(), std::string("Hi On my way!"));
    }

    void escapeOrAnotherWindowClosesItWithoutWriting() {
        Opened o;
        o.key(Qt::Key_Escape);
        QVERIFY(!o.window->isVisible());
        o.app.openSearchWindow();
        uitest::activate(*o.window);
        QWidget other;
        uitest::activate(other);
        QVERIFY(!o.window->isVisible());
        o.sim().runUntilIdle();
        QCOMPARE(o.sim().field().text(), std::string("Hi "));
    }

    // Nothing is written, and the window comes back saying why.
    void aRefusedChoiceSaysWhy() {
        const struct {
            const char* name;
            std::function<void(Opened&)> before, after;
            QString reason;
        } cases[] = {
            {"password field",
             {},
             [](Opened& o) { o.sim().setSecureInput(true); },
             QStringLiteral("Quillo never writes into a password field.")},
            {"focus refused",
             {},
             [](Opened& o) { o.sim().setWindowFocusRefused(true); },
             QStringLiteral("The window to write into did not take the keyboard focus back.")},
            {"expansion off",
             {},
             [](Opened& o) { o.settings().setExpansionEnabled(false); },
             QStringLiteral("Expansion is paused.")},
            {"application filter",
             [](Opened& o) {
                 auto first = o.store().snippets()[0];
                 first.blockedApps = {"org.gnome.TextEditor"};
                 o.store().update(first);
                 o.sim().setFrontmostApplication("org.gnome.TextEditor");
             },
             {},
             QStringLiteral("This snippet is not allowed in the window in front.")},
            {"own window",
             [](Opened& o) { o.sim().addOwnWindow(editorWindow); },
             {},
             QStringLiteral("The search window was opened over one of Quillo's own windows, "
                            "which snippets are never written into.")},
        };
        for (const auto& c : cases) {
            Opened o(c.before);
            if (c.after) {
                c.after(o);
            }
            o.key(Qt::Key_Return);
            o.sim().runFor(2s);
            QVERIFY2(o.window->isVisible(), c.name);
            QCOMPARE(o.window->reasonLine()->text(), c.reason);
            QCOMPARE(o.sim().field().text(), std::string("Hi "));
        }
    }

    // The desktop may learn that the focus left a password field a moment after the window has
    // it back: the window asks again until then.
    void aPasswordFieldThatTheDesktopLeavesLateIsWrittenInto() {
        Opened o;
        o.sim().setSecureInput(true);
        o.key(Qt::Key_Return);
        o.sim().runFor(300ms);
        o.sim().setSecureInput(false);
        o.sim().runFor(1s);
        QVERIFY(o.window->reasonLine()->isHidden());
        QCOMPARE(o.sim().field().text(), std::string("Hi On my way"));
    }
};

QUILLO_UI_TEST(SearchWindowTest);
#include "SearchWindowTest.moc"
