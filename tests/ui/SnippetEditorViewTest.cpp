#include "ui/SnippetEditorView.h"

#include "SnippetWindows.h"
#include "UiTest.h"
#include "ui/KeyRecorder.h"
#include "ui/MacroStepRow.h"
#include "ui/SettingsView.h"
#include "ui/SnippetListView.h"
#include "ui/ToggleSwitch.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace quillo;
using ui::SnippetEditorView;
using TriggerMode = model::Snippet::TriggerMode;
using StepType = model::MacroStep::StepType;

namespace {

// An editor on the simulated desktop, showing a snippet that was added to the store.
struct Editor {
    uitest::Desktop desktop;
    SnippetEditorView editor{desktop.delegate().snippetStore(), desktop.delegate().settings(),
                             desktop.delegate().services().keyboardLayout,
                             desktop.delegate().services().workspace};
    model::Uuid id;

    explicit Editor(model::Snippet snippet) : id(snippet.id) {
        store().add(std::move(snippet));
        editor.setSnippet(store().snippets().back());
        editor.resize(460, 700);
        editor.show();
    }
    model::SnippetStore& store() { return desktop.delegate().snippetStore(); }
    model::AppSettings& settings() { return desktop.delegate().settings(); }
    model::Snippet saved() { return *uitest::stored(store(), id); }

    ui::MacroStepRow* row(std::size_t i) { return editor.steps()->rows().at(i); }
    template <typename T>
    T* inRow(std::size_t i, const char* name) {
        return row(i)->findChild<T*>(QString::fromLatin1(name));
    }
};

model::Snippet hotkeySnippet() {
    model::Snippet snippet = model::Snippet::make();
    snippet.triggerMode = TriggerMode::hotkey;
    snippet.replacement = "Hi";
    return snippet;
}

model::Snippet macroSnippet(std::initializer_list<StepType> types) {
    model::Snippet snippet = model::Snippet::make();
    snippet.replacement = "kept";
    for (const StepType type : types) {
        snippet.macroSteps.push_back(model::MacroStep::make(type));
    }
    return snippet;
}

} // namespace

class SnippetEditorViewTest : public QObject {
    Q_OBJECT
  private slots:
    void theFiveSectionsInOrder() {
        Editor e(model::Snippet::make());
        QStringList headings;
        for (const QLabel* label : e.editor.findChildren<QLabel*>()) {
            if (label->font().bold() || label->font().weight() >= QFont::DemiBold) {
                headings << label->text();
            }
        }
        QCOMPARE(headings, (QStringList{QStringLiteral("Trigger"), QStringLiteral("Replacement"),
                                        QStringLiteral("Options"), QStringLiteral("Allowed Apps"),
                                        QStringLiteral("Blocked Apps")}));
        QCOMPARE(e.editor.findChild<QLabel*>(QStringLiteral("variables"))->text(),
                 QStringLiteral("{clipboard} — inserts clipboard contents  ·  {cursor} — places "
                                "cursor here after expansion"));
    }

    void aHotkeyNeedsAModifierAndIsStoredInTheFourBits() {
        Editor e(hotkeySnippet());
        QCOMPARE(e.editor.hotkeyText()->text(), QStringLiteral("Not set"));
        QVERIFY(!e.editor.clearButton()->isVisible());
        QVERIFY(!e.editor.recordingCaption()->isVisible());

        QTest::mouseClick(e.editor.recordButton(), Qt::LeftButton);
        QVERIFY(e.settings().isRecordingHotkey());
        QCOMPARE(e.editor.recordButton()->text(), QStringLiteral("Cancel"));
        QVERIFY(e.editor.recordingCaption()->isVisible());
        QCOMPARE(e.editor.recordingCaption()->text(),
                 QStringLiteral("Press a key combination (must include ⌃, ⌥, ⇧ or ⌘)..."));

        // A plain key and Caps Lock are swallowed: nothing is stored, the recording goes on.
        QTest::keyClick(e.editor.recordButton(), Qt::Key_M);
        QTest::keyClick(e.editor.recordButton(), Qt::Key_Escape);
        QTest::keyClick(e.editor.recordButton(), Qt::Key_CapsLock);
        QVERIFY(!e.saved().hotkeyKeyCode);
        QVERIFY(e.editor.recorder().isRecordingHotkey());

        // With Caps Lock on the letter comes upper case; the stored mask is Control | Option.
        QTest::keyClick(e.editor.recordButton(), 'M', Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(e.saved().hotkeyKeyCode, std::optional<std::int64_t>(46));
        QCOMPARE(e.saved().hotkeyModifiers, std::optional<std::uint64_t>(0xC0000));
        QCOMPARE(e.editor.hotkeyText()->text(), QStringLiteral("Ctrl+Alt+M"));
        QVERIFY(!e.settings().isRecordingHotkey());
        QVERIFY(!e.editor.recordingCaption()->isVisible());
        QVERIFY(e.editor.clearButton()->isVisible());
        QCOMPARE(e.editor.recordButton()->text(), QStringLiteral("Record Shortcut"));

        QTest::mouseClick(e.editor.clearButton(), Qt::LeftButton);
        QVERIFY(!e.saved().hotkeyKeyCode && !e.saved().hotkeyModifiers);
        QCOMPARE(e.editor.hotkeyText()->text(), QStringLiteral("Not set"));
    }

    void cancelEndsAHotkeyRecordingUnchanged() {
        Editor e(hotkeySnippet());
        QTest::mouseClick(e.editor.recordButton(), Qt::LeftButton);
        QTest::mouseClick(e.editor.recordButton(), Qt::LeftButton);
        QVERIFY(!e.settings().isRecordingHotkey());
        QTest::keyClick(e.editor.recordButton(), Qt::Key_M, Qt::ControlModifier);
        QVERIFY(!e.saved().hotkeyKeyCode);
    }

    void leavingHotkeyModeKeepsTheHotkey() {
        model::Snippet snippet = hotkeySnippet();
        snippet.hotkeyKeyCode = 11;
        snippet.hotkeyModifiers = 0x120000;
        Editor e(snippet);
        QCOMPARE(e.editor.hotkeyText()->text(), QStringLiteral("Shift+Super+B"));
        uitest::choose(e.editor.modePicker(), 1);
        QVERIFY(e.saved().triggerMode == TriggerMode::instant);
        QVERIFY(e.editor.shortcutField()->isVisible());
        QVERIFY(!e.editor.hotkeyText()->isVisible());
        QCOMPARE(e.saved().hotkeyKeyCode, std::optional<std::int64_t>(11));
    }

    void aStepKeyTakesOneKeyWithAnyModifiers() {
        Editor e(macroSnippet({StepType::pressKey, StepType::pressKey}));
        QCOMPARE(e.inRow<QLabel>(0, "stepKey")->text(), QStringLiteral("Not set"));
        QTest::mouseClick(e.inRow<QPushButton>(0, "stepRecord"), Qt::LeftButton);
        QVERIFY(e.settings().isRecordingHotkey());
        QCOMPARE(e.inRow<QLabel>(0, "stepKey")->text(), QStringLiteral("Press keys..."));
        QCOMPARE(e.inRow<QPushButton>(0, "stepRecord")->text(), QStringLiteral("Cancel"));

        QTest::keyClick(e.editor.replacementField(), Qt::Key_Escape);
        QCOMPARE(e.saved().macroSteps[0].keyCode, 53);
        QCOMPARE(e.saved().macroSteps[0].modifiers, std::uint64_t{0});
        QCOMPARE(e.inRow<QLabel>(0, "stepKey")->text(), QStringLiteral("Escape"));
        QVERIFY(!e.settings().isRecordingHotkey());

        // Record on the second step while the first records: the first ends unchanged.
        QTest::mouseClick(e.inRow<QPushButton>(0, "stepRecord"), Qt::LeftButton);
        QTest::mouseClick(e.inRow<QPushButton>(1, "stepRecord"), Qt::LeftButton);
        QCOMPARE(e.editor.recorder().recordingStepId(), e.saved().macroSteps[1].id);
        QTest::keyClick(e.editor.replacementField(), Qt::Key_C, Qt::MetaModifier);
        QCOMPARE(e.saved().macroSteps[0].keyCode, 53);
        QCOMPARE(e.saved().macroSteps[1].keyCode, 8);
        QCOMPARE(e.saved().macroSteps[1].modifiers, std::uint64_t{0x100000});
        QCOMPARE(e.inRow<QLabel>(1, "stepKey")->text(), QStringLiteral("Super+C"));
    }

    void recordShortcutEndsAStepRecordingFirst() {
        model::Snippet snippet = macroSnippet({StepType::pressKey});
        snippet.triggerMode = TriggerMode::hotkey;
        Editor e(snippet);
        QTest::mouseClick(e.inRow<QPushButton>(0, "stepRecord"), Qt::LeftButton);
        QTest::mouseClick(e.editor.recordButton(), Qt::LeftButton);
        QVERIFY(e.editor.recorder().isRecordingHotkey());
        QCOMPARE(e.inRow<QLabel>(0, "stepKey")->text(), QStringLiteral("Not set"));
        QTest::keyClick(e.editor.recordButton(), Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(e.saved().hotkeyKeyCode, std::optional<std::int64_t>(40));
        QCOMPARE(e.saved().macroSteps[0].keyCode, 0);
        QVERIFY(!e.settings().isRecordingHotkey());
    }

    void switchingToTextDropsTheSteps() {
        Editor e(macroSnippet({StepType::typeText, StepType::wait}));
        QCOMPARE(e.editor.outputPicker()->currentIndex(), 1);
        QVERIFY(!e.editor.replacementField()->isVisible());
        uitest::choose(e.editor.outputPicker(), 0);
        QVERIFY(e.saved().macroSteps.empty());
        QVERIFY(e.editor.replacementField()->isVisible());
        QCOMPARE(e.editor.replacementField()->toPlainText(), QStringLiteral("kept"));
        uitest::choose(e.editor.outputPicker(), 1);
        QVERIFY(e.editor.steps()->rows().empty());
        QVERIFY(e.editor.steps()->findChild<QLabel*>(QStringLiteral("noSteps"))->isVisible());
    }

    void stepRowsMoveOnlyWithinTheListAndDeleteByButton() {
        Editor e(macroSnippet({StepType::typeText, StepType::pressKey, StepType::wait}));
        const auto ids = [&] {
            std::vector<model::Uuid> result;
            for (const auto& step : e.saved().macroSteps) {
                result.push_back(step.id);
            }
            return result;
        };
        const std::vector<model::Uuid> start = ids();
        struct Arrows {
            bool up, down;
        };
        const Arrows expected[] = {{false, true}, {true, true}, {true, false}};
        for (std::size_t i = 0; i < 3; ++i) {
            QCOMPARE(e.inRow<QToolButton>(i, "moveUp")->isEnabled(), expected[i].up);
            QCOMPARE(e.inRow<QToolButton>(i, "moveDown")->isEnabled(), expected[i].down);
        }
        QTest::mouseClick(e.inRow<QToolButton>(0, "moveDown"), Qt::LeftButton);
        QCOMPARE(ids(), (std::vector<model::Uuid>{start[1], start[0], start[2]}));
        QTest::mouseClick(e.inRow<QToolButton>(2, "moveUp"), Qt::LeftButton);
        QCOMPARE(ids(), (std::vector<model::Uuid>{start[1], start[2], start[0]}));
        QTest::mouseClick(e.inRow<QToolButton>(1, "deleteStep"), Qt::LeftButton);
        QCOMPARE(ids(), (std::vector<model::Uuid>{start[1], start[0]}));
        QTest::mouseClick(e.inRow<QToolButton>(0, "deleteStep"), Qt::LeftButton);
        QCOMPARE(ids(), std::vector<model::Uuid>{start[0]});
        QVERIFY(!e.inRow<QToolButton>(0, "moveUp")->isEnabled());
        QVERIFY(!e.inRow<QToolButton>(0, "moveDown")->isEnabled());
    }

    void aWaitStepTakesAnIntegerOfTheLocale() {
        Editor e(macroSnippet({StepType::wait}));
        auto* field = e.inRow<QLineEdit>(0, "stepMilliseconds");
        QCOMPARE(field->placeholderText(), QStringLiteral("200"));
        QCOMPARE(field->text(), QStringLiteral("200"));
        struct Case {
            QString typed;
            std::int64_t stored;
        };
        const Case cases[] = {{QStringLiteral("150"), 150},
                              {QStringLiteral("abc"), 150},
                              {QStringLiteral("-5"), -5},
                              {QStringLiteral("1,500"), 1500}};
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        for (const Case& c : cases) {
            field = e.inRow<QLineEdit>(0, "stepMilliseconds");
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, c.typed);
            QTest::keyClick(field, Qt::Key_Return);
            QCOMPARE(e.saved().macroSteps[0].milliseconds, c.stored);
        }
        QLocale::setDefault(QLocale::system());
    }

    void aTypeTextStepEditsItsText() {
        Editor e(macroSnippet({StepType::typeText}));
        auto* field = e.inRow<QLineEdit>(0, "stepText");
        QCOMPARE(field->placeholderText(), QStringLiteral("Text to type"));
        QTest::keyClicks(field, QStringLiteral("hello"));
        QCOMPARE(e.saved().macroSteps[0].text, std::string("hello"));
    }

    void anAppIsListedOnce() {
        Editor e(model::Snippet::make());
        e.editor.setAppChooser([](auto done) { done(std::string("Gedit")); });
        QCOMPARE(e.editor.allowedAppsBox()->findChild<QLabel*>()->text(),
                 QStringLiteral("All apps (no restriction)"));
        QCOMPARE(e.editor.blockedAppsBox()->findChild<QLabel*>()->text(),
                 QStringLiteral("No blocked apps"));
        QTest::mouseClick(e.editor.addAllowedAppButton(), Qt::LeftButton);
        QTest::mouseClick(e.editor.addAllowedAppButton(), Qt::LeftButton);
        QTest::mouseClick(e.editor.addBlockedAppButton(), Qt::LeftButton);
        QCOMPARE(e.saved().allowedApps, std::vector<std::string>{"Gedit"});
        QCOMPARE(e.saved().blockedApps, std::vector<std::string>{"Gedit"});
        QCOMPARE(e.editor.allowedAppsBox()->findChild<QLabel*>(QStringLiteral("appId"))->text(),
                 QStringLiteral("Gedit"));

        QTest::mouseClick(
            e.editor.allowedAppsBox()->findChild<QToolButton*>(QStringLiteral("removeApp")),
            Qt::LeftButton);
        QVERIFY(e.saved().allowedApps.empty());
        QCOMPARE(e.saved().blockedApps, std::vector<std::string>{"Gedit"});
    }

    void theEnabledSwitchAndTheReplacementReachTheStore() {
        Editor e(model::Snippet::make());
        QTest::mouseClick(e.editor.enabledSwitch(), Qt::LeftButton);
        QVERIFY(!e.saved().isEnabled);
        QTest::keyClicks(e.editor.replacementField(), QStringLiteral("ab"));
        QCOMPARE(e.saved().replacement, std::string("ab"));
    }

    void closingTheWindowOrLeavingTheTabEndsARecording() {
        uitest::Desktop desktop;
        auto& d = desktop.delegate();
        ui::SettingsView window(d.snippetStore(), d.settings(), d.permissionsManager(),
                                d.services().keyboardLayout, d.services().workspace);
        window.show();
        auto* page = qobject_cast<ui::SnippetListView*>(window.tabs()->widget(0));
        QVERIFY(page);
        page->setSelection({d.snippetStore().snippets()[2].id});
        SnippetEditorView* editor = page->editor();

        QTest::mouseClick(editor->recordButton(), Qt::LeftButton);
        QVERIFY(d.settings().isRecordingHotkey());
        window.showTab(ui::SettingsView::Tab::general);
        QVERIFY(!d.settings().isRecordingHotkey());

        window.showTab(ui::SettingsView::Tab::snippets);
        QTest::mouseClick(editor->recordButton(), Qt::LeftButton);
        QVERIFY(d.settings().isRecordingHotkey());
        window.close();
        QVERIFY(!d.settings().isRecordingHotkey());
        QVERIFY(!editor->recorder().isRecording());
        // Keys go to the controls again.
        QTest::keyClick(editor->recordButton(), Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(d.snippetStore().snippets()[2].hotkeyKeyCode, std::optional<std::int64_t>(46));
        QCOMPARE(d.snippetStore().snippets()[2].hotkeyModifiers,
                 std::optional<std::uint64_t>(0xC0000));
    }
};

QUILLO_UI_TEST(SnippetEditorViewTest);
#include "SnippetEditorViewTest.moc"
