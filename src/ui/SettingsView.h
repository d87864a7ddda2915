// The settings window: the tabs "Snippets", "General", "Help" and "About", in this order, the
// first one shown whenever the window opens. The window cannot be made smaller than 600 × 400.
#pragma once

#include "app/PermissionsManager.h"
#include "model/AppSettings.h"
#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <QWidget>

class QTabWidget;

namespace quillo::ui {

class AboutView;
class GeneralSettingsView;

class SettingsView : public QWidget {
    Q_OBJECT
  public:
    enum class Tab { snippets = 0, general = 1, help = 2, about = 3 };

    // The keyboard layout names the keys of hotkeys and macro steps.
    SettingsView(model::SnippetStore& snippetStore, model::AppSettings& settings,
                 app::PermissionsManager& permissions,
                 const platform::KeyboardLayout& keyboardLayout,
                 const platform::Workspace& workspace, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }
    GeneralSettingsView* generalSettings() const { return general_; }
    AboutView* about() const { return about_; }

    void showTab(Tab tab);
    // Brings the window to the front on its first tab, or where it is when already open.
    void present();

    // The tab that a name of the command line ("snippets", "general", "help", "about") means.
    static std::optional<Tab> tabNamed(const QString& name);

  private:
    QTabWidget* tabs_;
    GeneralSettingsView* general_;
    AboutView* about_;
};

} // namespace quillo::ui
