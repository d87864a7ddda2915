// The box a snippet's replacement is written in, in the editor and in the new-snippet sheet.
//
// It gives back every character it was given: no-break spaces, U+2028 and tabs stay as they are
// (QPlainTextEdit::toPlainText() would turn the first two into a space and a line feed). The one
// change is the line break: a text document keeps its lines as paragraphs, so a carriage return
// or CRLF comes back as a line feed.
//
// Tab types a tab. Ctrl+Tab moves to the next field and Shift+Tab (or Ctrl+Shift+Tab) to the
// previous one, so that the keyboard can always leave the box; its tooltip says so. Return and
// Shift+Return both start a new line.
#pragma once

#include <QPlainTextEdit>

namespace quillo::ui {

class ReplacementBox : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit ReplacementBox(QWidget* parent = nullptr);

    QString text() const;
    // Replaces the whole text; nothing when it is the same, so that the insertion point stays.
    void setText(const QString& text);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace quillo::ui
