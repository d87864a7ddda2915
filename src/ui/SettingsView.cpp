#include "ui/SettingsView.h"

#include "ui/AboutView.h"
#include "ui/GeneralSettingsView.h"
#include "ui/HelpView.h"
#include "ui/SnippetListView.h"
#include "ui/Symbols.h"

#include <QTabWidget>
#include <QVBoxLayout>

namespace quillo::ui {

SettingsView::SettingsView(model::SnippetStore& snippetStore, model::AppSettings& settings,
                           app::PermissionsManager&, const platform::KeyboardLayout& keyboardLayout,
                           const platform::Workspace& workspace, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("settings"));
    setWindowTitle(QStringLiteral("Quillo Settings"));
    setWindowIcon(assetIcon(QStringLiteral("AppIconColor")));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabWidget(this);
    tabs_->setDocumentMode(true);
    tabs_->setMinimumSize(600, 400);
    tabs_->setIconSize(QSize(18, 18));
    column->addWidget(tabs_);

    general_ = new GeneralSettingsView(settings);
    tabs_->addTab(new SnippetListView(snippetStore, settings, keyboardLayout, workspace),
                  symbolIcon(QStringLiteral("text.quote")), QStringLiteral("Snippets"));
    tabs_->addTab(general_, symbolIcon(QStringLiteral("gear")), QStringLiteral("General"));
    tabs_->addTab(new HelpView, symbolIcon(QStringLiteral("questionmark.circle")),
                  QStringLiteral("Help"));
    about_ = new AboutView;
    tabs_->addTab(about_, symbolIcon(QStringLiteral("info.circle")), QStringLiteral("About"));
    resize(680, 520);
}

void SettingsView::showTab(Tab tab) {
    tabs_->setCurrentIndex(static_cast<int>(tab));
}

void SettingsView::present() {
    if (!isVisible()) {
        showTab(Tab::snippets);
    }
    showNormal();
    raise();
    activateWindow();
}

std::optional<SettingsView::Tab> SettingsView::tabNamed(const QString& name) {
    const QString key = name.toLower();
    if (key == QLatin1String("snippets")) {
        return Tab::snippets;
    }
    if (key == QLatin1String("general")) {
        return Tab::general;
    }
    if (key == QLatin1String("help")) {
        return Tab::help;
    }
    if (key == QLatin1String("about")) {
        return Tab::about;
    }
    return std::nullopt;
}

} // namespace quillo::ui
