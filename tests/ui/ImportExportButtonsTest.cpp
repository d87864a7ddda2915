#include "ui/ImportExportButtons.h"

#include "UiTest.h"
#include "model/SnippetDocument.h"
#include "ui/SnippetListView.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <functional>
#include <iostream>
#include <set>
#include <sstream>

using namespace quillo;
using ui::ImportExportButtons;

namespace {

// Everything written to standard output while it lives.
class CapturedOutput {
  public:
    CapturedOutput() : previous_(std::cout.rdbuf(text_.rdbuf())) {}
    ~CapturedOutput() { std::cout.rdbuf(previous_); }
    std::string text() const { return text_.str(); }

  private:
    std::ostringstream text_;
    std::streambuf* previous_;
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The list page, whose import/export menu answers with `path` instead of a file dialog.
struct Page {
    uitest::Desktop desktop;
    QTemporaryDir folder;
    ui::SnippetListView view{desktop.delegate().snippetStore(), desktop.delegate().settings(),
                             desktop.delegate().services().keyboardLayout,
                             desktop.delegate().services().workspace};
    QString path = folder.filePath(QStringLiteral("chosen.json"));
    std::vector<ImportExportButtons::Choice> asked;

    Page() {
        view.importExport()->setFileChooser([this](auto choice, auto done) {
            asked.push_back(choice);
            done(path);
        });
        view.show();
    }
    model::SnippetStore& store() { return desktop.delegate().snippetStore(); }
    void exportFile() { view.importExport()->exportAction()->trigger(); }
    void importFile() { view.importExport()->importAction()->trigger(); }
};

std::set<model::Uuid> idsOf(const std::vector<model::Snippet>& snippets) {
    std::set<model::Uuid> ids;
    for (const auto& s : snippets) {
        ids.insert(s.id);
    }
    return ids;
}

} // namespace

class ImportExportButtonsTest : public QObject {
    Q_OBJECT
  private slots:
    void theMenuHasTheTwoItems() {
        Page page;
        const auto actions = page.view.importExport()->menu()->actions();
        QCOMPARE(actions.size(), 2);
        QCOMPARE(actions[0]->text(), QStringLiteral("Export Snippets..."));
        QCOMPARE(actions[1]->text(), QStringLiteral("Import Snippets..."));
        QCOMPARE(QString::fromLatin1(ImportExportButtons::suggestedFileName),
                 QStringLiteral("Quillo_snippets.json"));
    }

    void anExportedFileImportsBackAsCopiesWithFreshIds() {
        Page page;
        const std::vector<model::Snippet> before = page.store().snippets();
        page.exportFile();
        QCOMPARE(page.asked, std::vector{ImportExportButtons::Choice::exportFile});
        QFile file(page.path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        QCOMPARE(written.toStdString(), model::encodeSnippets(before));

        page.importFile();
        const auto& after = page.store().snippets();
        QCOMPARE(after.size(), 2 * before.size());
        QCOMPARE(idsOf(after).size(), after.size());
        for (std::size_t i = 0; i < before.size(); ++i) {
            model::Snippet copy = after[before.size() + i];
            QVERIFY(copy.id != before[i].id);
            copy.id = before[i].id;
            QVERIFY(copy == before[i]);
        }
        QVERIFY(!page.view.message()->isVisible());
    }

    void aFileImportedTwiceIsAddedTwice() {
        Page page;
        model::Snippet a = model::Snippet::make();
        a.shortcut = "sig";
        a.replacement = "Best";
        model::Snippet b = model::Snippet::make();
        b.shortcut = "tel";
        b.replacement = "555";
        writeFile(page.path, QByteArray::fromStdString(model::encodeSnippets({a, b})));
        page.importFile();
        page.importFile();
        const auto& snippets = page.store().snippets();
        QCOMPARE(snippets.size(), std::size_t{7});
        QCOMPARE(idsOf(snippets).size(), std::size_t{7});
        const char* shortcuts[] = {"sig", "tel", "sig", "tel"};
        for (std::size_t i = 0; i < 4; ++i) {
            QCOMPARE(snippets[3 + i].shortcut, std::string(shortcuts[i]));
        }
        // The additions were saved.
        model::SnippetStore reloaded(page.desktop.sim().services().files);
        QCOMPARE(reloaded.snippets().size(), std::size_t{7});
    }

    void aBrokenFileAddsNothingAndSaysWhy() {
        Page page;
        // The second snippet lacks "blockedApps".
        writeFile(
            page.path,
            R"([{"id":"7A0F4B0C-1C52-4F0E-9C39-0B7E1F7E1A01","shortcut":"a","replacement":"b",)"
            R"("isEnabled":true,"triggerMode":"Instant","allowedApps":[],"blockedApps":[]},)"
            R"({"id":"7A0F4B0C-1C52-4F0E-9C39-0B7E1F7E1A02","shortcut":"c","replacement":"d",)"
            R"("isEnabled":true,"triggerMode":"Instant","allowedApps":[]}])");
        CapturedOutput output;
        page.importFile();
        QCOMPARE(page.store().snippets().size(), std::size_t{3});
        QVERIFY(page.view.message()->isVisible());
        QVERIFY(page.view.message()->text().startsWith(QStringLiteral("Import failed: ")));
        QVERIFY(page.view.message()->text().size() > QStringLiteral("Import failed: ").size());
        QCOMPARE(QString::fromStdString(output.text()), page.view.message()->text() + "\n");
    }

    // The file is read as the snippets file is: within the same limit, and a file that cannot be
    // read says why, with the path, in the one message.
    void aFileThatCannotBeReadAddsNothingAndSaysWhy() {
        const struct {
            const char* name;
            std::function<void(const QString&)> make;
            std::string reason;
        } cases[] = {
            {"a folder", [](const QString& path) { QVERIFY(QDir().mkpath(path)); },
             std::strerror(EISDIR)},
            // Refused by its size alone, so a sparse file serves: nothing of it is read.
            {"larger than the limit",
             [](const QString& path) {
                 QFile file(path);
                 QVERIFY(file.open(QIODevice::WriteOnly));
                 file.write("[");
                 QVERIFY(file.resize(model::SnippetStore::maxFileBytes + 1));
             },
             "larger than the limit of " + std::to_string(model::SnippetStore::maxFileBytes) +
                 " bytes"},
        };
        for (const auto& c : cases) {
            Page page;
            c.make(page.path);
            CapturedOutput output;
            page.importFile();
            QCOMPARE(page.store().snippets().size(), std::size_t{3});
            const std::string message = page.view.message()->text().toStdString();
            QVERIFY2(message.starts_with("Import failed: Could not read " +
                                         page.path.toStdString() + ": "),
                     c.name);
            QVERIFY2(message.find(c.reason) != std::string::npos, c.name);
            QCOMPARE(output.text(), message + "\n");
        }
    }

    void aMissingFileFailsToImport() {
        Page page;
        CapturedOutput output;
        page.importFile();
        QCOMPARE(page.store().snippets().size(), std::size_t{3});
        QVERIFY(output.text().starts_with("Import failed: "));
    }

    void anUnwritableFolderFailsToExport() {
        Page page;
        page.path = page.folder.filePath(QStringLiteral("no such folder/out.json"));
        CapturedOutput output;
        page.exportFile();
        QVERIFY(output.text().starts_with("Export failed: "));
        QVERIFY(page.view.message()->text().startsWith(QStringLiteral("Export failed: ")));
    }

    void cancellingTheChooserDoesNothing() {
        Page page;
        page.path.clear();
        CapturedOutput output;
        page.importFile();
        page.exportFile();
        QCOMPARE(page.store().snippets().size(), std::size_t{3});
        QCOMPARE(output.text(), std::string());
    }
};

QUILLO_UI_TEST(ImportExportButtonsTest);
#include "ImportExportButtonsTest.moc"
