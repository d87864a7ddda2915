#include "ui/KeyRecorder.h"

#include "UiTest.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>

using namespace quillo;
using ui::KeyRecorder;
using ui::RecordedKey;

namespace {

// A German layout: the key right of T (X key code 29) types "z" but is the Y key's place (16).
class GermanLayout final : public platform::KeyboardLayout {
  public:
    std::u16string textForKey(platform::KeyCode) const override { return {}; }
    std::optional<platform::KeyCode> keyForNativeCodes(std::uint32_t scanCode,
                                                       std::uint32_t) const override {
        return scanCode == 29 ? std::optional<platform::KeyCode>(16) : std::nullopt;
    }
};

} // namespace

class KeyRecorderTest : public QObject {
    Q_OBJECT

    std::optional<RecordedKey> keyOf(int qtKey, Qt::KeyboardModifiers modifiers,
                                     std::uint32_t scanCode = 0, std::uint32_t keySym = 0) {
        const QKeyEvent event(QEvent::KeyPress, qtKey, modifiers, scanCode, keySym, 0);
        return german_.recordedKey(event);
    }

    uitest::Desktop desktop_;
    GermanLayout layout_;
    KeyRecorder german_{desktop_.delegate().settings(), layout_};

  private slots:
    void withoutANativeCodeTheKeyIsToldByItsUsPlace() {
        struct Case {
            int qtKey;
            Qt::KeyboardModifiers modifiers;
            platform::KeyCode keyCode;
            platform::EventFlags flags;
        };
        const Case cases[] = {
            {Qt::Key_M, Qt::ControlModifier | Qt::AltModifier, 46, 0xC0000},
            {Qt::Key_B, Qt::ShiftModifier | Qt::MetaModifier, 11, 0x120000},
            // Shift+1 arrives as "!" and is still the 1 key.
            {Qt::Key_Exclam, Qt::ShiftModifier, 18, 0x20000},
            {Qt::Key_Return, Qt::NoModifier, 36, 0},
            {Qt::Key_Escape, Qt::NoModifier, 53, 0},
            {Qt::Key_Left, Qt::KeypadModifier, 123, 0},
            {Qt::Key_F1, Qt::GroupSwitchModifier, 122, 0},
        };
        for (const Case& c : cases) {
            const auto key = keyOf(c.qtKey, c.modifiers);
            QVERIFY(key.has_value());
            QCOMPARE(key->keyCode, c.keyCode);
            QCOMPARE(key->modifiers, c.flags);
        }
    }

    void modifierKeysAloneAreNoKey() {
        for (const int qtKey : {Qt::Key_Control, Qt::Key_Shift, Qt::Key_Alt, Qt::Key_Meta,
                                Qt::Key_CapsLock, Qt::Key_Super_L, Qt::Key_AltGr}) {
            QVERIFY(!keyOf(qtKey, Qt::ControlModifier));
        }
    }

    void theLayoutTellsTheKeyOfANativePress() {
        QCOMPARE(keyOf(Qt::Key_Z, Qt::ControlModifier, 29)->keyCode, platform::KeyCode{16});
        // What the backend cannot tell, and synthetic presses, fall back to Qt's name.
        QCOMPARE(keyOf(Qt::Key_Z, Qt::ControlModifier, 200)->keyCode, platform::KeyCode{6});
        QCOMPARE(keyOf(Qt::Key_Z, Qt::ControlModifier, 0)->keyCode, platform::KeyCode{6});
    }

    void aRecordingSwallowsKeysAndHoldsTheEngine() {
        uitest::Desktop desktop;
        auto& settings = desktop.delegate().settings();
        QLineEdit field;
        field.show();
        KeyRecorder recorder(settings, desktop.delegate().services().keyboardLayout);
        std::vector<RecordedKey> heard;
        recorder.startHotkey([&](RecordedKey key) { heard.push_back(key); });
        QVERIFY(settings.isRecordingHotkey());
        QTest::keyClicks(&field, QStringLiteral("ab"));
        QCOMPARE(field.text(), QString());
        QVERIFY(heard.empty());
        QTest::keyClick(&field, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(heard.size(), std::size_t{1});
        QVERIFY(!recorder.isRecording());
        QVERIFY(!settings.isRecordingHotkey());
        QTest::keyClicks(&field, QStringLiteral("ab"));
        QCOMPARE(field.text(), QStringLiteral("ab"));

        // Destroying a recorder ends its recording.
        {
            KeyRecorder other(settings, desktop.delegate().services().keyboardLayout);
            other.startStep(model::Uuid::random(), [](RecordedKey) {});
            QVERIFY(settings.isRecordingHotkey());
        }
        QVERIFY(!settings.isRecordingHotkey());
        QTest::keyClicks(&field, QStringLiteral("c"));
        QCOMPARE(field.text(), QStringLiteral("abc"));
    }
};

QUILLO_UI_TEST(KeyRecorderTest);
#include "KeyRecorderTest.moc"
