// The settings window's "About" tab: the application's icon, name, version and what it does.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace quillo::ui {

class AboutView : public QWidget {
    Q_OBJECT
  public:
    // `version` is the version to show; the build's own version when none is given.
    explicit AboutView(QWidget* parent = nullptr);
    AboutView(const QString& version, QWidget* parent);

    // "Version " and the version, or "Version 1.0" when the version is unknown.
    static QString versionText(const QString& version);
    // The version this program was built as.
    static QString buildVersion();

    // What the desktop keeps from Quillo about password fields, in small print under the
    // summary; nothing when empty.
    void setPasswordFieldsNote(const QString& note);
    QLabel* passwordFieldsNote() const { return passwordFieldsNote_; }

  private:
    QLabel* passwordFieldsNote_;
};

} // namespace quillo::ui
