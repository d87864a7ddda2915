#include "ui/SnippetListView.h"

#include "SnippetWindows.h"
#include "UiTest.h"
#include "ui/NewSnippetSheet.h"
#include "ui/SnippetEditorView.h"
#include "ui/SnippetListModel.h"
#include "ui/SnippetRow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

using namespace quillo;
using ui::SnippetListView;
using TriggerMode = model::Snippet::TriggerMode;

namespace {

// The list on the simulated desktop, shown, with the three first-run snippets.
struct Page {
    uitest::Desktop desktop;
    SnippetListView view{desktop.delegate().snippetStore(), desktop.delegate().settings(),
                         desktop.delegate().services().keyboardLayout,
                         desktop.delegate().services().workspace};

    Page() {
        view.resize(760, 520);
        view.show();
    }
    model::SnippetStore& store() { return desktop.delegate().snippetStore(); }

    QStringList titles() const {
        QStringList result;
        const auto* rows = view.listModel();
        for (int row = 0; row < rows->rowCount(); ++row) {
            result << rows->index(row).data().toString();
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

} // namespace

class SnippetListViewTest : public QObject {
    Q_OBJECT
  private slots:
    void rowsShowTheShortcutOrTheHotkeyInLinuxWords() {
        Page page;
        QCOMPARE(page.titles(), (QStringList{QStringLiteral("omw"), QStringLiteral("link"),
                                             QStringLiteral("Ctrl+Alt+M")}));
        QCOMPARE(page.view.listModel()->index(2).data(ui::SnippetRow::replacementRole).toString(),
                 QStringLiteral("On my way!"));

        model::Snippet unset = model::Snippet::make();
        unset.triggerMode = TriggerMode::hotkey;
        unset.shortcut = "hidden";
        unset.isEnabled = false;
        page.store().add(unset);
        QCOMPARE(page.titles().last(), QStringLiteral("Hotkey (not set)"));
        QCOMPARE(page.view.listModel()->index(3).data(ui::SnippetRow::isEnabledRole).toBool(),
                 false);
    }

    void searchIgnoresCaseAndIsUsedAsTyped() {
        Page page;
        model::Snippet plain = model::Snippet::make();
        plain.shortcut = "sig";
        plain.replacement = "Best";
        page.store().add(plain);
        const QStringList all{QStringLiteral("omw"), QStringLiteral("link"),
                              QStringLiteral("Ctrl+Alt+M"), QStringLiteral("sig")};
        struct Case {
            QString text;
            QStringList titles;
        };
        const Case cases[] = {
            {QStringLiteral("OMW"), {QStringLiteral("omw")}},
            {QStringLiteral("WAY"), {QStringLiteral("omw"), QStringLiteral("Ctrl+Alt+M")}},
            // Not trimmed: a space finds every snippet with a space, "link"'s <a href> included.
            {QStringLiteral(" "),
             {QStringLiteral("omw"), QStringLiteral("link"), QStringLiteral("Ctrl+Alt+M")}},
            {QStringLiteral("way "), {}},
            {QStringLiteral("CLIPBOARD"), {QStringLiteral("link")}},
            {QStringLiteral("bEsT"), {QStringLiteral("sig")}},
            {QString(), all},
        };
        for (const Case& c : cases) {
            page.search(c.text);
            QCOMPARE(page.titles(), c.titles);
        }
    }

    void aSearchThatHidesTheSelectionKeepsIt() {
        Page page;
        page.clickRow(1);
        const model::Uuid link = page.store().snippets()[1].id;
        QCOMPARE(page.view.selection(), std::set<model::Uuid>{link});
        QCOMPARE(page.view.editor()->shortcutField()->text(), QStringLiteral("link"));

        page.search(QStringLiteral("nothing like it"));
        QCOMPARE(page.titles(), QStringList{});
        QCOMPARE(page.view.selection(), std::set<model::Uuid>{link});
        QVERIFY(page.view.editor()->isVisible());
        QCOMPARE(page.view.editor()->shortcutField()->text(), QStringLiteral("link"));

        page.search(QString());
        QVERIFY(page.view.list()->selectionModel()->isRowSelected(1, {}));
    }

    void minusDeletesEveryselectedRowAndClearsTheSelection() {
        Page page;
        QVERIFY(!page.view.removeButton()->isEnabled());
        QVERIFY(page.view.placeholder()->isVisible());
        const model::Uuid kept = page.store().snippets()[1].id;
        page.clickRow(0);
        page.clickRow(2, Qt::ControlModifier);
        QCOMPARE(page.view.selection().size(), std::size_t{2});
        QVERIFY(page.view.removeButton()->isEnabled());

        QTest::mouseClick(page.view.removeButton(), Qt::LeftButton);
        QCOMPARE(page.store().snippets().size(), std::size_t{1});
        QCOMPARE(page.store().snippets()[0].id, kept);
        QVERIFY(page.view.selection().empty());
        QVERIFY(!page.view.removeButton()->isEnabled());
        QVERIFY(page.view.placeholder()->isVisible());
        // The deletion was saved.
        model::SnippetStore reloaded(page.desktop.sim().services().files);
        QCOMPARE(reloaded.snippets().size(), std::size_t{1});
    }

    void minusAlsoDeletesSelectedSnippetsTheSearchHides() {
        Page page;
        page.clickRow(0);
        page.search(QStringLiteral("link"));
        QCOMPARE(page.view.selection().size(), std::size_t{1});
        page.view.deleteSelected();
        QCOMPARE(page.store().snippets().size(), std::size_t{2});
        QCOMPARE(page.store().snippets()[0].shortcut, std::string("link"));
    }

    void anEditShowsInItsRowAtOnce() {
        Page page;
        page.clickRow(0);
        QTest::keyClicks(page.view.editor()->shortcutField(), QStringLiteral("x"));
        QCOMPARE(page.titles().first(), QStringLiteral("omwx"));
        QCOMPARE(page.store().snippets()[0].shortcut, std::string("omwx"));
    }

    void thePlusButtonOpensTheSheetAndAddedSnippetsAreNotSelected() {
        Page page;
        QTest::mouseClick(page.view.addButton(), Qt::LeftButton);
        ui::NewSnippetSheet* sheet = page.view.newSnippetSheet();
        QVERIFY(sheet);
        QVERIFY(sheet->isVisible());
        sheet->triggerPicker()->setCurrentIndex(2);
        emit sheet->triggerPicker()->activated(2);
        QTest::keyClicks(sheet->replacementField(), QStringLiteral("Signed, me"));
        QTest::keyClick(sheet->replacementField(), Qt::Key_Return);
        QCOMPARE(page.store().snippets().size(), std::size_t{4});
        QCOMPARE(page.titles().last(), QStringLiteral("Hotkey (not set)"));
        QVERIFY(page.view.selection().empty());
    }
};

QUILLO_UI_TEST(SnippetListViewTest);
#include "SnippetListViewTest.moc"
