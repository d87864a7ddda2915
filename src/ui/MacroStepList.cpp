#include "ui/MacroStepList.h"

#include "ui/KeyRecorder.h"
#include "ui/MacroStepRow.h"
#include "ui/Typography.h"

#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace quillo::ui {

using StepType = model::MacroStep::StepType;

MacroStepList::MacroStepList(KeyRecorder& recorder, const platform::KeyboardLayout& keyboardLayout,
                             QWidget* parent)
    : QWidget(parent), recorder_(recorder), keyboardLayout_(keyboardLayout) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);

    empty_ = new QLabel(tr("No steps yet. Add a step below."), this);
    empty_->setObjectName(QStringLiteral("noSteps"));
    empty_->setFont(typography::caption());
    typography::makeSecondary(empty_);
    column->addWidget(empty_);

    rowsLayout_ = new QVBoxLayout;
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    rowsLayout_->setSpacing(0);
    column->addLayout(rowsLayout_);

    addStep_ = new QPushButton(tr("+ Add Step"), this);
    addStep_->setObjectName(QStringLiteral("addStep"));
    addStep_->setAutoDefault(false);
    auto* menu = new QMenu(addStep_);
    const auto addItem = [this, menu](const QString& label, StepType type) {
        QAction* action = menu->addAction(label);
        connect(action, &QAction::triggered, this, [this, type] {
            std::vector<model::MacroStep> steps = steps_;
            steps.push_back(model::MacroStep::make(type));
            change(std::move(steps));
        });
    };
    addItem(tr("Type Text"), StepType::typeText);
    addItem(tr("Press Key"), StepType::pressKey);
    addItem(tr("Wait (ms)"), StepType::wait);
    addStep_->setMenu(menu);
    auto* buttonLine = new QHBoxLayout;
    buttonLine->addWidget(addStep_);
    buttonLine->addStretch(1);
    column->addLayout(buttonLine);

    connect(&recorder_, &KeyRecorder::recordingChanged, this, &MacroStepList::refreshRows);
    rebuildRows();
}

void MacroStepList::setSteps(const std::vector<model::MacroStep>& steps) {
    const bool sameRows =
        std::equal(steps.begin(), steps.end(), steps_.begin(), steps_.end(),
                   [](const auto& a, const auto& b) { return a.id == b.id && a.type == b.type; });
    steps_ = steps;
    if (sameRows) {
        refreshRows();
    } else {
        rebuildRows();
    }
}

void MacroStepList::change(std::vector<model::MacroStep> steps) {
    setSteps(steps);
    emit stepsChanged(steps_);
}

void MacroStepList::rebuildRows() {
    for (MacroStepRow* row : rows_) {
        // The row may be the sender of the signal being handled.
        row->hide();
        row->disconnect(this);
        row->deleteLater();
    }
    rows_.clear();
    for (const model::MacroStep& step : steps_) {
        auto* row = new MacroStepRow(step, keyboardLayout_, this);
        const model::Uuid id = step.id;
        connect(row, &MacroStepRow::stepEdited, this, [this](const model::MacroStep& edited) {
            std::vector<model::MacroStep> steps = steps_;
            for (model::MacroStep& s : steps) {
                if (s.id == edited.id) {
                    s = edited;
                    break;
                }
            }
            change(std::move(steps));
        });
        connect(row, &MacroStepRow::recordClicked, this, [this, id] { record(id); });
        connect(row, &MacroStepRow::deleteClicked, this, [this, id] {
            std::vector<model::MacroStep> steps = steps_;
            std::erase_if(steps, [&](const model::MacroStep& s) { return s.id == id; });
            change(std::move(steps));
        });
        connect(row, &MacroStepRow::moveUpClicked, this, [this, id] { move(id, -1); });
        connect(row, &MacroStepRow::moveDownClicked, this, [this, id] { move(id, 1); });
        rowsLayout_->addWidget(row);
        rows_.push_back(row);
    }
    refreshRows();
}

void MacroStepList::refreshRows() {
    empty_->setVisible(steps_.empty());
    const auto recording = recorder_.recordingStepId();
    for (std::size_t i = 0; i < rows_.size() && i < steps_.size(); ++i) {
        const model::MacroStep& step = steps_[i];
        const std::size_t index = indexOf(step.id).value_or(0);
        rows_[i]->setState(step, recording == step.id, index > 0, index + 1 < steps_.size());
    }
}

std::optional<std::size_t> MacroStepList::indexOf(const model::Uuid& id) const {
    const auto found = std::find_if(steps_.begin(), steps_.end(),
                                    [&](const model::MacroStep& s) { return s.id == id; });
    if (found == steps_.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - steps_.begin());
}

void MacroStepList::record(const model::Uuid& id) {
    if (recorder_.recordingStepId() == id) {
        recorder_.stop();
        return;
    }
    QPointer<MacroStepList> self(this);
    recorder_.startStep(id, [self, id](RecordedKey key) {
        if (!self) {
            return;
        }
        const auto index = self->indexOf(id);
        if (!index) {
            return;
        }
        std::vector<model::MacroStep> steps = self->steps_;
        steps[*index].keyCode = key.keyCode;
        steps[*index].modifiers = key.modifiers;
        self->change(std::move(steps));
    });
}

void MacroStepList::move(const model::Uuid& id, int by) {
    const auto index = indexOf(id);
    if (!index) {
        return;
    }
    const auto from = static_cast<std::ptrdiff_t>(*index);
    const std::ptrdiff_t to = from + by;
    if (to < 0 || to >= static_cast<std::ptrdiff_t>(steps_.size())) {
        return;
    }
    std::vector<model::MacroStep> steps = steps_;
    std::swap(steps[static_cast<std::size_t>(from)], steps[static_cast<std::size_t>(to)]);
    change(std::move(steps));
}

} // namespace quillo::ui
