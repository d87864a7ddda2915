// The program's windows together: the tray menu, the onboarding window and the settings window
// over one delegate.
#include "ui/QuilloApp.h"

#include "SnippetWindows.h"
#include "ui/AboutView.h"
#include "ui/Commands.h"
#include "ui/MenuBarView.h"
#include "ui/OnboardingView.h"
#include "ui/SingleInstance.h"
#include "ui/TrayIcon.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QSignalSpy>

using namespace quillo;
using namespace std::chrono_literals;

class QuilloAppTest : public QObject {
    Q_OBJECT
  private slots:
    // Another `quillo` asks the running one: insert picks a snippet by id, or the first enabled
    // one of a shortcut, and writes it into the field; the switch answers; bad words come back
    // as usage errors; with no Quillo running the switch says so.
    void commandsFromAnotherQuilloRunOnTheRunningOne() {
        uitest::App a({.onboardingCompleted = true});
        a.app.launch();
        a.sim().runUntilIdle();
        const auto make = [](const char* shortcut, const char* text, bool enabled) {
            auto snippet = model::Snippet::make();
            snippet.shortcut = shortcut;
            snippet.replacement = text;
            snippet.isEnabled = enabled;
            return snippet;
        };
        const auto byId = make("x", "X", true);
        a.store().setSnippets({make("sig", "Old", false), make("sig", "New", true), byId});
        const ui::CommandContext context{a.store(), a.delegate().services().keyboardLayout,
                                         &a.settings(), a.delegate().engine()};
        const auto ask = [&](const QStringList& args) {
            return *ui::decodeCommandReply(
                ui::answerCommandRequest(ui::commandRequest(args), context));
        };
        QCOMPARE(ask({"insert", "sig"}).status, 0);
        a.sim().runUntilIdle();
        QCOMPARE(ask({"insert", QString::fromStdString(byId.id.toString())}).status, 0);
        a.sim().runUntilIdle();
        QCOMPARE(a.sim().field().text(), std::string("NewX"));
        QCOMPARE(ask({"off"}).out, QStringLiteral("Expansion is off.\n"));
        const auto refused = ask({"insert", "x"});
        QCOMPARE(refused.status, 1);
        QVERIFY(refused.err.contains(QStringLiteral("Expansion is paused.")));
        QCOMPARE(ask({"toggle"}).out, QStringLiteral("Expansion is on.\n"));
        QVERIFY(a.settings().isExpansionEnabled());
        for (const QStringList& bad : {QStringList{"list", "--all"}, QStringList{"on", "now"},
                                       QStringList{"insert"}, QStringList{"bogus"}}) {
            QCOMPARE(ask(bad).status, 2);
        }
        const auto offline = ui::runCommand({"on"}, {a.store(), context.keyboardLayout});
        QCOMPARE(offline.status, 1);
        QVERIFY(offline.err.contains(QStringLiteral("not running")));
    }

    // Without a tray the settings window opens at start, so that Quillo is never out of reach.
    void aFinishedOnboardingStartsInTheTrayOrInTheSettingsWindow() {
        for (const bool tray : {true, false}) {
            uitest::App a({.onboardingCompleted = true}, tray);
            a.app.launch();
            a.sim().runUntilIdle();
            QVERIFY(a.app.trayIcon() != nullptr);
            QVERIFY(!a.app.onboarding().isVisible());
            QCOMPARE(a.app.settingsWindow() != nullptr, !tray);
            QVERIFY(tray || a.app.settingsWindow()->isVisible());
        }
    }

    // The grant asked for in the window, given later in the system: within a second the window,
    // the menu and the engine all know.
    void theGrantTurnsTheWindowTheMenuAndTheEngineWithinASecond() {
        uitest::App a({.trusted = false});
        a.app.launch();
        ui::OnboardingView& window = a.app.onboarding();
        const auto expectGranted = [&](bool yes) {
            QCOMPARE(window.grantedGroup()->isVisibleTo(&window), yes);
            QCOMPARE(window.notGrantedGroup()->isVisibleTo(&window), !yes);
            QCOMPARE(a.app.menuBar().grantAction()->isVisible(), !yes);
        };
        QVERIFY(window.isVisible());
        expectGranted(false);
        QVERIFY(window.reasonLabel()->isHidden());

        QTest::mouseClick(window.grantButton(), Qt::LeftButton);
        QCOMPARE(a.sim().trustRequests(), 1);
        QVERIFY(window.reasonLabel()->isVisibleTo(&window));
        QCOMPARE(window.reasonLabel()->text().toStdString(),
                 a.sim().services().accessibilityTrust.untrustedReason());

        a.sim().setTrusted(true);
        a.sim().runFor(999ms);
        expectGranted(false);
        QVERIFY(a.delegate().engine() == nullptr);
        a.sim().runFor(1ms);
        expectGranted(true);
        QVERIFY(window.reasonLabel()->isHidden());
        const auto* engine = a.delegate().engine();
        QVERIFY(engine != nullptr);

        // Get Started while the engine runs starts no second one.
        QTest::mouseClick(window.getStartedButton(), Qt::LeftButton);
        QCOMPARE(a.sim().preference("hasCompletedOnboarding"), std::optional<bool>(true));
        QVERIFY(!window.isVisible());
        QCOMPARE(a.delegate().engine(), engine);

        // Access lost again: the menu's grant item asks, and says what is missing in the window.
        a.sim().setTrusted(false);
        a.delegate().permissionsManager().setAccessibilityGranted(false);
        a.app.menuBar().grantAction()->trigger();
        QVERIFY(window.isVisible());
        expectGranted(false);
        QVERIFY(window.reasonLabel()->isVisibleTo(&window));
        QCOMPARE(a.sim().trustRequests(), 2);
    }

    // Where the keys come through the input method, the window and the menu say that Quillo is
    // not an input source and how to add it, until the next look after it was added.
    void theWindowAndTheMenuSayHowToAddTheInputSourceUntilItIsAdded() {
        const platform::InputSource missing{
            .steps = {"Open Settings, then Keyboard.", "Click \"+\"."},
            .command =
                R"(gsettings set org.gnome.desktop.input-sources sources "[('ibus', 'quillo')]")",
            .requestOpensSettings = true};
        uitest::App a({.inputSource = missing});
        a.app.launch();
        ui::OnboardingView& window = a.app.onboarding();
        QAction* item = a.app.menuBar().grantAction();
        const auto expectMissing = [&](bool yes) {
            QCOMPARE(window.inputSourceGroup()->isVisibleTo(&window), yes);
            QCOMPARE(window.grantedGroup()->isVisibleTo(&window), !yes);
            QVERIFY(!window.notGrantedGroup()->isVisibleTo(&window));
            QCOMPARE(item->isVisible(), yes);
        };
        QVERIFY(window.isVisible());
        expectMissing(true);
        QVERIFY(window.findChild<QLabel*>("notAnInputSource")
                    ->text()
                    .startsWith(QStringLiteral("Quillo is not an input source")));
        QCOMPARE(window.inputSourceSteps()->text(),
                 QStringLiteral("1. Open Settings, then Keyboard.\n2. Click \"+\".\n"
                                "Or run this command:"));
        QCOMPARE(window.inputSourceCommand()->text().toStdString(), missing.command);
        QCOMPARE(window.keyboardSettingsButton()->text(), QStringLiteral("Open Keyboard Settings"));
        QTest::mouseClick(window.copyCommandButton(), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text().toStdString(), missing.command);
        QCOMPARE(item->text(), QStringLiteral("Not an Input Source: Add Quillo..."));
        QVERIFY(item->toolTip().startsWith(QStringLiteral("Open Settings, then Keyboard.")));

        // The item opens the keyboard settings and the window with the steps.
        window.close();
        item->trigger();
        QCOMPARE(a.sim().trustRequests(), 1);
        QVERIFY(window.isVisible());

        a.sim().setInputSource(platform::InputSource{.added = true, .selected = true});
        a.sim().runFor(999ms);
        expectMissing(true);
        a.sim().runFor(1ms);
        expectMissing(false);
        QVERIFY(!a.delegate().permissionsManager().isPolling());
    }

    // The menu's switch, the settings window's switch and the tray icon show one setting.
    void theSwitchesFollowTheGlobalSwitchAndTurnIt() {
        uitest::App a({.expansionEnabled = false});
        a.app.launch();
        QAction* toggle = a.app.menuBar().expansionToggle();
        const auto shows = [&](bool on) {
            QCOMPARE(toggle->isChecked(), on);
            QCOMPARE(toggle->text(), QString::fromLatin1(on ? "Active" : "Click to activate"));
            QCOMPARE(a.app.trayIcon()->imageName(),
                     QString::fromLatin1(on ? "MenuBarIcon" : "MenuBarIconPaused"));
        };
        shows(false);
        toggle->trigger();
        QCOMPARE(a.sim().preference("isExpansionEnabled"), std::optional<bool>(true));
        shows(true);
        a.app.openSettings();
        ui::ToggleSwitch* expansion = a.app.settingsWindow()->generalSettings()->expansionSwitch();
        QVERIFY(expansion->isChecked());
        QTest::mouseClick(expansion, Qt::LeftButton);
        QVERIFY(!a.settings().isExpansionEnabled());
        shows(false);
    }

    // Every snippet counts, enabled or not.
    void theMenuCountsTheSnippets() {
        uitest::App a;
        QAction* count = a.app.menuBar().snippetCount();
        QCOMPARE(count->text(), QStringLiteral("3 snippets"));
        QVERIFY(!count->isEnabled());
        std::vector<model::Snippet> one{a.store().snippets()[0]};
        one[0].isEnabled = false;
        a.store().setSnippets(one);
        QCOMPARE(count->text(), QStringLiteral("1 snippet"));
        a.store().setSnippets({});
        QCOMPARE(count->text(), QStringLiteral("0 snippets"));
    }

    void theMenuReachesSettingsTheUpdateCheckTheMakersPageAndQuit() {
        uitest::App a({}, true, QStringLiteral("https://example.com/more"));
        QVERIFY(a.app.settingsWindow() == nullptr);
        a.app.menuBar().settingsAction()->trigger();
        QVERIFY(a.app.settingsWindow()->isVisible());
        QCOMPARE(a.app.settingsWindow()->tabs()->currentIndex(), 0);
        a.app.menuBar().updatesAction()->trigger();
        QCOMPARE(a.sim().requestedUrls(), std::vector{a.app.updateChecker().versionUrl()});
        a.app.menuBar().moreAppsAction()->trigger();
        QCOMPARE(a.sim().openedUrls(), std::vector<std::string>{"https://example.com/more"});
        a.app.menuBar().quitAction()->trigger();
        QCOMPARE(a.quits, 1);
    }

    // Read when the windows are made, and again when the desktop says it changed (the
    // accessibility switch turned off while Quillo runs).
    void theWindowsSayWhenPasswordFieldsCanGoUnnoticed() {
        uitest::App a;
        a.app.launch();
        a.app.openSettings();
        const QString note = QStringLiteral("Without the accessibility bus, password fields…");
        for (const QString& now : {QString(), note, QString()}) {
            a.sim().setSecureInputLimitation(now.toStdString());
            a.app.refreshPasswordFieldsNote();
            QLabel* about = a.app.settingsWindow()->about()->passwordFieldsNote();
            QCOMPARE(about->text(), now);
            QCOMPARE(about->isHidden(), now.isEmpty());
            // The first run says it either way.
            const QString said = a.app.onboarding().passwordFieldsNote()->text();
            QVERIFY(now.isEmpty()
                        ? said.startsWith(QStringLiteral("Password fields are recognised"))
                        : said == now);
        }
    }

    // The second instance hands over its message and leaves; a socket left by a crashed
    // instance is taken over.
    void oneInstanceRuns() {
        for (const bool stale : {false, true}) {
            QTemporaryDir folder;
            const QString socket = folder.filePath(QStringLiteral("quillo.socket"));
            if (QFile file(socket); stale) {
                QVERIFY(file.open(QIODevice::WriteOnly));
            }
            ui::SingleInstance first(socket);
            QVERIFY(first.claim("show-settings"));
            QSignalSpy received(&first, &ui::SingleInstance::messageReceived);
            QVERIFY(!ui::SingleInstance(socket).claim("show-settings"));
            QTRY_COMPARE(received.size(), 1);
            QCOMPARE(received.at(0).at(0).toByteArray(), QByteArray("show-settings"));
        }
    }
};

QUILLO_UI_TEST(QuilloAppTest);
#include "QuilloAppTest.moc"
