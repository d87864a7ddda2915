#include "ui/ImportExportButtons.h"

#include "SnippetWindows.h"
#include "model/SnippetDocument.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
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

void writeFile(const QString& path, const QByteArray& bytes, qint64 size = 0) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    QVERIFY(size == 0 || file.resize(size));
}

// The list page, whose import/export menu answers with `path` instead of a file dialog.
struct Page : uitest::ListPage {
    QTemporaryDir folder;
    QString path = folder.filePath(QStringLiteral("chosen.json"));
    std::vector<ImportExportButtons::Choice> asked;

    Page() {
        view.importExport()->setFileChooser([this](auto choice, auto done) {
            asked.push_back(choice);
            done(path);
        });
    }
    void exportFile() { view.importExport()->exportAction()->trigger(); }
    void importFile() { view.importExport()->importAction()->trigger(); }
};

} // namespace

class ImportExportButtonsTest : public QObject {
    Q_OBJECT
  private slots:
    // Every import adds copies under fresh ids, so a file imported twice is there twice; and
    // cancelling the chooser does nothing.
    void anExportedFileImportsBackAsCopiesWithFreshIds() {
        Page page;
        const std::vector<model::Snippet> before = page.store().snippets();
        page.exportFile();
        QFile file(page.path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().toStdString(), model::encodeSnippets(before));

        page.importFile();
        page.importFile();
        QCOMPARE(page.asked.front(), ImportExportButtons::Choice::exportFile);
        QCOMPARE(page.asked.back(), ImportExportButtons::Choice::importFile);
        const auto& after = page.store().snippets();
        QCOMPARE(after.size(), 3 * before.size());
        std::set<model::Uuid> ids;
        for (std::size_t i = 0; i < after.size(); ++i) {
            model::Snippet copy = after[i];
            ids.insert(copy.id);
            copy.id = before[i % before.size()].id;
            QVERIFY(copy == before[i % before.size()]);
        }
        QCOMPARE(ids.size(), after.size());
        QCOMPARE(page.view.message()->text(),
                 QStringLiteral("Imported 3 snippets from ") + page.path);
        QCOMPARE(model::SnippetStore(page.sim().services().files).snippets().size(), after.size());

        page.path.clear();
        CapturedOutput output;
        page.importFile();
        page.exportFile();
        QCOMPARE(page.store().snippets().size(), after.size());
        QCOMPARE(output.text(), std::string());
    }

    // A file that cannot be used adds nothing and says why, in the page and on standard output;
    // it is read as the snippets file is, within the same limit.
    void aFailureChangesNothingAndSaysWhy() {
        const struct {
            const char* name;
            std::function<void(Page&)> make;
            bool isExport;
            std::string start; // after "Import failed: FILE" or "Export failed: FILE"
            std::string reason;
        } cases[] = {
            // The last snippet lacks "blockedApps": not even the others are added.
            {"broken",
             [](Page& page) {
                 auto text =
                     QByteArray::fromStdString(model::encodeSnippets(page.store().snippets()));
                 writeFile(page.path, text.replace(text.lastIndexOf("blockedApps"), 11, "other"));
             },
             false, " is not a Quillo snippets file (", "blockedApps"},
            {"missing", [](Page&) {}, false, " could not be read (Could not read ", ""},
            {"folder", [](Page& page) { QVERIFY(QDir().mkpath(page.path)); }, false,
             " could not be read (", std::strerror(EISDIR)},
            // Refused by its size alone, so a sparse file serves: nothing of it is read.
            {"large",
             [](Page& page) { writeFile(page.path, "[", model::SnippetStore::maxFileBytes + 1); },
             false, " could not be read (",
             "larger than the limit of " + std::to_string(model::SnippetStore::maxFileBytes) +
                 " bytes"},
            {"unwritable", [](Page& page) { page.path += QStringLiteral("/no such folder/out"); },
             true, " could not be written (", ""},
        };
        for (const auto& c : cases) {
            Page page;
            c.make(page);
            CapturedOutput output;
            c.isExport ? page.exportFile() : page.importFile();
            QCOMPARE(page.store().snippets().size(), std::size_t{3});
            const std::string message = page.view.message()->text().toStdString();
            const std::string start = std::string(c.isExport ? "Export" : "Import") +
                                      " failed: " + page.path.toStdString() + c.start;
            QVERIFY2(message.starts_with(start) && message.size() > start.size(), c.name);
            QVERIFY2(message.find(c.reason) != std::string::npos, c.name);
            QVERIFY2(page.view.message()->isVisible(), c.name);
            QCOMPARE(output.text(), message + "\n");
        }
    }
};

QUILLO_UI_TEST(ImportExportButtonsTest);
#include "ImportExportButtonsTest.moc"
