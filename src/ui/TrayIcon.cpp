#include "ui/TrayIcon.h"

#include "ui/Symbols.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>

namespace quillo::ui {

namespace {

// The icon is a silhouette, as panels expect. Its colour has to stand out from the panel, which
// Qt cannot see: Plasma's panel follows the colour scheme that the palette comes from, while
// GNOME, Xfce, Cinnamon and most other desktops ship dark panels whatever the window colours.
QColor panelTextColor() {
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP").toLower();
    if (desktop.contains("kde")) {
        return QGuiApplication::palette().color(QPalette::WindowText);
    }
    return {0xf2, 0xf2, 0xf2};
}

} // namespace

TrayIcon::TrayIcon(model::AppSettings& settings, QMenu* menu, QObject* parent)
    : QObject(parent), settings_(settings), menu_(menu), tray_(new QSystemTrayIcon(this)) {
    tray_->setContextMenu(menu_);
    tray_->setToolTip(QStringLiteral("Quillo"));
    // A left click opens the same menu: the tray icon is a menu, not a window switcher.
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::Trigger) {
                    menu_->popup(QCursor::pos());
                }
            });
    refresh();
    subscription_ = settings_.subscribe([this] { refresh(); });
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::show() {
    tray_->show();
}

void TrayIcon::refresh() {
    const QString name = settings_.isExpansionEnabled() ? QStringLiteral("MenuBarIcon")
                                                        : QStringLiteral("MenuBarIconPaused");
    if (name == imageName_) {
        return;
    }
    imageName_ = name;
    tray_->setIcon(silhouetteIcon(imageName_, panelTextColor()));
}

} // namespace quillo::ui
