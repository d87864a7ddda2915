#include "ui/SettingsView.h"

#include "ui/AboutView.h"
#include "ui/GeneralSettingsView.h"
#include "ui/HelpView.h"
#include "ui/SnippetListView.h"
#include "ui/Symbols.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillo::ui {

SettingsView::SettingsView(model::SnippetStore& snippetStore, model::AppSettings& settings,
                           app::PermissionsManager&, const platform::KeyboardLayout& keyboardLayout,
                           const platform::Workspace& workspace, QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("settings"));
    setWindowTitle(tr("Quillo Settings"));
    setWindowIcon(assetIcon(QStringLiteral("AppIconColor")));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabWidget(this);
    tabs_->setDocumentMode(true);
    tabs_->setMinimumSize(600, 400);
    tabs_->setIconSize(QSize(18, 18));
    column->addWidget(tabs_);

    general_ = new GeneralSettingsView(settings, snippetStore, keyboardLayout);
    snippetList_ = new SnippetListView(snippetStore, settings, keyboardLayout, workspace);
    tabs_->addTab(snippetList_, symbolIcon(QStringLiteral("text.quote")), tr("Snippets"));
    tabs_->addTab(general_, symbolIcon(QStringLiteral("gear")), tr("General"));
    tabs_->addTab(new HelpView, symbolIcon(QStringLiteral("questionmark.circle")), tr("Help"));
    about_ = new AboutView;
    tabs_->addTab(about_, symbolIcon(QStringLiteral("info.circle")), tr("About"));
    resize(680, 520);

    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        showTab(Tab::snippets);
        snippetList_->searchField()->setFocus(Qt::ShortcutFocusReason);
        snippetList_->searchField()->selectAll();
    });
    auto* close = new QShortcut(QKeySequence::Close, this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
}

void SettingsView::showNoTrayFooter(QAction* quit) {
    if (footer_) {
        return;
    }
    footer_ = new QWidget(this);
    footer_->setObjectName(QStringLiteral("noTrayFooter"));
    auto* line = new QHBoxLayout(footer_);
    line->setContentsMargins(12, 6, 12, 8);
    auto* text = new QLabel(tr("There is no tray on this desktop. Quillo keeps running when this "
                               "window is closed; start Quillo again to bring it back."),
                            footer_);
    text->setWordWrap(true);
    auto* button = new QPushButton(tr("Quit Quillo"), footer_);
    button->setObjectName(QStringLiteral("quit"));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, quit, &QAction::trigger);
    line->addWidget(text, 1);
    line->addWidget(button);
    layout()->addWidget(footer_);
}

void SettingsView::keyPressEvent(QKeyEvent* event) {
    // Only what no control of the window took reaches the window.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void SettingsView::showTab(Tab tab) {
    tabs_->setCurrentIndex(static_cast<int>(tab));
}

void SettingsView::present() {
    if (!isVisible()) {
        showTab(Tab::snippets);
        snippetList_->searchField()->clear();
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
