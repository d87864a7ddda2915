// The steps of a macro as the snippet editor and the new-snippet sheet show them: one
// MacroStepRow per step, "No steps yet. Add a step below." while there is none, and the
// "+ Add Step" menu ("Type Text", "Press Key", "Wait (ms)") that appends a fresh step.
//
// The host owns the steps: it hands them in with setSteps() and hears of every change through
// stepsChanged(), and it owns the key recorder, which this list drives for the steps' "Record"
// buttons (one step at a time; a key recorded for a step deleted meanwhile is dropped).
#pragma once

#include "model/Snippet.h"
#include "platform/Platform.h"

#include <QWidget>
#include <vector>

class QLabel;
class QPushButton;
class QVBoxLayout;

namespace quillo::ui {

class KeyRecorder;
class MacroStepRow;

class MacroStepList : public QWidget {
    Q_OBJECT
  public:
    MacroStepList(KeyRecorder& recorder, const platform::KeyboardLayout& keyboardLayout,
                  QWidget* parent = nullptr);

    void setSteps(const std::vector<model::MacroStep>& steps);
    const std::vector<model::MacroStep>& steps() const { return steps_; }

    // The rows, in list order.
    std::vector<MacroStepRow*> rows() const { return rows_; }
    QPushButton* addStepButton() const { return addStep_; }

  signals:
    void stepsChanged(const std::vector<quillo::model::MacroStep>& steps);

  private:
    void change(std::vector<model::MacroStep> steps);
    void rebuildRows();
    void refreshRows();
    void record(const model::Uuid& id);
    void move(const model::Uuid& id, int by);
    // The index of the first step with this id; none when no step has it.
    std::optional<std::size_t> indexOf(const model::Uuid& id) const;

    KeyRecorder& recorder_;
    const platform::KeyboardLayout& keyboardLayout_;
    std::vector<model::MacroStep> steps_;
    std::vector<MacroStepRow*> rows_;
    QVBoxLayout* rowsLayout_;
    QLabel* empty_;
    QPushButton* addStep_;
};

} // namespace quillo::ui
