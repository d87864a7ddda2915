#include "ui/TrayIcon.h"

#include "ui/Symbols.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>

namespace quillo::ui {

namespace {

// The icon is a silhouette, as panels expect. Its colour has to stand out from the panel, which
// Qt cannot see: Plasma's panel follows the colour scheme that the palette comes from, while
// GNOME, Xfce, Cinnamon and most other desktops ship dark panels whatever the window colours.
// An outline in the opposite colour keeps it visible where the guess is wrong.
QColor panelTextColor() {
    const QByteArray desktop = qgetenv("XDG_CURRENT_DESKTOP").toLower();
    if (desktop.contains("kde")) {
        return QGuiApplication::palette().color(QPalette::WindowText);
    }
    return {0xf2, 0xf2, 0xf2};
}

QColor haloFor(const QColor& glyph) {
    return glyph.lightness() > 127 ? QColor(0x1e, 0x1e, 0x1e, 0xc0)
                                   : QColor(0xf2, 0xf2, 0xf2, 0xc0);
}

// A tray host that speaks the StatusNotifierItem protocol (Plasma; GNOME with its AppIndicator
// extension) draws an icon named by the theme itself, and paints a symbolic one in the panel's
// own colours. Hosts of the older XEmbed tray paint Quillo's own image as it is.
bool hostPaintsSymbolicIcons() {
    const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return bus && bus->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher"));
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
    themedIcon_ = hostPaintsSymbolicIcons();
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
    const QString themeName = settings_.isExpansionEnabled()
                                  ? QStringLiteral("io.github.quillo.Quillo-symbolic")
                                  : QStringLiteral("io.github.quillo.Quillo-paused-symbolic");
    if (themedIcon_ && QIcon::hasThemeIcon(themeName)) {
        tray_->setIcon(QIcon::fromTheme(themeName));
        return;
    }
    const QColor glyph = panelTextColor();
    tray_->setIcon(silhouetteIcon(imageName_, glyph, haloFor(glyph)));
}

} // namespace quillo::ui
