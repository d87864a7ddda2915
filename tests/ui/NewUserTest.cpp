// What a new user meets first in each window: text that comes back as it was typed, keys that do
// what a Linux desktop has them do, and words of this desktop.
#include "SnippetWindows.h"
#include "ui/MenuBarView.h"
#include "ui/NewSnippetSheet.h"
#include "ui/OnboardingView.h"
#include "ui/QuilloApp.h"

using namespace quillo;

namespace {

// Every text a window shows or tells: labels, buttons, tooltips, placeholders and menu items.
QStringList textsOf(const QWidget& window) {
    QStringList texts{window.windowTitle()};
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        texts << widget->toolTip() << widget->property("text").toString()
              << widget->property("placeholderText").toString();
        for (const QAction* action : widget->actions()) {
            texts << action->text();
        }
    }
    return texts;
}

} // namespace

class NewUserTest : public QObject {
    Q_OBJECT
  private slots:
    // Escape clears the search first, then closes; reopened, the window starts afresh.
    void theSettingsWindowTakesTheKeysOfALinuxWindow() {
        uitest::App a({.onboardingCompleted = true});
        a.app.launch();
        a.app.openSettings();
        ui::SettingsView& window = *a.app.settingsWindow();
        uitest::activate(window);
        QLineEdit* search = window.snippetList()->searchField();
        window.showTab(ui::SettingsView::Tab::help);
        QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(search->hasFocus());
        QTest::keyClicks(search, QStringLiteral("omw"));
        QTest::keyClick(search, Qt::Key_Escape);
        QCOMPARE(search->text(), QString());
        QVERIFY(window.isVisible());
        QTest::keyClicks(search, QStringLiteral("omw"));
        window.close();
        a.app.openSettings();
        QCOMPARE(search->text(), QString());
        QTest::keyClick(search, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
        a.app.openSettings();
        uitest::activate(window);
        QTest::keyClick(&window, Qt::Key_W, Qt::ControlModifier);
        QVERIFY(!window.isVisible());
    }

    // Without a tray, Get Started leaves the settings window open, which says how to come back.
    void theFirstRunSaysWhatToDo() {
        uitest::App a({}, false);
        a.app.launch();
        ui::OnboardingView& onboarding = a.app.onboarding();
        QVERIFY(textsOf(onboarding).join(' ').contains(QStringLiteral("type omw and a space")));
        QTest::mouseClick(onboarding.getStartedButton(), Qt::LeftButton);
        QVERIFY(a.app.settingsWindow()->isVisible());
        QVERIFY(textsOf(*a.app.settingsWindow()).contains(QStringLiteral("Quit Quillo")));
    }

    // Every window speaks of this desktop's keys, places and tools.
    void noWindowSpeaksOfAnotherDesktop() {
        uitest::App a({.trusted = false}, false);
        a.app.launch();
        ui::SettingsView& settings = *a.app.settingsWindow();
        model::Snippet hotkey = model::Snippet::make();
        hotkey.triggerMode = model::Snippet::TriggerMode::hotkey;
        a.store().add(hotkey);
        settings.snippetList()->setSelection({hotkey.id});
        settings.snippetList()->addNew();
        QStringList texts = textsOf(settings) + textsOf(a.app.onboarding()) +
                            textsOf(*settings.snippetList()->newSnippetSheet());
        for (QAction* action : a.app.menuBar().menu()->actions()) {
            texts << action->text();
        }
        for (const char* word :
             {"⌘", "⌥", "⌃", "⇧", "↩", "⌫", "✓", "macOS", "System Settings", "/Applications",
              "Xcode", "bundle", "menu bar", "Opt+", "Accessibility"}) {
            const QStringList found = texts.filter(QString::fromUtf8(word));
            QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral(" | "))));
        }
    }
};

QUILLO_UI_TEST(NewUserTest);
#include "NewUserTest.moc"
