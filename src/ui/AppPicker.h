// The chooser behind "+ Add App": the applications the desktop reports (installed, and with a
// window open now), each with its name, icon and the id Quillo will match, which for a program
// that is not running is only a guess from its launcher. The id can also be typed by hand, for a
// program the desktop does not list. The open windows are asked for again while the chooser is
// open, so a program started meanwhile shows up.
#pragma once

#include "platform/Platform.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace quillo::ui {

class AppPicker : public QDialog {
    Q_OBJECT
  public:
    using Source = std::function<std::vector<platform::Application>()>;
    // How often the list is asked for again while the chooser is open.
    static constexpr int refreshMilliseconds = 2000;

    explicit AppPicker(Source source, QWidget* parent = nullptr);

    // The id in the id field, trimmed: the chosen entry's, or one typed by hand; empty when
    // there is none.
    QString chosenId() const;
    // Asks the source again; the filter, the chosen entry and a typed id stay.
    void refresh();

    QListWidget* list() const { return list_; }
    QLineEdit* searchField() const { return search_; }
    QLineEdit* idField() const { return idField_; }

  private:
    void fill();
    void filter(const QString& text);

    Source source_;
    std::vector<platform::Application> entries_;
    QLineEdit* search_;
    QListWidget* list_;
    QLineEdit* idField_;
    QPushButton* add_;
    QTimer* refreshTimer_;
};

} // namespace quillo::ui
