#include "ui/MenuBarView.h"

#include "ui/Typography.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

namespace quillo::ui {

namespace {

void call(const std::function<void()>& action) {
    if (action) {
        action();
    }
}

} // namespace

MenuBarView::MenuBarView(model::SnippetStore& snippetStore, model::AppSettings& settings,
                         app::PermissionsManager& permissions, Actions actions, QObject* parent)
    : QObject(parent), snippetStore_(snippetStore), appSettings_(settings),
      permissions_(permissions), actions_(std::move(actions)), menu_(std::make_unique<QMenu>()) {
    QMenu& menu = *menu_;

    grant_ = menu.addAction(tr("Check Keyboard Access..."));
    // The steps to add the input source show over the item.
    menu.setToolTipsVisible(true);
    connect(grant_, &QAction::triggered, this, [this] {
        permissions_.requestAccess();
        call(actions_.explainAccess);
    });
    grantSeparator_ = menu.addSeparator();

    toggle_ = menu.addAction(toggleText(true));
    toggle_->setCheckable(true);
    connect(toggle_, &QAction::triggered, this,
            [this](bool on) { appSettings_.setExpansionEnabled(on); });
    menu.addSeparator();

    // A line of information, not a command: dimmed, smaller, and not clickable.
    count_ = menu.addAction(snippetCountText(0));
    count_->setEnabled(false);
    count_->setFont(typography::caption());
    menu.addSeparator();

    settings_ = menu.addAction(tr("Settings..."));
    settings_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    connect(settings_, &QAction::triggered, this, [this] { call(actions_.openSettings); });

    updates_ = menu.addAction(tr("Check for Updates…"));
    connect(updates_, &QAction::triggered, this, [this] { call(actions_.checkForUpdates); });

    moreApps_ = menu.addAction(tr("More from Brevant IT"));
    connect(moreApps_, &QAction::triggered, this, [this] { call(actions_.openMoreApps); });
    menu.addSeparator();

    quit_ = menu.addAction(tr("Quit Quillo"));
    quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit_->setMenuRole(QAction::QuitRole);
    connect(quit_, &QAction::triggered, this, [this] { call(actions_.quit); });

    refresh();
    storeSubscription_ = snippetStore_.subscribe([this] { refresh(); });
    settingsSubscription_ = appSettings_.subscribe([this] { refresh(); });
    permissionsSubscription_ = permissions_.subscribe([this] { refresh(); });
}

MenuBarView::~MenuBarView() = default;

void MenuBarView::refresh() {
    const bool granted = permissions_.isAccessibilityGranted();
    const bool sourceMissing = granted && permissions_.isInputSourceMissing();
    grant_->setVisible(!granted || sourceMissing);
    grantSeparator_->setVisible(!granted || sourceMissing);
    grant_->setText(sourceMissing ? tr("Not an Input Source: Add Quillo...")
                                  : tr("Check Keyboard Access..."));
    QString steps;
    if (sourceMissing) {
        for (const std::string& step : permissions_.inputSource()->steps) {
            steps +=
                (steps.isEmpty() ? QString() : QStringLiteral("\n")) + QString::fromStdString(step);
        }
    }
    grant_->setToolTip(steps);

    const bool enabled = appSettings_.isExpansionEnabled();
    toggle_->setChecked(enabled);
    toggle_->setText(toggleText(enabled));

    count_->setText(snippetCountText(snippetStore_.snippets().size()));
}

QString MenuBarView::snippetCountText(std::size_t count) {
    return QString::number(count) + (count == 1 ? tr(" snippet") : tr(" snippets"));
}

QString MenuBarView::toggleText(bool expansionEnabled) {
    return expansionEnabled ? tr("Active") : tr("Click to activate");
}

} // namespace quillo::ui
