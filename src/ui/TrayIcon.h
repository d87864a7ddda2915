// Quillo's icon in the desktop's tray: the image "MenuBarIcon" while expansion is on and
// "MenuBarIconPaused" while it is off, following the global switch at once. Either click opens
// the menu, as a menu bar item does. Where the tray host colours symbolic icons itself, the
// theme's io.github.quillo.Quillo-symbolic (and -paused-symbolic), installed with the program,
// stands in for the images.
#pragma once

#include "model/AppSettings.h"
#include "model/Observable.h"

#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace quillo::ui {

class TrayIcon : public QObject {
    Q_OBJECT
  public:
    TrayIcon(model::AppSettings& settings, QMenu* menu, QObject* parent = nullptr);
    ~TrayIcon() override;

    QSystemTrayIcon* systemTrayIcon() const { return tray_; }
    // The image shown now: "MenuBarIcon" or "MenuBarIconPaused".
    const QString& imageName() const { return imageName_; }

    void show();

  private:
    void refresh();

    model::AppSettings& settings_;
    QMenu* menu_;
    QSystemTrayIcon* tray_;
    QString imageName_;
    bool themedIcon_ = false;
    model::Observable::Subscription subscription_;
};

} // namespace quillo::ui
