// The settings window: the tabs "Snippets", "General", "Help" and "About", in this order, the
// first one with an empty search shown whenever the window opens. The window cannot be made
// smaller than 600 × 400.
//
// Ctrl+F goes to the search field; Ctrl+W closes the window, and so does Escape when nothing in
// it takes the key first (a recording, a sheet, a search field with text). Without a tray the
// window says that Quillo keeps running when it is closed, and offers Quit.
#pragma once

#include "app/PermissionsManager.h"
#include "model/AppSettings.h"
#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <QWidget>

class QAction;
class QKeyEvent;
class QTabWidget;

namespace quillo::ui {

class AboutView;
class GeneralSettingsView;
class SnippetListView;

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
    // For a desktop without a tray: the line at the bottom with `quit` as its button.
    void showNoTrayFooter(QAction* quit);
    SnippetListView* snippetList() const { return snippetList_; }
    // Brings the window to the front on its first tab, or where it is when already open.
    void present();

    // The tab that a name of the command line ("snippets", "general", "help", "about") means.
    static std::optional<Tab> tabNamed(const QString& name);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QTabWidget* tabs_;
    SnippetListView* snippetList_;
    QWidget* footer_ = nullptr;
    GeneralSettingsView* general_;
    AboutView* about_;
};

} // namespace quillo::ui
