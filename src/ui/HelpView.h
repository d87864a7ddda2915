// The built-in manual of the settings window's "Help" tab: seven fixed sections of text,
// scrolling when the window is too small to show them all.
//
// Four small display types build it. Each keeps the texts it shows, so that the manual can be
// read back as it stands on screen.
#pragma once

#include <QList>
#include <QScrollArea>
#include <QString>
#include <QWidget>
#include <initializer_list>

class QLabel;

namespace quillo::ui {

// A sub-heading with its text; the text wraps onto as many lines as it needs.
class HelpParagraph : public QWidget {
    Q_OBJECT
  public:
    HelpParagraph(QString heading, QString content, QWidget* parent = nullptr);
    const QString& heading() const { return heading_; }
    const QString& content() const { return content_; }

  private:
    QString heading_;
    QString content_;
};

// One numbered instruction ("1." and its text).
class HelpStep : public QWidget {
    Q_OBJECT
  public:
    HelpStep(int number, QString text, QWidget* parent = nullptr);
    int number() const { return number_; }
    const QString& text() const { return text_; }
    // The number as shown: "1."
    QString numberText() const;

  private:
    int number_;
    QString text_;
};

// A tip, marked with a light bulb.
class HelpNote : public QWidget {
    Q_OBJECT
  public:
    explicit HelpNote(QString text, QWidget* parent = nullptr);
    const QString& text() const { return text_; }

  private:
    QString text_;
};

// A titled section: its symbol and title, a divider, then its items in order.
class HelpSection : public QWidget {
    Q_OBJECT
  public:
    HelpSection(QString title, QString icon, std::initializer_list<QWidget*> content,
                QWidget* parent = nullptr);
    const QString& title() const { return title_; }
    const QString& icon() const { return icon_; }
    const QList<QWidget*>& content() const { return content_; }

  private:
    QString title_;
    QString icon_;
    QList<QWidget*> content_;
};

class HelpView : public QScrollArea {
    Q_OBJECT
  public:
    explicit HelpView(QWidget* parent = nullptr);
    const QList<HelpSection*>& sections() const { return sections_; }

  private:
    QList<HelpSection*> sections_;
};

} // namespace quillo::ui
