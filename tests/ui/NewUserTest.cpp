// What a new user meets first in each window: text that comes back as it was typed, keys that do
// what a Linux desktop has them do, and words of this desktop.
#include "SnippetWindows.h"
#include "ui/MenuBarView.h"
#include "ui/NewSnippetSheet.h"
#include "ui/OnboardingView.h"
#include "ui/QuilloApp.h"
#include "ui/SnippetEditorView.h"

#include <QAbstractButton>
#include <QApplication>

using namespace quillo;

namespace {

void activate(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

// Every text a window shows or tells: labels, buttons, tooltips, placeholders and menu items.
QStringList textsOf(const QWidget& window) {
    QStringList texts{window.windowTitle()};
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        texts << widget->toolTip();
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            texts << label->text();
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
            texts << button->text();
        } else if (const auto* field = qobject_cast<const QLineEdit*>(widget)) {
            texts << field->placeholderText();
        }
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
    // No-break spaces, U+2028 and tabs survive an edit; a line break is a line feed.
    void theReplacementBoxKeepsEveryCharacter() {
        uitest::Desktop d;
        model::Snippet snippet = model::Snippet::make();
        snippet.replacement = "a\u00A0b\u2028c\td\n";
        d.store().add(snippet);
        ui::SnippetEditorView editor(d.store(), d.settings(),
                                     d.delegate().services().keyboardLayout,
                                     d.delegate().services().workspace);
        editor.setSnippet(d.store().snippets().back());
        activate(editor);
        ui::ReplacementBox* box = editor.replacementField();
        box->setFocus();
        box->moveCursor(QTextCursor::End);
        QTest::keyClick(box, Qt::Key_Tab);
        QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(box, QStringLiteral("e"));
        QCOMPARE(uitest::stored(d.store(), snippet.id)->replacement, snippet.replacement + "\t\ne");
        QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY2(!box->hasFocus(), "Ctrl+Tab leaves the box");
        box->setText(QStringLiteral("x\r\ny\rz"));
        QCOMPARE(box->text(), QStringLiteral("x\ny\nz"));
    }

    // Return starts a new line in the replacement and adds from the one-line fields; Ctrl+Return
    // adds from anywhere. The sheet opens in the shortcut field.
    void theSheetAddsOnlyWhatWasWritten() {
        uitest::Desktop d;
        ui::NewSnippetSheet sheet(d.store(), d.settings(), d.delegate().services().keyboardLayout);
        activate(sheet);
        QCOMPARE(QApplication::focusWidget(), sheet.shortcutField());
        const int height = sheet.height();
        QTest::keyClicks(sheet.replacementField(), QStringLiteral("Best regards,"));
        QCOMPARE(sheet.height(), height);
        QTest::keyClick(sheet.replacementField(), Qt::Key_Return);
        QTest::keyClicks(sheet.replacementField(), QStringLiteral("Ann"));
        QVERIFY(sheet.isVisible());
        QTest::keyClick(sheet.replacementField(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(!sheet.isVisible());
        QCOMPARE(d.store().snippets().back().replacement, std::string("Best regards,\nAnn"));
    }

    // Delete and "−" say what they did; Undo and Ctrl+Z put the snippets back where they were.
    void aDeleteCanBeUndone() {
        uitest::ListPage page;
        activate(page.view);
        const std::vector<model::Snippet> before = page.store().snippets();
        page.clickRow(0);
        page.clickRow(2, Qt::ControlModifier);
        QTest::keyClick(page.view.list(), Qt::Key_Delete);
        QCOMPARE(page.titles().size(), 1);
        QCOMPARE(page.view.message()->text(), QStringLiteral("Deleted 2 snippets"));
        QTest::mouseClick(page.view.undoButton(), Qt::LeftButton);
        QVERIFY(page.store().snippets() == before);
        QVERIFY(model::SnippetStore(page.sim().services().files).snippets() == before);
        QVERIFY(!page.view.message()->isVisible());

        page.clickRow(1);
        QTest::mouseClick(page.view.removeButton(), Qt::LeftButton);
        QCOMPARE(page.view.message()->text(), QStringLiteral("Deleted 1 snippet"));
        page.view.list()->setFocus();
        QTest::keyClick(page.view.list(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(page.store().snippets() == before);
    }

    // Escape clears the search first, then closes; reopened, the window starts afresh.
    void theSettingsWindowTakesTheKeysOfALinuxWindow() {
        uitest::App a({.onboardingCompleted = true});
        a.app.launch();
        a.app.openSettings();
        ui::SettingsView& window = *a.app.settingsWindow();
        activate(window);
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
        activate(window);
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

    // A Press Key step of key code 0 (the A key) with a modifier is a combination.
    void aControlAStepIsShown() {
        uitest::Desktop d;
        model::Snippet snippet = model::Snippet::make();
        model::MacroStep step = model::MacroStep::make(model::MacroStep::StepType::pressKey);
        step.modifiers = platform::flag::control;
        snippet.macroSteps = {step, model::MacroStep::make(model::MacroStep::StepType::pressKey)};
        d.store().add(snippet);
        ui::SnippetEditorView editor(d.store(), d.settings(),
                                     d.delegate().services().keyboardLayout,
                                     d.delegate().services().workspace);
        editor.setSnippet(d.store().snippets().back());
        const auto keys = editor.findChildren<QLabel*>(QStringLiteral("stepKey"));
        QCOMPARE(keys.size(), 2);
        QCOMPARE(keys[0]->text(), QStringLiteral("Ctrl+A"));
        QCOMPARE(keys[1]->text(), QStringLiteral("Not set"));
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
