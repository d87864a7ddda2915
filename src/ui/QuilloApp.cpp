#include "ui/QuilloApp.h"

#include "ui/AboutView.h"
#include "ui/MenuBarView.h"
#include "ui/OnboardingView.h"
#include "ui/SearchWindow.h"
#include "ui/SettingsView.h"
#include "ui/TrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QWidget>
#include <algorithm>

#ifndef QUILLO_MORE_APPS_URL
#define QUILLO_MORE_APPS_URL ""
#endif

namespace quillo::ui {

QuilloApp::QuilloApp(app::AppDelegate& delegate, Options options, QObject* parent)
    : QObject(parent), delegate_(delegate), options_(std::move(options)) {
    if (options_.moreAppsUrl.isEmpty()) {
        options_.moreAppsUrl = QStringLiteral(QUILLO_MORE_APPS_URL);
    }
    const platform::Services& services = delegate_.services();
    updateChecker_ = std::make_unique<app::UpdateChecker>(services.network, services.time,
                                                          services.alerts, services.workspace);
    MenuBarView::Actions actions;
    actions.explainAccess = [this] { explainAccess(); };
    actions.openSettings = [this] { openSettings(); };
    actions.checkForUpdates = [this] { updateChecker_->checkForUpdates(); };
    actions.openMoreApps = [this] {
        delegate_.services().workspace.openUrl(options_.moreAppsUrl.toStdString());
    };
    actions.quit = options_.quit;
    menuBar_ = std::make_unique<MenuBarView>(delegate_.snippetStore(), delegate_.settings(),
                                             delegate_.permissionsManager(), std::move(actions));

    delegate_.setCloseOnboardingWindow([this] { closeOnboardingWindow(); });
    // The hotkey's press is answered inside the keyboard handler; the window opens right after.
    delegate_.setSearchWindowAction([this] {
        delegate_.services().time.postToMain([window = QPointer<QuilloApp>(this)] {
            if (window) {
                window->openSearchWindow();
            }
        });
    });
}

QuilloApp::~QuilloApp() {
    delegate_.setCloseOnboardingWindow({});
    delegate_.setSearchWindowAction({});
}

void QuilloApp::openSearchWindow() {
    if (!search_) {
        search_ = std::make_unique<SearchWindow>(delegate_);
        search_->addAction(menuBar_->quitAction());
    }
    search_->open();
}

void QuilloApp::launch() {
    // Shown even without a tray now: the icon appears when a tray does (a panel that starts
    // after Quillo at login).
    trayIcon_ = std::make_unique<TrayIcon>(delegate_.settings(), menuBar_->menu());
    trayIcon_->show();
    // Shown only when it will stay open: a window that opens and closes at once would flash.
    if (!delegate_.settings().hasCompletedOnboarding()) {
        onboarding().show();
    }
    delegate_.applicationDidFinishLaunching();
    if (!options_.trayAvailable) {
        openSettings();
    }
}

// Made when first needed: most starts never show it, and windows cost time at start.
OnboardingView& QuilloApp::onboarding() {
    if (!onboarding_) {
        onboarding_ = std::make_unique<OnboardingView>(
            delegate_.permissionsManager(), delegate_.settings(),
            [this](bool prompt) {
                delegate_.startEngine(prompt);
                pointAtTray();
            },
            [this] { return delegate_.services().accessibilityTrust.untrustedReason(); });
        onboarding_->setPasswordFieldsNote(passwordFieldsNote());
        // Ctrl+, and Ctrl+Q work in every Quillo window, as they do in the menu.
        onboarding_->addAction(menuBar_->settingsAction());
        onboarding_->addAction(menuBar_->quitAction());
    }
    return *onboarding_;
}

SettingsView& QuilloApp::ensureSettingsWindow() {
    if (!settings_) {
        settings_ = std::make_unique<SettingsView>(
            delegate_.snippetStore(), delegate_.settings(), delegate_.permissionsManager(),
            delegate_.services().keyboardLayout, delegate_.services().workspace);
        settings_->about()->setPasswordFieldsNote(passwordFieldsNote());
        settings_->addAction(menuBar_->settingsAction());
        settings_->addAction(menuBar_->quitAction());
        if (!options_.trayAvailable) {
            settings_->showNoTrayFooter(menuBar_->quitAction());
        }
    }
    return *settings_;
}

QString QuilloApp::passwordFieldsNote() const {
    return QString::fromStdString(delegate_.services().secureInput.limitation());
}

void QuilloApp::refreshPasswordFieldsNote() {
    const QString note = passwordFieldsNote();
    if (onboarding_) {
        onboarding_->setPasswordFieldsNote(note);
    }
    if (settings_) {
        settings_->about()->setPasswordFieldsNote(note);
    }
}

void QuilloApp::pointAtTray() {
    if (!options_.trayAvailable || !trayIcon_) {
        openSettings();
        return;
    }
    trayIcon_->systemTrayIcon()->showMessage(
        tr("Quillo is running"),
        tr("Its icon in the tray opens the settings, the manual and the switch for expansion."));
}

void QuilloApp::openSettings() {
    ensureSettingsWindow().present();
}

void QuilloApp::popUpMenu() {
    QMenu* menu = menuBar_->menu();
    QRect anchor = trayIcon_ ? trayIcon_->systemTrayIcon()->geometry() : QRect();
    if (!anchor.isValid()) {
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        anchor = QRect(screen.right() - 40, screen.top(), 24, 0);
    }
    const QSize size = menu->sizeHint();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const int x = std::clamp(anchor.left(), screen.left(), screen.right() - size.width());
    menu->popup(QPoint(x, anchor.bottom() + 1));
}

void QuilloApp::explainAccess() {
    OnboardingView& window = onboarding();
    window.explainMissingAccess();
    window.show();
    window.raise();
    window.activateWindow();
}

// The first top-level window titled "Welcome to Quillo", as the user sees it.
void QuilloApp::closeOnboardingWindow() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->windowTitle() == QLatin1String(OnboardingView::windowTitleText)) {
            window->close();
            return;
        }
    }
}

} // namespace quillo::ui
