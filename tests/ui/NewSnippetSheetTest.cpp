#include "ui/NewSnippetSheet.h"

#include "SnippetWindows.h"
#include "UiTest.h"
#include "ui/KeyRecorder.h"
#include "ui/MacroStepRow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace quillo;
using ui::NewSnippetSheet;
using StepType = model::MacroStep::StepType;

namespace {

struct Sheet {
    uitest::Desktop desktop;
    NewSnippetSheet sheet{desktop.delegate().snippetStore(), desktop.delegate().settings(),
                          desktop.delegate().services().keyboardLayout};
    Sheet() { sheet.show(); }
    model::SnippetStore& store() { return desktop.delegate().snippetStore(); }
    model::AppSettings& settings() { return desktop.delegate().settings(); }
};

} // namespace

class NewSnippetSheetTest : public QObject {
    Q_OBJECT
  private slots:
    void startsFromANewTextSnippet() {
        Sheet s;
        QCOMPARE(s.sheet.triggerPicker()->currentText(), QStringLiteral("After Delimiter"));
        QCOMPARE(s.sheet.triggerPicker()->count(), 3);
        QVERIFY(s.sheet.shortcutField()->isVisible());
        QCOMPARE(s.sheet.outputPicker()->currentIndex(), 0);
        QVERIFY(s.sheet.replacementField()->isVisible());
        QVERIFY(!s.sheet.steps()->isVisible());
        QVERIFY(!s.sheet.addButton()->isEnabled());
    }

    void addIsEnabledByAReplacementOrAStep() {
        Sheet s;
        QTest::keyClicks(s.sheet.replacementField(), QStringLiteral(" "));
        QVERIFY2(s.sheet.addButton()->isEnabled(), "a replacement of a space is not empty");

        uitest::choose(s.sheet.outputPicker(), 1);
        QVERIFY(!s.sheet.addButton()->isEnabled());
        QVERIFY(s.sheet.steps()->findChild<QLabel*>(QStringLiteral("noSteps"))->isVisible());
        uitest::addStep(s.sheet.steps(), QStringLiteral("Wait (ms)"));
        QVERIFY(s.sheet.addButton()->isEnabled());
        QCOMPARE(s.sheet.snippet().macroSteps.size(), std::size_t{1});
        QCOMPARE(s.sheet.snippet().macroSteps[0].milliseconds, 200);

        // Back to Text: the steps are thrown away, the replacement is still there.
        uitest::choose(s.sheet.outputPicker(), 0);
        QVERIFY(s.sheet.snippet().macroSteps.empty());
        QCOMPARE(s.sheet.replacementField()->toPlainText(), QStringLiteral(" "));
        QVERIFY(s.sheet.addButton()->isEnabled());
        uitest::choose(s.sheet.outputPicker(), 1);
        QVERIFY(s.sheet.steps()->rows().empty());
        QVERIFY(!s.sheet.addButton()->isEnabled());
    }

    void returnAddsTheSnippetAtTheEnd() {
        Sheet s;
        QTest::keyClicks(s.sheet.shortcutField(), QStringLiteral("brb"));
        QTest::keyClick(s.sheet.shortcutField(), Qt::Key_Return);
        QCOMPARE(s.store().snippets().size(), std::size_t{3});
        QVERIFY(s.sheet.isVisible());

        QTest::keyClicks(s.sheet.replacementField(), QStringLiteral("Be right back"));
        QTest::keyClick(s.sheet.shortcutField(), Qt::Key_Return);
        QCOMPARE(s.store().snippets().size(), std::size_t{4});
        const model::Snippet& added = s.store().snippets().back();
        QCOMPARE(added.shortcut, std::string("brb"));
        QCOMPARE(added.replacement, std::string("Be right back"));
        QVERIFY(added.triggerMode == model::Snippet::TriggerMode::afterDelimiter);
        QVERIFY(added.isEnabled);
        QVERIFY(!s.sheet.isVisible());
    }

    void escapeAddsNothing() {
        Sheet s;
        QTest::keyClicks(s.sheet.replacementField(), QStringLiteral("text"));
        QTest::keyClick(s.sheet.replacementField(), Qt::Key_Escape);
        QVERIFY(!s.sheet.isVisible());
        QCOMPARE(s.store().snippets().size(), std::size_t{3});
    }

    void aHotkeySnippetIsAddedWithoutAHotkey() {
        Sheet s;
        QTest::keyClicks(s.sheet.shortcutField(), QStringLiteral("kept"));
        s.sheet.triggerPicker()->setCurrentIndex(2);
        emit s.sheet.triggerPicker()->activated(2);
        QVERIFY(!s.sheet.shortcutField()->isVisible());
        QTest::keyClicks(s.sheet.replacementField(), QStringLiteral("x"));
        QTest::mouseClick(s.sheet.addButton(), Qt::LeftButton);
        const model::Snippet& added = s.store().snippets().back();
        QVERIFY(added.triggerMode == model::Snippet::TriggerMode::hotkey);
        QCOMPARE(added.shortcut, std::string("kept"));
        QVERIFY(!added.hotkeyKeyCode && !added.hotkeyModifiers);
    }

    void aStepRecordingEndsWithCancel() {
        Sheet s;
        uitest::choose(s.sheet.outputPicker(), 1);
        uitest::addStep(s.sheet.steps(), QStringLiteral("Press Key"));
        ui::MacroStepRow* row = s.sheet.steps()->rows().at(0);
        QTest::mouseClick(row->findChild<QPushButton*>(QStringLiteral("stepRecord")),
                          Qt::LeftButton);
        QVERIFY(s.settings().isRecordingHotkey());
        QCOMPARE(row->findChild<QLabel*>(QStringLiteral("stepKey"))->text(),
                 QStringLiteral("Press keys..."));

        QTest::mouseClick(s.sheet.cancelButton(), Qt::LeftButton);
        QVERIFY(!s.settings().isRecordingHotkey());
        QVERIFY(!s.sheet.recorder().isRecording());
        QCOMPARE(s.store().snippets().size(), std::size_t{3});
    }

    void aStepKeyIsRecordedInTheSheetAndReturnDoesNotAdd() {
        Sheet s;
        uitest::choose(s.sheet.outputPicker(), 1);
        uitest::addStep(s.sheet.steps(), QStringLiteral("Press Key"));
        ui::MacroStepRow* row = s.sheet.steps()->rows().at(0);
        QTest::mouseClick(row->findChild<QPushButton*>(QStringLiteral("stepRecord")),
                          Qt::LeftButton);
        // The recorded Return is the step's key, not the sheet's "Add".
        QTest::keyClick(s.sheet.addButton(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(s.sheet.isVisible());
        QCOMPARE(s.sheet.snippet().macroSteps[0].keyCode, 36);
        QCOMPARE(s.sheet.snippet().macroSteps[0].modifiers, std::uint64_t{0x40000});
        QVERIFY(!s.settings().isRecordingHotkey());
        QCOMPARE(
            s.sheet.steps()->rows().at(0)->findChild<QLabel*>(QStringLiteral("stepKey"))->text(),
            QStringLiteral("Ctrl+Return"));
    }
};

QUILLO_UI_TEST(NewSnippetSheetTest);
#include "NewSnippetSheetTest.moc"
