// The chooser behind "+ Add App": the applications installed on this desktop (the launcher
// entries, .desktop files, of $XDG_DATA_HOME/applications and of each $XDG_DATA_DIRS folder) and
// the applications with a window open right now, each with its name and icon. It answers with the
// application id that Quillo sees when that program is in front: the window class (the second
// string of WM_CLASS).
#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace quillo::ui {

struct ApplicationEntry {
    QString id;       // the window class that the frontmost-application query reports
    QString name;     // what the launcher calls it
    QString iconName; // a theme icon name or an absolute path; may be empty
    bool isOpen = false;
    bool operator==(const ApplicationEntry&) const = default;
};

class AppPicker : public QDialog {
    Q_OBJECT
  public:
    // The window classes of the windows open now, from the desktop backend; installed once at
    // start-up. Without it only the installed applications are offered.
    using OpenApplications = std::function<std::vector<std::string>()>;
    static void setOpenApplicationsSource(OpenApplications source);

    // $XDG_DATA_HOME/applications, then $XDG_DATA_DIRS/applications each, with the defaults of
    // the XDG base directory rules for unset variables.
    static QStringList applicationFolders();
    // The entry of a launcher file; none for hidden entries and entries that are no application.
    static std::optional<ApplicationEntry> readDesktopFile(const QString& path);
    // Every application of the folders, by name, one entry per id; a folder listed earlier
    // overrides a file of the same name in a later one, as desktops do.
    static std::vector<ApplicationEntry> installedApplications(const QStringList& folders);
    // The installed applications and the open ones, one entry per id.
    static std::vector<ApplicationEntry> availableApplications();

    explicit AppPicker(std::vector<ApplicationEntry> entries, QWidget* parent = nullptr);

    // The chosen application's id; empty when none is chosen.
    QString chosenId() const;
    QListWidget* list() const { return list_; }
    QLineEdit* searchField() const { return search_; }

  private:
    void filter(const QString& text);

    std::vector<ApplicationEntry> entries_;
    QLineEdit* search_;
    QListWidget* list_;
    QPushButton* add_;
};

} // namespace quillo::ui
