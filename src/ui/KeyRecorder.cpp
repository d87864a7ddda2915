#include "ui/KeyRecorder.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <array>
#include <utility>

namespace quillo::ui {

namespace {

// Qt's key names, shifted symbols included, at their place on a US keyboard.
struct QtKey {
    int qtKey;
    platform::KeyCode macKey;
};
constexpr std::array qtKeys{
    QtKey{Qt::Key_A, 0},
    QtKey{Qt::Key_S, 1},
    QtKey{Qt::Key_D, 2},
    QtKey{Qt::Key_F, 3},
    QtKey{Qt::Key_H, 4},
    QtKey{Qt::Key_G, 5},
    QtKey{Qt::Key_Z, 6},
    QtKey{Qt::Key_X, 7},
    QtKey{Qt::Key_C, 8},
    QtKey{Qt::Key_V, 9},
    QtKey{Qt::Key_B, 11},
    QtKey{Qt::Key_Q, 12},
    QtKey{Qt::Key_W, 13},
    QtKey{Qt::Key_E, 14},
    QtKey{Qt::Key_R, 15},
    QtKey{Qt::Key_Y, 16},
    QtKey{Qt::Key_T, 17},
    QtKey{Qt::Key_1, 18},
    QtKey{Qt::Key_Exclam, 18},
    QtKey{Qt::Key_2, 19},
    QtKey{Qt::Key_At, 19},
    QtKey{Qt::Key_3, 20},
    QtKey{Qt::Key_NumberSign, 20},
    QtKey{Qt::Key_4, 21},
    QtKey{Qt::Key_Dollar, 21},
    QtKey{Qt::Key_6, 22},
    QtKey{Qt::Key_AsciiCircum, 22},
    QtKey{Qt::Key_5, 23},
    QtKey{Qt::Key_Percent, 23},
    QtKey{Qt::Key_Equal, 24},
    QtKey{Qt::Key_Plus, 24},
    QtKey{Qt::Key_9, 25},
    QtKey{Qt::Key_ParenLeft, 25},
    QtKey{Qt::Key_7, 26},
    QtKey{Qt::Key_Ampersand, 26},
    QtKey{Qt::Key_Minus, 27},
    QtKey{Qt::Key_Underscore, 27},
    QtKey{Qt::Key_8, 28},
    QtKey{Qt::Key_Asterisk, 28},
    QtKey{Qt::Key_0, 29},
    QtKey{Qt::Key_ParenRight, 29},
    QtKey{Qt::Key_BracketRight, 30},
    QtKey{Qt::Key_BraceRight, 30},
    QtKey{Qt::Key_O, 31},
    QtKey{Qt::Key_U, 32},
    QtKey{Qt::Key_BracketLeft, 33},
    QtKey{Qt::Key_BraceLeft, 33},
    QtKey{Qt::Key_I, 34},
    QtKey{Qt::Key_P, 35},
    QtKey{Qt::Key_Return, 36},
    QtKey{Qt::Key_L, 37},
    QtKey{Qt::Key_J, 38},
    QtKey{Qt::Key_Apostrophe, 39},
    QtKey{Qt::Key_QuoteDbl, 39},
    QtKey{Qt::Key_K, 40},
    QtKey{Qt::Key_Semicolon, 41},
    QtKey{Qt::Key_Colon, 41},
    QtKey{Qt::Key_Backslash, 42},
    QtKey{Qt::Key_Bar, 42},
    QtKey{Qt::Key_Comma, 43},
    QtKey{Qt::Key_Less, 43},
    QtKey{Qt::Key_Slash, 44},
    QtKey{Qt::Key_Question, 44},
    QtKey{Qt::Key_N, 45},
    QtKey{Qt::Key_M, 46},
    QtKey{Qt::Key_Period, 47},
    QtKey{Qt::Key_Greater, 47},
    QtKey{Qt::Key_Tab, 48},
    QtKey{Qt::Key_Backtab, 48},
    QtKey{Qt::Key_Space, 49},
    QtKey{Qt::Key_QuoteLeft, 50},
    QtKey{Qt::Key_AsciiTilde, 50},
    QtKey{Qt::Key_Backspace, 51},
    QtKey{Qt::Key_Escape, 53},
    QtKey{Qt::Key_Enter, 76},
    QtKey{Qt::Key_F5, 96},
    QtKey{Qt::Key_F6, 97},
    QtKey{Qt::Key_F7, 98},
    QtKey{Qt::Key_F3, 99},
    QtKey{Qt::Key_F8, 100},
    QtKey{Qt::Key_F9, 101},
    QtKey{Qt::Key_F11, 103},
    QtKey{Qt::Key_F13, 105},
    QtKey{Qt::Key_F16, 106},
    QtKey{Qt::Key_F14, 107},
    QtKey{Qt::Key_F10, 109},
    QtKey{Qt::Key_F12, 111},
    QtKey{Qt::Key_F15, 113},
    QtKey{Qt::Key_Help, 114},
    QtKey{Qt::Key_Insert, 114},
    QtKey{Qt::Key_Home, 115},
    QtKey{Qt::Key_PageUp, 116},
    QtKey{Qt::Key_Delete, 117},
    QtKey{Qt::Key_F4, 118},
    QtKey{Qt::Key_End, 119},
    QtKey{Qt::Key_F2, 120},
    QtKey{Qt::Key_PageDown, 121},
    QtKey{Qt::Key_F1, 122},
    QtKey{Qt::Key_Left, 123},
    QtKey{Qt::Key_Right, 124},
    QtKey{Qt::Key_Down, 125},
    QtKey{Qt::Key_Up, 126},
};

bool isModifierOnly(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

platform::EventFlags modifierFlags(Qt::KeyboardModifiers modifiers) {
    // Qt names Super "Meta" on Linux; Caps Lock is no Qt modifier at all, so it drops out here.
    platform::EventFlags flags = 0;
    if (modifiers & Qt::ControlModifier) {
        flags |= platform::flag::control;
    }
    if (modifiers & Qt::AltModifier) {
        flags |= platform::flag::option;
    }
    if (modifiers & Qt::ShiftModifier) {
        flags |= platform::flag::shift;
    }
    if (modifiers & Qt::MetaModifier) {
        flags |= platform::flag::command;
    }
    return flags;
}

} // namespace

std::optional<RecordedKey> KeyRecorder::recordedKey(const QKeyEvent& event) const {
    if (isModifierOnly(event.key())) {
        return std::nullopt;
    }
    const platform::EventFlags modifiers = modifierFlags(event.modifiers());
    if (event.nativeScanCode() != 0) {
        if (const auto keyCode = keyboardLayout_.keyForNativeCodes(event.nativeScanCode(),
                                                                   event.nativeVirtualKey())) {
            return RecordedKey{*keyCode, modifiers};
        }
    }
    for (const QtKey& entry : qtKeys) {
        if (entry.qtKey == event.key()) {
            return RecordedKey{entry.macKey, modifiers};
        }
    }
    return std::nullopt;
}

KeyRecorder::KeyRecorder(model::AppSettings& settings,
                         const platform::KeyboardLayout& keyboardLayout, QObject* parent)
    : QObject(parent), settings_(settings), keyboardLayout_(keyboardLayout) {}

KeyRecorder::~KeyRecorder() {
    if (mode_ != Mode::none) {
        if (qApp) {
            qApp->removeEventFilter(this);
        }
        if (settings_.isRecordingHotkey()) {
            settings_.setRecordingHotkey(false);
        }
    }
}

void KeyRecorder::startHotkey(Handler onKey) {
    start(Mode::hotkey, {}, std::move(onKey));
}

void KeyRecorder::startStep(const model::Uuid& stepId, Handler onKey) {
    start(Mode::step, stepId, std::move(onKey));
}

void KeyRecorder::start(Mode mode, const model::Uuid& stepId, Handler onKey) {
    stop();
    mode_ = mode;
    stepId_ = stepId;
    onKey_ = std::move(onKey);
    if (!settings_.isRecordingHotkey()) {
        settings_.setRecordingHotkey(true);
    }
    qApp->installEventFilter(this);
    emit recordingChanged();
}

void KeyRecorder::stop() {
    if (mode_ == Mode::none) {
        return;
    }
    mode_ = Mode::none;
    onKey_ = nullptr;
    qApp->removeEventFilter(this);
    if (settings_.isRecordingHotkey()) {
        settings_.setRecordingHotkey(false);
    }
    emit recordingChanged();
}

bool KeyRecorder::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease &&
        type != QEvent::ShortcutOverride) {
        return false;
    }
    // A press reaches the window object first and then its focused control; taking it at the
    // control sees each press once, whichever way it came in.
    if (!watched->isWidgetType()) {
        return false;
    }
    if (type == QEvent::ShortcutOverride) {
        // Accepted, the press goes to the control (and to this filter) instead of firing a
        // menu shortcut of the window.
        event->accept();
        return true;
    }
    event->accept();
    if (type == QEvent::KeyRelease) {
        return true;
    }
    const auto key = recordedKey(*static_cast<QKeyEvent*>(event));
    if (!key || (mode_ == Mode::hotkey && key->modifiers == 0)) {
        return true;
    }
    // The handler may start another recording or destroy the editor, so it runs last.
    Handler onKey = std::move(onKey_);
    stop();
    if (onKey) {
        onKey(*key);
    }
    return true;
}

} // namespace quillo::ui
