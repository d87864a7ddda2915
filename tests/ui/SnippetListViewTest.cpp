#include "ui/SnippetListView.h"

#include "SnippetWindows.h"
#include "ui/NewSnippetSheet.h"
#include "ui/SnippetEditorView.h"
#include "ui/SnippetRow.h"

using namespace quillo;
using Page = uitest::ListPage;

class SnippetListViewTest : public QObject {
    Q_OBJECT
  private slots:
    void searchIgnoresCaseAndIsUsedAsTyped() {
        Page page;
        page.store().add({.id = model::Uuid::random(), .shortcut = "sig", .replacement = "Best"});
        const QString omw = QStringLiteral("omw"), link = QStringLiteral("link"),
                      hotkey = QStringLiteral("Ctrl+Alt+M"), sig = QStringLiteral("sig");
        const std::pair<QString, QStringList> cases[] = {
            {QStringLiteral("OMW"), {omw}},
            {QStringLiteral("WAY"), {omw, hotkey}},
            // Not trimmed: a space finds every snippet with a space, "link"'s <a href> included.
            {QStringLiteral(" "), {omw, link, hotkey}},
            {QStringLiteral("way "), {}},
            {QStringLiteral("CLIPBOARD"), {link}},
            {QStringLiteral("bEsT"), {sig}},
            {QString(), {omw, link, hotkey, sig}},
        };
        for (const auto& [text, titles] : cases) {
            page.search(text);
            QCOMPARE(page.titles(), titles);
        }
    }

    // A search hides rows, not the selection: the editor stays, and minus deletes what it hides.
    void aSearchThatHidesTheSelectionKeepsIt() {
        Page page;
        page.clickRow(1);
        const model::Uuid link = page.store().snippets()[1].id;
        QTest::keyClicks(page.view.editor()->shortcutField(), QStringLiteral("s"));
        QCOMPARE(page.titles()[1], QStringLiteral("links")); // an edit shows in its row at once
        const QModelIndex row = page.view.listModel()->index(1);
        QVERIFY(row.data(ui::SnippetRow::isEnabledRole).toBool());
        QVERIFY(row.data(ui::SnippetRow::replacementRole).toString().contains("{clipboard}"));
        page.search(QStringLiteral("nothing like it"));
        QCOMPARE(page.titles(), QStringList{});
        QCOMPARE(page.view.selection(), std::set<model::Uuid>{link});
        QVERIFY(page.view.editor()->isVisible());
        QCOMPARE(page.view.editor()->shortcutField()->text(), QStringLiteral("links"));

        page.search(QString());
        QVERIFY(page.view.list()->selectionModel()->isRowSelected(1, {}));
        page.search(QStringLiteral("omw"));
        QTest::mouseClick(page.view.removeButton(), Qt::LeftButton);
        QCOMPARE(page.store().snippets().size(), std::size_t{2});
        QVERIFY(!uitest::stored(page.store(), link));
    }

    // Minus and Delete say what they did; Undo and Ctrl+Z put the snippets back where they were.
    void minusDeletesEverySelectedRowAndUndoBringsThemBack() {
        Page page;
        const std::vector<model::Snippet> before = page.store().snippets();
        QVERIFY(!page.view.removeButton()->isEnabled());
        QVERIFY(page.view.placeholder()->isVisible());
        const model::Uuid kept = page.store().snippets()[1].id;
        page.clickRow(0);
        page.clickRow(2, Qt::ControlModifier);
        QCOMPARE(page.view.selection().size(), std::size_t{2});
        QVERIFY(!page.view.placeholder()->isVisible());

        QTest::mouseClick(page.view.removeButton(), Qt::LeftButton);
        QCOMPARE(page.store().snippets().size(), std::size_t{1});
        QCOMPARE(page.store().snippets()[0].id, kept);
        QVERIFY(page.view.selection().empty());
        QVERIFY(!page.view.removeButton()->isEnabled());
        QVERIFY(page.view.placeholder()->isVisible());
        QCOMPARE(page.view.message()->text(), QStringLiteral("Deleted 2 snippets"));
        QTest::mouseClick(page.view.undoButton(), Qt::LeftButton);
        QVERIFY(page.store().snippets() == before);
        QVERIFY(model::SnippetStore(page.sim().services().files).snippets() == before);

        uitest::activate(page.view);
        page.clickRow(1);
        QTest::keyClick(page.view.list(), Qt::Key_Delete);
        QCOMPARE(page.view.message()->text(), QStringLiteral("Deleted 1 snippet"));
        QTest::keyClick(page.view.list(), Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(page.store().snippets() == before);
        QVERIFY(!page.view.message()->isVisible());
    }

    // A hotkey snippet is added without a hotkey, and keeps the shortcut typed before.
    void thePlusButtonOpensTheSheetAndAddedSnippetsAreNotSelected() {
        Page page;
        QTest::mouseClick(page.view.addButton(), Qt::LeftButton);
        ui::NewSnippetSheet* sheet = page.view.newSnippetSheet();
        QVERIFY(sheet->isVisible());
        QTest::keyClicks(sheet->shortcutField(), QStringLiteral("kept"));
        sheet->triggerPicker()->setCurrentIndex(2);
        emit sheet->triggerPicker()->activated(2);
        QVERIFY(!sheet->shortcutField()->isVisible());
        QTest::keyClicks(sheet->replacementField(), QStringLiteral("Signed, me"));
        QTest::keyClick(sheet->replacementField(), Qt::Key_Return, Qt::ControlModifier);
        const model::Snippet& added = page.store().snippets().at(3);
        QVERIFY(added.triggerMode == model::Snippet::TriggerMode::hotkey);
        QCOMPARE(added.shortcut, std::string("kept"));
        QVERIFY(!added.hotkeyKeyCode && !added.hotkeyModifiers);
        QCOMPARE(page.titles().last(), QStringLiteral("Hotkey (not set)"));
        QVERIFY(page.view.selection().empty());
    }

    // The file line follows the snippets file through another program's hands, and its two
    // choices do what they say.
    void theFileLineSaysWhatIsWrongWithTheFileAndOffersTheWaysOut() {
        Page page;
        const auto file = *page.store().snippetsFile();
        const auto line = [&page] { return page.view.fileMessage()->text(); };
        // Another program half-writes the file, then the user changes the first snippet.
        const auto halfWrittenThenChanged = [&](const QString& typed) {
            page.sim().writeFileOutside(file, "[{");
            page.sim().runFor(std::chrono::seconds(1));
            QVERIFY(line().contains(QStringLiteral("does not read: invalid JSON at byte 3")));
            QVERIFY(page.view.fileMessage()->isVisible() && !page.view.reloadButton()->isVisible());
            page.clickRow(0);
            QTest::keyClicks(page.view.editor()->shortcutField(), typed);
            QVERIFY(line().endsWith(QStringLiteral("Changes made here are not saved yet.")));
        };
        halfWrittenThenChanged(QStringLiteral("x"));
        page.sim().replaceFileOutside(file, model::encodeSnippets(page.store().defaultSnippets()));
        QTest::mouseClick(page.view.reloadButton(), Qt::LeftButton);
        QCOMPARE(page.titles().first(), QStringLiteral("omw"));
        halfWrittenThenChanged(QStringLiteral("y"));
        QTest::mouseClick(page.view.overwriteButton(), Qt::LeftButton);
        QCOMPARE(line(), QString());
        QCOMPARE(model::SnippetStore(page.sim().services().files).snippets()[0].shortcut,
                 std::string("omwy"));

        page.sim().deleteFileOutside(file);
        page.sim().runFor(std::chrono::seconds(1));
        QVERIFY(line().startsWith(QStringLiteral("Another program deleted")));
        QTest::keyClicks(page.view.editor()->shortcutField(), QStringLiteral("z"));
        QVERIFY(!page.view.fileMessage()->isVisible());
        QVERIFY(page.view.message()->text().contains(QStringLiteral("wrote this list")));
    }
};

QUILLO_UI_TEST(SnippetListViewTest);
#include "SnippetListViewTest.moc"
