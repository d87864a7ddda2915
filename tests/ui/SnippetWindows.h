// What the tests of the snippet windows share: a way to press the controls that take a menu or a
// segment, and to read a snippet back from the store.
#pragma once

#include "model/SnippetStore.h"
#include "ui/MacroStepList.h"
#include "ui/SegmentedPicker.h"

#include <QAbstractButton>
#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <optional>

namespace quillo::uitest {

inline void choose(ui::SegmentedPicker* picker, int index) {
    QTest::mouseClick(picker->button(index), Qt::LeftButton);
}

// "+ Add Step", then the item with this label.
inline void addStep(ui::MacroStepList* steps, const QString& item) {
    for (QAction* action : steps->addStepButton()->menu()->actions()) {
        if (action->text() == item) {
            action->trigger();
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no item ") + item));
}

inline std::optional<model::Snippet> stored(const model::SnippetStore& store,
                                            const model::Uuid& id) {
    for (const auto& snippet : store.snippets()) {
        if (snippet.id == id) {
            return snippet;
        }
    }
    return std::nullopt;
}

} // namespace quillo::uitest
