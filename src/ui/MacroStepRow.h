// The one-line editor of one step of a macro: the step type's symbol, the controls of its type
// and, at the right edge, the buttons that move the step up or down and delete it.
//
// A "Type Text" step edits its text; a "Press Key" step shows its key combination ("Not set" when
// neither a key nor a modifier was recorded, "Press keys..." in blue while its key is recorded)
// with a "Record" button that reads "Cancel" while recording; a "Wait" step edits its milliseconds
// as an integer in the user's locale, and says when it is longer than the longest wait that runs
// (60,000 ms). The row has no state of its own: the host owns the step list
// and the key recording, hands each row its step and flags, and hears of every change and button.
#pragma once

#include "model/Snippet.h"
#include "platform/Platform.h"

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace quillo::ui {

class MacroStepRow : public QWidget {
    Q_OBJECT
  public:
    MacroStepRow(const model::MacroStep& step, const platform::KeyboardLayout& keyboardLayout,
                 QWidget* parent = nullptr);

    // Shows the step and the host's flags; a field the user is typing in keeps its text and
    // cursor when it already holds the step's value.
    void setState(const model::MacroStep& step, bool isRecording, bool canMoveUp, bool canMoveDown);

    const model::MacroStep& step() const { return step_; }

    // The blue of a combination being recorded.
    static QColor recordingColor();

  signals:
    // The user changed the step's own fields (its text or its milliseconds).
    void stepEdited(const quillo::model::MacroStep& step);
    void recordClicked();
    void deleteClicked();
    void moveUpClicked();
    void moveDownClicked();

  protected:
    void changeEvent(QEvent* event) override;

  private:
    void commitMilliseconds();
    void showMilliseconds();

    model::MacroStep step_;
    const platform::KeyboardLayout& keyboardLayout_;
    QLineEdit* text_ = nullptr;
    QLabel* key_ = nullptr;
    QPushButton* record_ = nullptr;
    QLineEdit* milliseconds_ = nullptr;
    QLabel* waitUnit_ = nullptr;
    QToolButton* moveUp_;
    QToolButton* moveDown_;
    QToolButton* delete_;
};

} // namespace quillo::ui
