#include "ui/NewSnippetSheet.h"

#include "SnippetWindows.h"

#include <QApplication>

using namespace quillo;

namespace {

struct Sheet : uitest::Desktop {
    ui::NewSnippetSheet sheet{store(), settings(), delegate().services().keyboardLayout};
    Sheet() { sheet.show(); }
};

} // namespace

class NewSnippetSheetTest : public QObject {
    Q_OBJECT
  private slots:
    void addIsEnabledByAReplacementOrAStep() {
        Sheet s;
        QVERIFY(!s.sheet.addButton()->isEnabled());
        QTest::keyClicks(s.sheet.replacementField(), QStringLiteral(" "));
        QVERIFY2(s.sheet.addButton()->isEnabled(), "a replacement of a space is not empty");

        uitest::choose(s.sheet.outputPicker(), 1);
        QVERIFY(!s.sheet.addButton()->isEnabled());
        uitest::addStep(s.sheet.steps(), QStringLiteral("Wait (ms)"));
        QVERIFY(s.sheet.addButton()->isEnabled());
        QCOMPARE(s.sheet.snippet().macroSteps.at(0).milliseconds, 200);

        // Back to Text: the steps are thrown away, the replacement is still there.
        uitest::choose(s.sheet.outputPicker(), 0);
        QVERIFY(s.sheet.snippet().macroSteps.empty());
        QCOMPARE(s.sheet.replacementField()->toPlainText(), QStringLiteral(" "));
        QVERIFY(s.sheet.addButton()->isEnabled());
        uitest::choose(s.sheet.outputPicker(), 1);
        QVERIFY(s.sheet.steps()->rows().empty());
        QVERIFY(!s.sheet.addButton()->isEnabled());
    }

    void returnAddsTheSnippetAtTheEndAndEscapeNothing() {
        Sheet s;
        QTest::keyClicks(s.sheet.shortcutField(), QStringLiteral("brb"));
        QTest::keyClick(s.sheet.shortcutField(), Qt::Key_Return);
        QVERIFY(s.sheet.isVisible()); // nothing to type yet
        QTest::keyClicks(s.sheet.replacementField(), QStringLiteral("Be right back"));
        QTest::keyClick(s.sheet.shortcutField(), Qt::Key_Return);
        QCOMPARE(s.store().snippets().size(), std::size_t{4});
        const model::Snippet& added = s.store().snippets().back();
        QCOMPARE(added.shortcut, std::string("brb"));
        QCOMPARE(added.replacement, std::string("Be right back"));
        QVERIFY(added.triggerMode == model::Snippet::TriggerMode::afterDelimiter);
        QVERIFY(!s.sheet.isVisible());

        Sheet other;
        QTest::keyClicks(other.sheet.replacementField(), QStringLiteral("text"));
        QTest::keyClick(other.sheet.replacementField(), Qt::Key_Escape);
        QVERIFY(!other.sheet.isVisible());
        QCOMPARE(other.store().snippets().size(), std::size_t{3});
    }

    // A recorded Return is the step's key, not the sheet's "Add"; Cancel ends a recording.
    void aStepKeyIsRecordedInTheSheet() {
        Sheet s;
        uitest::choose(s.sheet.outputPicker(), 1);
        uitest::addStep(s.sheet.steps(), QStringLiteral("Press Key"));
        // Recording a key keeps the step's row.
        auto* record = s.sheet.steps()->rows().at(0)->findChild<QPushButton*>("stepRecord");
        QTest::mouseClick(record, Qt::LeftButton);
        QTest::keyClick(s.sheet.addButton(), Qt::Key_Return, Qt::ControlModifier);
        QVERIFY(s.sheet.isVisible());
        QCOMPARE(s.sheet.snippet().macroSteps[0].keyCode, 36);
        QCOMPARE(s.sheet.snippet().macroSteps[0].modifiers, std::uint64_t{0x40000});
        QVERIFY(!s.settings().isRecordingHotkey());
        QTest::mouseClick(record, Qt::LeftButton);
        QVERIFY(s.settings().isRecordingHotkey());
        QTest::mouseClick(s.sheet.cancelButton(), Qt::LeftButton);
        QVERIFY(!s.settings().isRecordingHotkey());
        QVERIFY(!s.sheet.recorder().isRecording());
        QCOMPARE(s.store().snippets().size(), std::size_t{3});
    }

    // Return starts a line in the replacement; Ctrl+Return adds from anywhere. The sheet opens in
    // the shortcut field and does not resize while the user types.
    void theSheetAddsOnlyWhatWasWritten() {
        Sheet s;
        uitest::activate(s.sheet);
        QCOMPARE(QApplication::focusWidget(), s.sheet.shortcutField());
        QTest::keyClicks(s.sheet.shortcutField(), QStringLiteral("sig"));
        const int height = s.sheet.height();
        QTest::keyClicks(s.sheet.replacementField(), QStringLiteral("Best regards,"));
        QCOMPARE(s.sheet.height(), height);
        QTest::keyClick(s.sheet.replacementField(), Qt::Key_Return);
        QTest::keyClicks(s.sheet.replacementField(), QStringLiteral("Ann"));
        QVERIFY(s.sheet.isVisible());
        QTest::keyClick(s.sheet.shortcutField(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(s.store().snippets().back().replacement, std::string("Best regards,\nAnn"));
    }
};

QUILLO_UI_TEST(NewSnippetSheetTest);
#include "NewSnippetSheetTest.moc"
