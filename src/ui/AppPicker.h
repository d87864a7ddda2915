// The chooser behind "+ Add App": the applications the desktop reports (installed, and with a
// window open now), each with its name and icon. It answers with the application id that Quillo
// sees when that program is in front (on X11 the window class).
#pragma once

#include "platform/Platform.h"

#include <QDialog>
#include <QString>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace quillo::ui {

class AppPicker : public QDialog {
    Q_OBJECT
  public:
    explicit AppPicker(std::vector<platform::Application> applications, QWidget* parent = nullptr);

    // The chosen application's id; empty when none is chosen.
    QString chosenId() const;
    QListWidget* list() const { return list_; }
    QLineEdit* searchField() const { return search_; }

  private:
    void filter(const QString& text);

    std::vector<platform::Application> entries_;
    QLineEdit* search_;
    QListWidget* list_;
    QPushButton* add_;
};

} // namespace quillo::ui
