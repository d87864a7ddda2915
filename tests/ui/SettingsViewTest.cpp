#include "ui/SettingsView.h"

#include "UiTest.h"
#include "ui/GeneralSettingsView.h"
#include "ui/MenuBarView.h"
#include "ui/QuilloApp.h"
#include "ui/Symbols.h"
#include "ui/ToggleSwitch.h"
#include "ui/TrayIcon.h"

#include <QAction>
#include <QTabWidget>
#include <QTest>

using namespace quillo;
using ui::SettingsView;

namespace {

ui::QuilloApp::Options options() {
    ui::QuilloApp::Options result;
    result.trayAvailable = true;
    return result;
}

} // namespace

class SettingsViewTest : public QObject {
    Q_OBJECT
  private slots:
    void theFourTabsInOrderEachWithItsSymbol() {
        uitest::Desktop desktop;
        auto& d = desktop.delegate();
        SettingsView window(d.snippetStore(), d.settings(), d.permissionsManager(),
                            d.services().keyboardLayout, d.services().workspace);
        QTabWidget* tabs = window.tabs();
        QStringList titles;
        for (int i = 0; i < tabs->count(); ++i) {
            titles << tabs->tabText(i);
            QVERIFY2(!tabs->tabIcon(i).isNull(), qPrintable(tabs->tabText(i)));
        }
        QCOMPARE(titles, (QStringList{QStringLiteral("Snippets"), QStringLiteral("General"),
                                      QStringLiteral("Help"), QStringLiteral("About")}));
        for (const char* symbol : {"text.quote", "gear", "questionmark.circle", "info.circle"}) {
            QVERIFY2(ui::hasSymbol(QString::fromLatin1(symbol)), symbol);
        }
    }

    void theWindowIsNeverSmallerThan600By400() {
        uitest::Desktop desktop;
        ui::QuilloApp app(desktop.delegate(), options());
        app.openSettings();
        SettingsView* window = app.settingsWindow();
        window->resize(300, 200);
        QVERIFY(window->width() >= 600);
        QVERIFY(window->height() >= 400);
        window->resize(900, 700);
        QCOMPARE(window->size(), QSize(900, 700));
    }

    void theWindowOpensOnTheSnippetsTab() {
        uitest::Desktop desktop;
        ui::QuilloApp app(desktop.delegate(), options());
        app.openSettings();
        SettingsView* window = app.settingsWindow();
        window->showTab(SettingsView::Tab::about);
        window->close();
        app.openSettings();
        QCOMPARE(window->tabs()->currentIndex(), 0);
    }

    void theGeneralTabHasFourSwitchesShowingThePreferences() {
        uitest::Desktop desktop({.expansionEnabled = false});
        auto& d = desktop.delegate();
        d.settings().setPlaySoundOnExpansion(true);
        ui::GeneralSettingsView view(d.settings());
        const auto switches = view.findChildren<ui::ToggleSwitch*>();
        QStringList labels;
        for (const auto* toggle : switches) {
            labels << toggle->text();
        }
        QCOMPARE(labels, (QStringList{QStringLiteral("Enable text expansion"),
                                      QStringLiteral("Append delimiter after expansion"),
                                      QStringLiteral("Play sound on expansion"),
                                      QStringLiteral("Launch at login")}));
        QVERIFY(!view.expansionSwitch()->isChecked());
        QVERIFY(!view.appendDelimiterSwitch()->isChecked());
        QVERIFY(view.soundSwitch()->isChecked());
        QVERIFY(!view.launchAtLoginSwitch()->isChecked());
    }

    void eachSwitchWritesItsPreference_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("key");
        QTest::newRow("expansion") << 0 << QStringLiteral("isExpansionEnabled");
        QTest::newRow("delimiter") << 1 << QStringLiteral("appendDelimiter");
        QTest::newRow("sound") << 2 << QStringLiteral("playSoundOnExpansion");
    }
    void eachSwitchWritesItsPreference() {
        QFETCH(int, row);
        QFETCH(QString, key);
        uitest::Desktop desktop;
        ui::GeneralSettingsView view(desktop.delegate().settings());
        auto* toggle = view.findChildren<ui::ToggleSwitch*>().at(row);
        const bool before = toggle->isChecked();
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(toggle->isChecked(), !before);
        QCOMPARE(desktop.sim().preference(key.toStdString()), std::optional<bool>(!before));
        QVERIFY(desktop.loginItem().calls.empty());
    }

    void launchAtLoginRegistersOnlyOnTheUsersFlip() {
        uitest::Desktop desktop;
        ui::QuilloApp app(desktop.delegate(), options());
        app.openSettings();
        SettingsView* window = app.settingsWindow();
        window->showTab(SettingsView::Tab::general);
        QVERIFY(desktop.loginItem().calls.empty());

        ui::ToggleSwitch* login = window->generalSettings()->launchAtLoginSwitch();
        QTest::mouseClick(login, Qt::LeftButton);
        QCOMPARE(desktop.loginItem().calls, std::vector<bool>{true});
        QVERIFY(desktop.sim().loginItemEnabled());
        QVERIFY(desktop.delegate().settings().launchAtLogin());

        window->close();
        app.openSettings();
        window->showTab(SettingsView::Tab::general);
        QCOMPARE(desktop.loginItem().calls.size(), std::size_t{1});

        QTest::mouseClick(login, Qt::LeftButton);
        QCOMPARE(desktop.loginItem().calls, (std::vector<bool>{true, false}));
        QVERIFY(!desktop.sim().loginItemEnabled());
    }

    void aFailedRegistrationKeepsTheUsersChoice() {
        uitest::Desktop desktop;
        desktop.sim().setLoginItemError("no autostart folder");
        ui::GeneralSettingsView view(desktop.delegate().settings());
        QTest::mouseClick(view.launchAtLoginSwitch(), Qt::LeftButton);
        QCOMPARE(desktop.loginItem().calls, std::vector<bool>{true});
        QVERIFY(view.launchAtLoginSwitch()->isChecked());
    }

    void theExpansionSwitchAndTheMenuShowTheSameSetting() {
        uitest::Desktop desktop;
        ui::QuilloApp app(desktop.delegate(), options());
        app.launch();
        app.openSettings();
        ui::ToggleSwitch* expansion = app.settingsWindow()->generalSettings()->expansionSwitch();
        QTest::mouseClick(expansion, Qt::LeftButton);
        QVERIFY(!app.menuBar().expansionToggle()->isChecked());
        QCOMPARE(app.menuBar().expansionToggle()->text(), QStringLiteral("Click to activate"));
        QCOMPARE(app.trayIcon()->imageName(), QStringLiteral("MenuBarIconPaused"));

        app.menuBar().expansionToggle()->trigger();
        QVERIFY(expansion->isChecked());
        QVERIFY(desktop.loginItem().calls.empty());
    }
};

QUILLO_UI_TEST(SettingsViewTest);
#include "SettingsViewTest.moc"
