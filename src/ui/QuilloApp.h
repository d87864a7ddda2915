// Quillo's windows and its tray icon, the scenes of the application: the tray icon with its
// menu, the settings window, the onboarding window "Welcome to Quillo" and the search window
// that the search hotkey opens. Each is handed the application delegate's shared objects; none
// has others.
//
// When the desktop has no tray, the settings window opens at start, so that Quillo is never
// running out of sight with no way to reach it.
#pragma once

#include "app/AppDelegate.h"
#include "app/UpdateChecker.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace quillo::ui {

class MenuBarView;
class OnboardingView;
class SearchWindow;
class SettingsView;
class TrayIcon;

class QuilloApp : public QObject {
    Q_OBJECT
  public:
    struct Options {
        bool trayAvailable = true;
        // The maker's page of its other applications; the one the program was built with when
        // empty.
        QString moreAppsUrl;
        std::function<void()> quit;
    };

    QuilloApp(app::AppDelegate& delegate, Options options, QObject* parent = nullptr);
    ~QuilloApp() override;

    // Shows the tray icon (or, without a tray, the settings window) and the onboarding window
    // unless onboarding was completed, then lets the delegate start the engine.
    void launch();

    // Brings the settings window to the front, creating it the first time.
    void openSettings();
    // Opens the tray menu where the tray icon is (the top right corner without one), as a click
    // on the icon would.
    void popUpMenu();

    MenuBarView& menuBar() const { return *menuBar_; }
    // None before `launch`.
    TrayIcon* trayIcon() const { return trayIcon_.get(); }
    // The window "Welcome to Quillo", made (hidden) if it was not yet.
    OnboardingView& onboarding();
    // None until the window was first opened.
    SettingsView* settingsWindow() const { return settings_.get(); }
    SettingsView& ensureSettingsWindow();
    app::UpdateChecker& updateChecker() const { return *updateChecker_; }
    // Opens the search window over the window that has the focus, as the search hotkey does.
    void openSearchWindow();
    // None until the window was first opened.
    SearchWindow* searchWindow() const { return search_.get(); }

    // Reads again what the desktop says of the password fields it may miss, for the onboarding
    // and About windows: it can change while Quillo runs.
    void refreshPasswordFieldsNote();

  private:
    // Where no system prompt exists: the onboarding window says what is missing.
    void explainAccess();
    void closeOnboardingWindow();
    // After onboarding: where Quillo is now, a message at the tray icon, or without a tray the
    // settings window.
    void pointAtTray();
    // Small print for the onboarding and About windows when password fields can go unnoticed.
    QString passwordFieldsNote() const;

    app::AppDelegate& delegate_;
    Options options_;
    std::unique_ptr<app::UpdateChecker> updateChecker_;
    std::unique_ptr<MenuBarView> menuBar_;
    std::unique_ptr<TrayIcon> trayIcon_;
    std::unique_ptr<OnboardingView> onboarding_;
    std::unique_ptr<SettingsView> settings_;
    std::unique_ptr<SearchWindow> search_;
};

} // namespace quillo::ui
