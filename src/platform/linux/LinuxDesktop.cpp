#include "platform/linux/LinuxDesktop.h"

#include "platform/linux/AccessibilitySwitch.h"
#include "platform/linux/ApplicationAliases.h"
#include "platform/linux/AtspiPasswordFields.h"
#include "platform/linux/CanberraSound.h"
#include "platform/linux/IBusInputMethod.h"
#include "platform/linux/InotifyFileWatcher.h"
#include "platform/linux/InputMethodFront.h"
#include "platform/linux/InputSourceTrust.h"
#include "platform/linux/LinuxLoginItem.h"
#include "platform/linux/LinuxPreferences.h"
#include "platform/linux/QtAlerts.h"
#include "platform/linux/QtNetwork.h"
#include "platform/linux/QtPasteboard.h"
#include "platform/linux/QtTime.h"
#include "platform/linux/X11Connection.h"
#include "platform/linux/X11FrontProgram.h"
#include "platform/linux/X11KeyboardLayout.h"
#include "platform/linux/X11KeyboardTap.h"
#include "platform/linux/X11Keymap.h"
#include "platform/linux/X11OwnKeyboard.h"
#include "platform/linux/X11PasteWatch.h"
#include "platform/linux/X11SecureInput.h"
#include "platform/linux/X11Trust.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestEventPoster.h"
#include "platform/linux/XdgPaths.h"
#include "platform/linux/XlibHeaders.h"
#include "platform/posix/PosixFiles.h"

#include <QCoreApplication>

namespace quillo::linuxdesktop {

namespace {

// A password field has the keyboard when the accessibility bus says so, and a password prompt
// when it grabs the keyboard; either is enough.
class EitherSecureInput : public platform::SecureInput {
  public:
    EitherSecureInput(const linuxdesktop::X11SecureInput& grabs,
                      const linuxdesktop::AtspiPasswordFields& fields,
                      const linuxdesktop::AccessibilitySwitch& accessibilitySwitch,
                      linuxdesktop::X11FrontProgram& front,
                      const linuxdesktop::IBusInputMethod& inputMethod, bool inputMethodInUse)
        : grabs_(grabs), fields_(fields), switch_(accessibilitySwitch), front_(front),
          inputMethod_(inputMethod), inputMethodInUse_(inputMethodInUse) {}
    bool isSecureInputEnabled() const override {
        // Through X, asked for each key: the key may have been typed in a window whose coming to
        // the front has not been noticed yet, and without a window manager nothing would tell.
        // Through the input method a field's keys come after its focus on the same channel, so
        // a look at each focus is enough, and every program's keys are spared the round trips.
        if (!inputMethodInUse_ || inputMethod_.focusChanges() != seenFocusChanges_) {
            seenFocusChanges_ = inputMethod_.focusChanges();
            front_.refresh();
        }
        // A field reached through the input method may say itself that it is one; many do not.
        return inputMethod_.isSecureField() || fields_.isSecureInputEnabled() ||
               grabs_.isSecureInputEnabled();
    }
    std::string limitation() const override {
        if (!fields_.available()) {
            return "Without the accessibility bus, Quillo recognises a password field only while "
                   "its program grabs the keyboard, as password prompts do.";
        }
        if (switch_.turnedOffElsewhere()) {
            return "The desktop's accessibility switch was turned off, so Qt programs and "
                   "browsers no longer show Quillo their password fields, and it may expand "
                   "there. GTK programs' password fields and password prompts are still "
                   "recognised.";
        }
        return {};
    }

  private:
    const linuxdesktop::X11SecureInput& grabs_;
    const linuxdesktop::AtspiPasswordFields& fields_;
    const linuxdesktop::AccessibilitySwitch& switch_;
    linuxdesktop::X11FrontProgram& front_;
    const linuxdesktop::IBusInputMethod& inputMethod_;
    const bool inputMethodInUse_;
    mutable std::uint64_t seenFocusChanges_ = 0;
};

} // namespace

struct LinuxDesktop::Parts {
    Parts(std::unique_ptr<linuxdesktop::X11Connection> opened, bool useInputMethod)
        : inputMethodInUse(useInputMethod), trust(!useInputMethod),
          sourceTrust(useInputMethod ? std::make_unique<linuxdesktop::InputSourceTrust>()
                                     : nullptr),
          connection(std::move(opened)), keymap(connection->display()), secureInput(*connection),
          ownKeyboard(linuxdesktop::X11OwnKeyboard::create(connection->display())),
          // Where no key pastes, the text typed is the paste: it has arrived once read.
          eventPoster([this] {
              auto text = pasteboard.string();
              pasteboard.noteFocusedRead();
              return text;
          }),
          keyboardTap(*connection, keymap, &secureInput, ownKeyboard.get(),
                      ownKeyboard ? &eventPoster : nullptr),
          pasteWatch([this] { return static_cast<std::uint32_t>(keyboardTap.pasteTarget()); },
                     [this] { pasteboard.noteFocusedRead(); }),
          keyboardLayout(keymap), workspace(connection->display(), aliases,
                                            useInputMethod ? X11Workspace::FrontApplication([this] {
                                                return inputMethodFront.applicationId();
                                            })
                                                           : X11Workspace::FrontApplication()) {
        if (ownKeyboard) {
            eventPoster.useKeyboard(ownKeyboard->xtestKeyboard(), ownKeyboard->keyboard());
        }
    }

    // Declared in the order they are made; each uses only those above it.
    bool inputMethodInUse;
    linuxdesktop::X11Trust trust;
    // Where the keys come through the input method, Quillo also has to be an input source.
    std::unique_ptr<linuxdesktop::InputSourceTrust> sourceTrust;
    std::unique_ptr<linuxdesktop::X11Connection> connection;
    linuxdesktop::X11Keymap keymap;
    linuxdesktop::IBusInputMethod inputMethod{keymap.roles()};
    linuxdesktop::X11SecureInput secureInput;
    linuxdesktop::AccessibilitySwitch accessibilitySwitch;
    linuxdesktop::AtspiPasswordFields passwordFields;
    linuxdesktop::X11FrontProgram frontProgram{*connection, [this](std::optional<long> process) {
                                                   passwordFields.setFrontProgram(process);
                                               }};
    EitherSecureInput eitherSecureInput{secureInput,  passwordFields, accessibilitySwitch,
                                        frontProgram, inputMethod,    inputMethodInUse};
    std::unique_ptr<linuxdesktop::X11OwnKeyboard> ownKeyboard;
    linuxdesktop::QtPasteboard pasteboard;
    linuxdesktop::XTestEventPoster eventPoster;
    platform::NoTextInput textInput;
    linuxdesktop::X11KeyboardTap keyboardTap;
    linuxdesktop::X11PasteWatch pasteWatch;
    linuxdesktop::QtTime time;
    linuxdesktop::X11KeyboardLayout keyboardLayout;
    linuxdesktop::ApplicationAliases aliases{applicationFolders()};
    linuxdesktop::InputMethodFront inputMethodFront{passwordFields, inputMethod};
    linuxdesktop::X11Workspace workspace;
    CanberraSound sound{
        CanberraSound::installedFallback(QCoreApplication::applicationDirPath().toStdString())};
    QtAlerts alerts;
    LinuxPreferences preferences;
    LinuxLoginItem loginItem;
    posix::PosixFiles files{dataFolder()};
    InotifyFileWatcher fileWatcher;
    QtNetwork network;
};

void LinuxDesktop::prepareProcess() {
    XInitThreads();
}

std::unique_ptr<LinuxDesktop> LinuxDesktop::open(bool inputMethod) {
    // Qt's X11 platform sets an error handler of its own when the application starts; this one
    // has to come after it, or a hotkey that another program holds would go unnoticed.
    linuxdesktop::installErrorHandler();
    auto connection = linuxdesktop::X11Connection::open();
    if (!connection) {
        return nullptr;
    }
    std::unique_ptr<LinuxDesktop> desktop(new LinuxDesktop());
    desktop->parts_ = std::make_unique<Parts>(std::move(connection), inputMethod);
    return desktop;
}

LinuxDesktop::LinuxDesktop() = default;

LinuxDesktop::~LinuxDesktop() {
    if (parts_) {
        shutdown();
    }
}

void LinuxDesktop::shutdown() {
    parts_->accessibilitySwitch.stop();
    parts_->eventPoster.stop();
    parts_->inputMethod.stop();
    parts_->pasteboard.stop();
    // The worker's task uses the poster and the pasteboard: it ends before they go away.
    parts_->time.finish();
}

platform::Services LinuxDesktop::services() {
    Parts& p = *parts_;
    return platform::Services{
        .keyboardTap =
            p.inputMethodInUse ? static_cast<platform::KeyboardTap&>(p.inputMethod) : p.keyboardTap,
        .eventPoster = p.eventPoster,
        .textInput =
            p.inputMethodInUse ? static_cast<platform::TextInput&>(p.inputMethod) : p.textInput,
        .keyboardLayout = p.keyboardLayout,
        .secureInput = p.eitherSecureInput,
        .accessibilityTrust =
            p.sourceTrust ? static_cast<platform::AccessibilityTrust&>(*p.sourceTrust) : p.trust,
        .pasteboard = p.pasteboard,
        .workspace = p.workspace,
        .sound = p.sound,
        .alerts = p.alerts,
        .preferences = p.preferences,
        .loginItem = p.loginItem,
        .files = p.files,
        .fileWatcher = p.fileWatcher,
        .network = p.network,
        .time = p.time,
    };
}

bool LinuxDesktop::isKeyboardWatched() const {
    return parts_->inputMethodInUse ? parts_->inputMethod.isRunning()
                                    : parts_->keyboardTap.isRunning();
}

void LinuxDesktop::activateInputMethod() {
    parts_->inputMethod.activate();
}

void LinuxDesktop::whenSecureInputLimitationChanges(QObject* context,
                                                    std::function<void()> changed) {
    QObject::connect(&parts_->passwordFields,
                     &linuxdesktop::AtspiPasswordFields::availabilityChanged, context, changed);
    QObject::connect(&parts_->accessibilitySwitch,
                     &linuxdesktop::AccessibilitySwitch::turnedOffElsewhereChanged, context,
                     changed);
}

} // namespace quillo::linuxdesktop
