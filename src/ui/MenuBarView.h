// The tray icon's menu, Quillo's main control surface: the way to grant access while it is
// missing (or, where the keys come through the input method, to add Quillo as an input source:
// the item opens the settings and the onboarding window with the steps), the global switch, the
// number of snippets, and the ways to the settings window, the update check, the maker's other
// applications and Quit.
//
// The menu keeps no state of its own: it is brought up to date from the shared objects whenever
// one of the values it shows changes.
#pragma once

#include "app/PermissionsManager.h"
#include "model/AppSettings.h"
#include "model/Observable.h"
#include "model/SnippetStore.h"

#include <QObject>
#include <QString>
#include <cstddef>
#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace quillo::ui {

class MenuBarView : public QObject {
    Q_OBJECT
  public:
    // What the items do beyond changing the shared objects.
    struct Actions {
        // After the request for access: where the system has no prompt of its own, say what is
        // missing.
        std::function<void()> explainAccess;
        std::function<void()> openSettings;
        std::function<void()> checkForUpdates;
        std::function<void()> openMoreApps;
        std::function<void()> quit;
    };

    MenuBarView(model::SnippetStore& snippetStore, model::AppSettings& settings,
                app::PermissionsManager& permissions, Actions actions, QObject* parent = nullptr);
    ~MenuBarView() override;

    QMenu* menu() const { return menu_.get(); }

    QAction* grantAction() const { return grant_; }
    QAction* expansionToggle() const { return toggle_; }
    QAction* snippetCount() const { return count_; }
    QAction* settingsAction() const { return settings_; }
    QAction* updatesAction() const { return updates_; }
    QAction* moreAppsAction() const { return moreApps_; }
    QAction* quitAction() const { return quit_; }

    // "0 snippets", "1 snippet", "2 snippets".
    static QString snippetCountText(std::size_t count);
    // The global switch's label: "Active" while expansion is on, "Click to activate" while off.
    static QString toggleText(bool expansionEnabled);

  private:
    void refresh();

    model::SnippetStore& snippetStore_;
    model::AppSettings& appSettings_;
    app::PermissionsManager& permissions_;
    Actions actions_;
    std::unique_ptr<QMenu> menu_;
    QAction* grant_;
    QAction* grantSeparator_;
    QAction* toggle_;
    QAction* count_;
    QAction* settings_;
    QAction* updates_;
    QAction* moreApps_;
    QAction* quit_;
    model::Observable::Subscription storeSubscription_;
    model::Observable::Subscription settingsSubscription_;
    model::Observable::Subscription permissionsSubscription_;
};

} // namespace quillo::ui
