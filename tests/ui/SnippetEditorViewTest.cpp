#include "ui/SnippetEditorView.h"

#include "SnippetWindows.h"
#include "ui/AppPicker.h"

#include <QKeyEvent>
#include <QListWidget>

using namespace quillo;
using ui::SnippetEditorView;
using TriggerMode = model::Snippet::TriggerMode;
using StepType = model::MacroStep::StepType;

namespace {

// An editor on the simulated desktop, showing a snippet that was added to the store.
struct Editor : uitest::Desktop {
    SnippetEditorView editor{store(), settings(), delegate().services().keyboardLayout,
                             delegate().services().workspace};
    model::Uuid id;

    explicit Editor(model::Snippet snippet, std::initializer_list<StepType> steps = {})
        : id(snippet.id) {
        for (const StepType type : steps) {
            snippet.macroSteps.push_back(model::MacroStep::make(type));
        }
        store().add(std::move(snippet));
        editor.setSnippet(store().snippets().back());
        editor.resize(460, 700);
        editor.show();
    }
    model::Snippet saved() { return *uitest::stored(store(), id); }
    template <typename T>
    T* inRow(std::size_t i, const char* name) {
        return editor.steps()->rows().at(i)->findChild<T*>(QString::fromLatin1(name));
    }
};

// A German layout: the key right of T (X key code 29) types "z" but is the Y key's place (16).
class GermanLayout final : public platform::KeyboardLayout {
  public:
    std::u16string textForKey(platform::KeyCode) const override { return {}; }
    std::optional<platform::KeyCode> keyForNativeCodes(std::uint32_t scanCode,
                                                       std::uint32_t) const override {
        return scanCode == 29 ? std::optional<platform::KeyCode>(16) : std::nullopt;
    }
};

model::Snippet hotkeySnippet() {
    return {.id = model::Uuid::random(), .replacement = "kept", .triggerMode = TriggerMode::hotkey};
}

} // namespace

class SnippetEditorViewTest : public QObject {
    Q_OBJECT
  private slots:
    void aPressIsToldByTheLayoutOrByItsUsPlace() {
        uitest::Desktop desktop;
        GermanLayout layout;
        ui::KeyRecorder german(desktop.settings(), layout);
        // Qt's key, modifiers and native scan code; the key code and flags recorded.
        const std::tuple<int, Qt::KeyboardModifiers, std::uint32_t, platform::KeyCode,
                         platform::EventFlags>
            cases[] = {
                {Qt::Key_B, Qt::ShiftModifier | Qt::MetaModifier, 0, 11, 0x120000},
                // Shift+1 arrives as "!" and is still the 1 key.
                {Qt::Key_Exclam, Qt::ShiftModifier, 0, 18, 0x20000},
                {Qt::Key_Left, Qt::KeypadModifier, 0, 123, 0},
                {Qt::Key_F1, Qt::GroupSwitchModifier, 0, 122, 0},
                {Qt::Key_Z, Qt::ControlModifier, 29, 16, 0x40000},
                // What the backend cannot tell, and synthetic presses, fall back to Qt's name.
                {Qt::Key_Z, Qt::ControlModifier, 200, 6, 0x40000},
            };
        for (const auto& [qtKey, modifiers, scanCode, keyCode, flags] : cases) {
            const auto key =
                german.recordedKey(QKeyEvent(QEvent::KeyPress, qtKey, modifiers, scanCode, 0, 0));
            QVERIFY(key.has_value());
            QCOMPARE(key->keyCode, keyCode);
            QCOMPARE(key->modifiers, flags);
        }
        for (const int qtKey : {Qt::Key_Control, Qt::Key_Shift, Qt::Key_Alt, Qt::Key_Meta,
                                Qt::Key_CapsLock, Qt::Key_Super_L, Qt::Key_AltGr}) {
            QVERIFY(!german.recordedKey(QKeyEvent(QEvent::KeyPress, qtKey, Qt::ControlModifier)));
        }
        // Destroying a recorder ends its recording.
        {
            ui::KeyRecorder recording(desktop.settings(), layout);
            recording.startStep(model::Uuid::random(), [](ui::RecordedKey) {});
            QVERIFY(desktop.settings().isRecordingHotkey());
        }
        QVERIFY(!desktop.settings().isRecordingHotkey());
    }
    void aHotkeyNeedsAModifierAndIsStoredInTheFourBits() {
        model::Snippet snippet = hotkeySnippet();
        snippet.hotkeyKeyCode = 11;
        snippet.hotkeyModifiers = 0x120000;
        Editor e(snippet);
        QCOMPARE(e.editor.hotkeyText()->text(), QStringLiteral("Shift+Super+B"));
        // Leaving hotkey mode keeps the hotkey.
        uitest::choose(e.editor.modePicker(), 1);
        QVERIFY(e.saved().triggerMode == TriggerMode::instant);
        QVERIFY(e.editor.shortcutField()->isVisible() && !e.editor.hotkeyText()->isVisible());
        QCOMPARE(e.saved().hotkeyKeyCode, std::optional<std::int64_t>(11));
        uitest::choose(e.editor.modePicker(), 2);
        QTest::mouseClick(e.editor.clearButton(), Qt::LeftButton);
        QVERIFY(!e.saved().hotkeyKeyCode && !e.saved().hotkeyModifiers);
        QCOMPARE(e.editor.hotkeyText()->text(), QStringLiteral("Not set"));
        QVERIFY(!e.editor.clearButton()->isVisible());

        QTest::mouseClick(e.editor.recordButton(), Qt::LeftButton);
        QCOMPARE(e.editor.recordButton()->text(), QStringLiteral("Cancel"));
        QVERIFY(e.editor.recordingCaption()->isVisible());
        // A plain key and Caps Lock are swallowed: nothing is stored, the recording goes on.
        QTest::keyClick(e.editor.recordButton(), Qt::Key_M);
        QTest::keyClick(e.editor.recordButton(), Qt::Key_Escape);
        QTest::keyClick(e.editor.recordButton(), Qt::Key_CapsLock);
        QVERIFY(!e.saved().hotkeyKeyCode);
        QVERIFY(e.settings().isRecordingHotkey());

        // The search window's hotkey is taken.
        QTest::keyClick(e.editor.recordButton(), Qt::Key_Space,
                        Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(e.editor.recordingCaption()->text(),
                 QStringLiteral("Ctrl+Alt+Space opens the search window; choose another."));
        QVERIFY(!e.saved().hotkeyKeyCode && e.settings().isRecordingHotkey());

        // With Caps Lock on the letter comes upper case; the stored mask is Control | Option.
        QTest::keyClick(e.editor.recordButton(), 'M', Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(e.saved().hotkeyKeyCode, std::optional<std::int64_t>(46));
        QCOMPARE(e.saved().hotkeyModifiers, std::optional<std::uint64_t>(0xC0000));
        QCOMPARE(e.editor.hotkeyText()->text(), QStringLiteral("Ctrl+Alt+M"));
        QVERIFY(!e.settings().isRecordingHotkey());
        QVERIFY(!e.editor.recordingCaption()->isVisible() && e.editor.clearButton()->isVisible());

        // Cancel ends a recording with nothing changed.
        QTest::mouseClick(e.editor.recordButton(), Qt::LeftButton);
        QTest::mouseClick(e.editor.recordButton(), Qt::LeftButton);
        QVERIFY(!e.settings().isRecordingHotkey());
        QCOMPARE(e.saved().hotkeyKeyCode, std::optional<std::int64_t>(46));
    }

    void aStepKeyTakesOneKeyWithAnyModifiers() {
        Editor e(hotkeySnippet(), {StepType::pressKey, StepType::pressKey});
        QCOMPARE(e.inRow<QLabel>(0, "stepKey")->text(), QStringLiteral("Not set"));
        QTest::mouseClick(e.inRow<QPushButton>(0, "stepRecord"), Qt::LeftButton);
        QVERIFY(e.settings().isRecordingHotkey());
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

        // Record Shortcut ends a step recording first.
        QTest::mouseClick(e.inRow<QPushButton>(0, "stepRecord"), Qt::LeftButton);
        QTest::mouseClick(e.editor.recordButton(), Qt::LeftButton);
        QVERIFY(e.editor.recorder().isRecordingHotkey());
        QCOMPARE(e.inRow<QLabel>(0, "stepKey")->text(), QStringLiteral("Escape"));
        QTest::keyClick(e.editor.recordButton(), Qt::Key_K, Qt::ControlModifier);
        QCOMPARE(e.saved().hotkeyKeyCode, std::optional<std::int64_t>(40));
        QCOMPARE(e.saved().macroSteps[0].keyCode, 53);
        QVERIFY(!e.settings().isRecordingHotkey());
    }

    // Steps move only within the list and delete by button; back to Text drops them all.
    void stepRowsMoveAndDeleteAndTextDropsThem() {
        Editor e(hotkeySnippet(), {StepType::typeText, StepType::pressKey, StepType::wait});
        QCOMPARE(e.editor.outputPicker()->currentIndex(), 1);
        const std::vector<model::MacroStep> start = e.saved().macroSteps;
        for (std::size_t i = 0; i < 3; ++i) {
            QCOMPARE(e.inRow<QToolButton>(i, "moveUp")->isEnabled(), i > 0);
            QCOMPARE(e.inRow<QToolButton>(i, "moveDown")->isEnabled(), i < 2);
        }
        e.inRow<QToolButton>(0, "moveDown")->click();
        e.inRow<QToolButton>(2, "moveUp")->click();
        QCOMPARE(e.saved().macroSteps, (std::vector{start[1], start[2], start[0]}));
        e.inRow<QToolButton>(1, "deleteStep")->click();
        QCOMPARE(e.saved().macroSteps, (std::vector{start[1], start[0]}));

        uitest::choose(e.editor.outputPicker(), 0);
        QVERIFY(e.saved().macroSteps.empty());
        QCOMPARE(e.editor.replacementField()->toPlainText(), QStringLiteral("kept"));
        uitest::choose(e.editor.outputPicker(), 1);
        QVERIFY(e.editor.steps()->findChild<QLabel*>(QStringLiteral("noSteps"))->isVisible());
    }

    void aWaitStepTakesAnIntegerOfTheLocaleAndATextStepItsText() {
        Editor e(model::Snippet::make(), {StepType::wait, StepType::typeText});
        QTest::keyClicks(e.inRow<QLineEdit>(1, "stepText"), QStringLiteral("hello"));
        QCOMPARE(e.saved().macroSteps[1].text, std::string("hello"));
        QCOMPARE(e.inRow<QLineEdit>(0, "stepMilliseconds")->text(), QStringLiteral("200"));
        const std::pair<const char*, std::int64_t> cases[] = {
            {"150", 150}, {"abc", 150}, {"-5", -5}, {"1,500", 1500}, {"90,000", 90000}};
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        for (const auto& [typed, stored] : cases) {
            auto* field = e.inRow<QLineEdit>(0, "stepMilliseconds");
            field->setFocus();
            field->selectAll();
            QTest::keyClicks(field, QString::fromLatin1(typed));
            QTest::keyClick(field, Qt::Key_Return);
            QCOMPARE(e.saved().macroSteps[0].milliseconds, stored);
        }
        QCOMPARE(e.inRow<QLabel>(0, "stepWaitUnit")->text(),
                 QStringLiteral("ms (waits 60,000 ms, the longest)"));
        QLocale::setDefault(QLocale::system());
        // Without a shortcut the editor says the snippet never expands by typing.
        auto* note = e.editor.findChild<QLabel*>(QStringLiteral("noShortcut"));
        QVERIFY(note->isVisibleTo(&e.editor));
        QTest::keyClicks(e.editor.shortcutField(), QStringLiteral("w"));
        QVERIFY(!note->isVisibleTo(&e.editor));
    }

    // An app is listed once.
    void theOptionsTheAppsAndTheReplacementReachTheStore() {
        Editor e(model::Snippet::make());
        QTest::mouseClick(e.editor.enabledSwitch(), Qt::LeftButton);
        QVERIFY(!e.saved().isEnabled);
        QTest::keyClicks(e.editor.replacementField(), QStringLiteral("ab"));
        QCOMPARE(e.saved().replacement, std::string("ab"));
        e.editor.setAppChooser([](auto done) { done(std::string("Gedit")); });
        QCOMPARE(e.editor.allowedAppsBox()->findChild<QLabel*>()->text(),
                 QStringLiteral("All apps (no restriction)"));
        QTest::mouseClick(e.editor.addAllowedAppButton(), Qt::LeftButton);
        QTest::mouseClick(e.editor.addAllowedAppButton(), Qt::LeftButton);
        QTest::mouseClick(e.editor.addBlockedAppButton(), Qt::LeftButton);
        QCOMPARE(e.saved().allowedApps, std::vector<std::string>{"Gedit"});
        QCOMPARE(e.saved().blockedApps, std::vector<std::string>{"Gedit"});
        QCOMPARE(e.editor.blockedAppsBox()->findChild<QLabel*>(QStringLiteral("appId"))->text(),
                 QStringLiteral("Gedit"));
        QTest::mouseClick(
            e.editor.allowedAppsBox()->findChild<QToolButton*>(QStringLiteral("removeApp")),
            Qt::LeftButton);
        QVERIFY(e.saved().allowedApps.empty());
        QCOMPARE(e.saved().blockedApps, std::vector<std::string>{"Gedit"});
    }

    // Each entry shows the id it stands for; an id can be typed; a program started while the
    // chooser is open shows up, and neither the chosen entry nor a typed id is lost by it.
    void thePickerShowsAndTakesIdsAndFollowsTheOpenWindows() {
        std::vector<platform::Application> apps{{"org.gnome.TextEditor", "Text Editor", {}, false},
                                                {"XTerm", "XTerm", {}, true}};
        ui::AppPicker picker([&apps] { return apps; });
        QCOMPARE(picker.chosenId(), QString());
        QVERIFY(picker.list()->item(0)->text().contains(QStringLiteral("org.gnome.TextEditor")));
        QTest::keyClicks(picker.searchField(), QStringLiteral("xter"));
        QVERIFY(picker.list()->item(0)->isHidden());
        picker.list()->setCurrentRow(1);
        QCOMPARE(picker.chosenId(), QStringLiteral("XTerm"));

        apps.push_back({"Xed", "Xed", {}, true});
        picker.refresh();
        QCOMPARE(picker.list()->count(), 3);
        QVERIFY(picker.list()->item(2)->text().contains(QStringLiteral("(open)")));
        QVERIFY(picker.list()->item(2)->isHidden()); // the filter stays
        QCOMPARE(picker.list()->currentRow(), 1);

        picker.idField()->clear();
        QTest::keyClicks(picker.idField(), QStringLiteral(" firefox-esr "));
        apps.pop_back();
        picker.refresh();
        QCOMPARE(picker.chosenId(), QStringLiteral("firefox-esr"));
    }

    // The chooser leaves the settings window usable.
    void theChooserDoesNotBlockTheWindow() {
        Editor e(model::Snippet::make());
        QTest::mouseClick(e.editor.addAllowedAppButton(), Qt::LeftButton);
        auto* picker = e.editor.window()->findChild<ui::AppPicker*>();
        QVERIFY(picker && picker->isVisible());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QTest::keyClicks(picker->idField(), QStringLiteral("Gedit"));
        picker->accept();
        QCOMPARE(e.saved().allowedApps, std::vector<std::string>{"Gedit"});
    }

    void closingTheWindowOrLeavingTheTabEndsARecording() {
        uitest::App a;
        a.app.openSettings();
        ui::SettingsView& window = *a.app.settingsWindow();
        auto* page = qobject_cast<ui::SnippetListView*>(window.tabs()->widget(0));
        page->setSelection({a.store().snippets()[2].id});
        SnippetEditorView* editor = page->editor();

        QTest::mouseClick(editor->recordButton(), Qt::LeftButton);
        QVERIFY(a.settings().isRecordingHotkey());
        window.showTab(ui::SettingsView::Tab::general);
        QVERIFY(!a.settings().isRecordingHotkey());

        window.showTab(ui::SettingsView::Tab::snippets);
        QTest::mouseClick(editor->recordButton(), Qt::LeftButton);
        QVERIFY(a.settings().isRecordingHotkey());
        window.close();
        QVERIFY(!a.settings().isRecordingHotkey());
        QVERIFY(!editor->recorder().isRecording());
        // Keys go to the controls again.
        QTest::keyClick(editor->recordButton(), Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(a.store().snippets()[2].hotkeyModifiers, std::optional<std::uint64_t>(0xC0000));
    }

    // No-break spaces, U+2028 and tabs survive an edit; a line break is a line feed.
    void theReplacementBoxKeepsEveryCharacter() {
        model::Snippet snippet = model::Snippet::make();
        snippet.replacement = "a\u00A0b\u2028c\td\n";
        Editor e(snippet);
        uitest::activate(e.editor);
        ui::ReplacementBox* box = e.editor.replacementField();
        box->setFocus();
        box->moveCursor(QTextCursor::End);
        QTest::keyClick(box, Qt::Key_Tab);
        QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
        QTest::keyClicks(box, QStringLiteral("e"));
        QCOMPARE(e.saved().replacement, snippet.replacement + "\t\ne");
        QTest::keyClick(box, Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY2(!box->hasFocus(), "Ctrl+Tab leaves the box");
        box->setText(QStringLiteral("x\r\ny\rz"));
        QCOMPARE(box->text(), QStringLiteral("x\ny\nz"));
    }

    // Key code 0 is the A key: with a modifier it is a combination, not "Not set".
    void aControlAStepIsShown() {
        model::Snippet snippet = model::Snippet::make();
        snippet.macroSteps.assign(2, model::MacroStep::make(StepType::pressKey));
        snippet.macroSteps[0].modifiers = platform::flag::control;
        Editor e(snippet);
        QCOMPARE(e.inRow<QLabel>(0, "stepKey")->text(), QStringLiteral("Ctrl+A"));
        QCOMPARE(e.inRow<QLabel>(1, "stepKey")->text(), QStringLiteral("Not set"));
    }
};

QUILLO_UI_TEST(SnippetEditorViewTest);
#include "SnippetEditorViewTest.moc"
