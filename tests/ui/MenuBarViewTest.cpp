#include "ui/MenuBarView.h"

#include "UiTest.h"
#include "ui/OnboardingView.h"
#include "ui/QuilloApp.h"
#include "ui/SettingsView.h"
#include "ui/TrayIcon.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

using namespace quillo;
using ui::MenuBarView;

namespace {

// The menu as the user sees it: the visible items' texts, "---" for a separator.
QStringList visibleItems(const QMenu& menu) {
    QStringList items;
    for (const QAction* action : menu.actions()) {
        if (action->isVisible()) {
            items << (action->isSeparator() ? QStringLiteral("---") : action->text());
        }
    }
    return items;
}

model::Snippet snippetNamed(const std::string& shortcut) {
    auto snippet = model::Snippet::make();
    snippet.shortcut = shortcut;
    snippet.replacement = "text of " + shortcut;
    return snippet;
}

ui::QuilloApp::Options options(int* quits = nullptr) {
    ui::QuilloApp::Options result;
    result.trayAvailable = true;
    result.moreAppsUrl = QStringLiteral("https://example.com/more");
    result.quit = [quits] {
        if (quits) {
            ++*quits;
        }
    };
    return result;
}

const QStringList itemsAfterGrant{QStringLiteral("Active"),
                                  QStringLiteral("---"),
                                  QStringLiteral("3 snippets"),
                                  QStringLiteral("---"),
                                  QStringLiteral("Settings..."),
                                  QStringLiteral("Check for Updates…"),
                                  QStringLiteral("More from Brevant IT"),
                                  QStringLiteral("---"),
                                  QStringLiteral("Quit Quillo")};

} // namespace

class MenuBarViewTest : public QObject {
    Q_OBJECT
  private slots:
    void withAccessMissingTheMenuStartsWithTheGrantItem() {
        uitest::Desktop desktop({.trusted = false});
        ui::QuilloApp app(desktop.delegate(), options());
        QStringList expected{QStringLiteral("Grant Accessibility Access..."),
                             QStringLiteral("---")};
        expected << itemsAfterGrant;
        QCOMPARE(visibleItems(*app.menuBar().menu()), expected);
    }

    void withAccessGrantedTheMenuStartsWithTheSwitch() {
        uitest::Desktop desktop({.trusted = true});
        ui::QuilloApp app(desktop.delegate(), options());
        QCOMPARE(visibleItems(*app.menuBar().menu()), itemsAfterGrant);
    }

    void theGrantItemLeavesWhenTheMonitorSeesAccessAndComesBackWhenItIsLost() {
        uitest::Desktop desktop({.trusted = false});
        ui::QuilloApp app(desktop.delegate(), options());
        app.menuBar().grantAction()->trigger();
        QCOMPARE(desktop.sim().trustRequests(), 1);
        QVERIFY(desktop.delegate().permissionsManager().isPolling());

        desktop.sim().setTrusted(true);
        QVERIFY(app.menuBar().grantAction()->isVisible());
        desktop.sim().runFor(std::chrono::seconds(1));
        QCOMPARE(visibleItems(*app.menuBar().menu()), itemsAfterGrant);

        desktop.delegate().permissionsManager().setAccessibilityGranted(false);
        QCOMPARE(visibleItems(*app.menuBar().menu()).first(),
                 QStringLiteral("Grant Accessibility Access..."));
    }

    void theGrantItemSaysWhatIsMissingInTheOnboardingWindow() {
        uitest::Desktop desktop({.trusted = false, .onboardingCompleted = true});
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        app.menuBar().grantAction()->trigger();
        QVERIFY(app.onboarding().isVisible());
        QCOMPARE(app.onboarding().reasonLabel()->text().toStdString(),
                 desktop.sim().services().accessibilityTrust.untrustedReason());
    }

    void theSwitchFollowsTheGlobalSwitchAndTurnsIt() {
        uitest::Desktop desktop({.expansionEnabled = false});
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        QAction* toggle = app.menuBar().expansionToggle();
        QVERIFY(toggle->isCheckable());
        QVERIFY(!toggle->isChecked());
        QCOMPARE(toggle->text(), QStringLiteral("Click to activate"));
        QCOMPARE(app.trayIcon()->imageName(), QStringLiteral("MenuBarIconPaused"));

        toggle->trigger();
        QVERIFY(desktop.delegate().settings().isExpansionEnabled());
        QCOMPARE(desktop.sim().preference("isExpansionEnabled"), std::optional<bool>(true));
        QVERIFY(toggle->isChecked());
        QCOMPARE(toggle->text(), QStringLiteral("Active"));
        QCOMPARE(app.trayIcon()->imageName(), QStringLiteral("MenuBarIcon"));

        desktop.delegate().settings().setExpansionEnabled(false);
        QCOMPARE(toggle->text(), QStringLiteral("Click to activate"));
        QCOMPARE(app.trayIcon()->imageName(), QStringLiteral("MenuBarIconPaused"));
    }

    void theCountNamesEverySnippetEnabledOrNot_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << QStringLiteral("0 snippets");
        QTest::newRow("one") << 1 << QStringLiteral("1 snippet");
        QTest::newRow("two") << 2 << QStringLiteral("2 snippets");
        QTest::newRow("eleven") << 11 << QStringLiteral("11 snippets");
    }
    void theCountNamesEverySnippetEnabledOrNot() {
        QFETCH(int, count);
        QFETCH(QString, text);
        uitest::Desktop desktop;
        ui::QuilloApp app(desktop.delegate(), options());
        std::vector<model::Snippet> snippets;
        for (int i = 0; i < count; ++i) {
            snippets.push_back(snippetNamed("s" + std::to_string(i)));
            snippets.back().isEnabled = i % 2 == 0;
        }
        desktop.delegate().snippetStore().setSnippets(std::move(snippets));
        QAction* countItem = app.menuBar().snippetCount();
        QCOMPARE(countItem->text(), text);
        QVERIFY(!countItem->isEnabled());
    }

    void theCountFollowsTheStore() {
        uitest::Desktop desktop;
        ui::QuilloApp app(desktop.delegate(), options());
        QCOMPARE(app.menuBar().snippetCount()->text(), QStringLiteral("3 snippets"));
        desktop.delegate().snippetStore().add(snippetNamed("sig"));
        QCOMPARE(app.menuBar().snippetCount()->text(), QStringLiteral("4 snippets"));
    }

    void settingsAndQuitHaveTheirKeys() {
        uitest::Desktop desktop;
        ui::QuilloApp app(desktop.delegate(), options());
        QCOMPARE(app.menuBar().settingsAction()->shortcut(),
                 QKeySequence(QStringLiteral("Ctrl+,")));
        QCOMPARE(app.menuBar().quitAction()->shortcut(), QKeySequence(QStringLiteral("Ctrl+Q")));
        QVERIFY(app.menuBar().grantAction()->shortcut().isEmpty());
        QVERIFY(app.menuBar().updatesAction()->shortcut().isEmpty());
    }

    void settingsOpensTheSettingsWindowOnItsFirstTab() {
        uitest::Desktop desktop;
        ui::QuilloApp app(desktop.delegate(), options());
        QVERIFY(app.settingsWindow() == nullptr);
        app.menuBar().settingsAction()->trigger();
        QVERIFY(app.settingsWindow() != nullptr);
        QVERIFY(app.settingsWindow()->isVisible());
        QCOMPARE(app.settingsWindow()->tabs()->currentIndex(), 0);
    }

    void theOtherItemsReachTheUpdateCheckTheMakersPageAndQuit() {
        uitest::Desktop desktop;
        int quits = 0;
        ui::QuilloApp app(desktop.delegate(), options(&quits));
        app.menuBar().updatesAction()->trigger();
        QCOMPARE(desktop.sim().requestedUrls(),
                 std::vector<std::string>{app.updateChecker().versionUrl()});
        app.menuBar().moreAppsAction()->trigger();
        QCOMPARE(desktop.sim().openedUrls(), std::vector<std::string>{"https://example.com/more"});
        app.menuBar().quitAction()->trigger();
        QCOMPARE(quits, 1);
    }
};

QUILLO_UI_TEST(MenuBarViewTest);
#include "MenuBarViewTest.moc"
