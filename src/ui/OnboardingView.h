// The window "Welcome to Quillo": what Quillo can see on this desktop, that it lives in the tray,
// how to try the example snippets, and "Get Started", which records that onboarding is done,
// closes the window and starts the expansion engine.
//
// On Linux no system dialog grants access to the keyboard; what stands in the way is the session
// itself (no X display, a Wayland session). "Check Again" asks the desktop anyway, so that a
// backend with a real prompt shows it, and then says in the window what is missing. What the
// desktop keeps from Quillo about password fields is in small print at the bottom.
//
// Where the keys come through Quillo's input method, Quillo also has to be one of the desktop's
// input sources. Until it is, the window says so and how to add it: the steps in the desktop's
// words, and a command that does it with a button that copies it. The main button opens the
// keyboard settings where the desktop has them, and the window turns by itself once the source
// is added.
#pragma once

#include "app/PermissionsManager.h"
#include "model/AppSettings.h"
#include "model/Observable.h"

#include <QWidget>
#include <functional>

class QLabel;
class QPushButton;

namespace quillo::ui {

class OnboardingView : public QWidget {
    Q_OBJECT
  public:
    static constexpr const char* windowTitleText = "Welcome to Quillo";

    // `startEngine` is the application's own start of the engine, with its prompt flag.
    OnboardingView(app::PermissionsManager& permissions, model::AppSettings& settings,
                   std::function<void(bool prompt)> startEngine,
                   std::function<std::string()> untrustedReason, QWidget* parent = nullptr);

    QWidget* grantedGroup() const { return granted_; }
    QWidget* notGrantedGroup() const { return notGranted_; }
    QPushButton* getStartedButton() const { return getStarted_; }
    QPushButton* grantButton() const { return grant_; }
    // While Quillo is not an input source: what is missing, how to add it, and the command.
    QWidget* inputSourceGroup() const { return source_; }
    QLabel* inputSourceSteps() const { return sourceSteps_; }
    QLabel* inputSourceCommand() const { return sourceCommand_; }
    QPushButton* copyCommandButton() const { return copyCommand_; }
    QPushButton* keyboardSettingsButton() const { return openSettings_; }
    // Says what keeps Quillo from the keyboard, under the grant button.
    QLabel* reasonLabel() const { return reason_; }

    // Shows, under the grant button, why access is missing.
    void explainMissingAccess();

    // What the desktop keeps from Quillo about password fields, in small print at the bottom;
    // when it keeps nothing, that password fields are recognised.
    void setPasswordFieldsNote(const QString& note);
    QLabel* passwordFieldsNote() const { return passwordFieldsNote_; }

  private:
    void refresh();
    void showInputSource(const platform::InputSource& source);
    void getStarted();

    app::PermissionsManager& permissions_;
    model::AppSettings& settings_;
    std::function<void(bool)> startEngine_;
    std::function<std::string()> untrustedReason_;
    QWidget* granted_;
    QWidget* notGranted_;
    QPushButton* getStarted_;
    QPushButton* grant_;
    QLabel* reason_;
    QLabel* explanation_;
    QLabel* tryIt_;
    QWidget* source_;
    QPushButton* openSettings_;
    QLabel* sourceProblem_;
    QLabel* sourceSteps_;
    QLabel* sourceCommand_;
    QPushButton* copyCommand_;
    QLabel* passwordFieldsNote_;
    model::Observable::Subscription subscription_;
};

} // namespace quillo::ui
