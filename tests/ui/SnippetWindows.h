// What the tests of the snippet windows share: the list page on a desktop, a way to press the
// controls that take a menu or a segment, and to read a snippet back from the store.
#pragma once

#include "UiTest.h"
#include "model/SnippetStore.h"
#include "ui/GeneralSettingsView.h"
#include "ui/KeyRecorder.h"
#include "ui/MacroStepList.h"
#include "ui/MacroStepRow.h"
#include "ui/ReplacementBox.h"
#include "ui/SegmentedPicker.h"
#include "ui/SettingsView.h"
#include "ui/SnippetListModel.h"
#include "ui/SnippetListView.h"
#include "ui/ToggleSwitch.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <algorithm>

namespace quillo::uitest {

// Shown and given the focus, as the user's click would: keys then reach shortcuts too.
inline void activate(QWidget& window) {
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
}

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
    const auto found = std::ranges::find(store.snippets(), id, &model::Snippet::id);
    return found == store.snippets().end() ? std::nullopt : std::optional(*found);
}

// The snippet list, shown, with the three first-run snippets.
struct ListPage : Desktop {
    ui::SnippetListView view{store(), settings(), delegate().services().keyboardLayout,
                             delegate().services().workspace};

    ListPage() {
        view.resize(760, 520);
        view.show();
    }
    QStringList titles() const {
        QStringList result;
        for (int row = 0; row < view.listModel()->rowCount(); ++row) {
            result << view.listModel()->index(row).data().toString();
        }
        return result;
    }
    void search(const QString& text) {
        view.searchField()->clear();
        QTest::keyClicks(view.searchField(), text);
    }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = {}) {
        const QRect rect = view.list()->visualRect(view.listModel()->index(row));
        QTest::mouseClick(view.list()->viewport(), Qt::LeftButton, modifiers, rect.center());
    }
};

} // namespace quillo::uitest
