#include "ui/SnippetTransfer.h"

#include "model/SnippetDocument.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <filesystem>

namespace quillo::ui {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("quillo::ui::SnippetTransfer", text);
}

} // namespace

TransferOutcome exportSnippets(const model::SnippetStore& store, const QString& path) {
    const std::string document = model::encodeSnippets(store.snippets());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(document.data(), static_cast<qint64>(document.size())) !=
            static_cast<qint64>(document.size()) ||
        !file.commit()) {
        return {false,
                tr("Export failed: %1 could not be written (%2)").arg(path, file.errorString())};
    }
    const auto count = store.snippets().size();
    return {true, count == 1 ? tr("Exported 1 snippet to %1").arg(path)
                             : tr("Exported %1 snippets to %2").arg(count).arg(path)};
}

TransferOutcome importSnippets(model::SnippetStore& store, const QString& path) {
    // Read through the store's files, as the snippets file is: the same limit on size and the
    // same reasons for a file that cannot be read.
    const std::filesystem::path file(QFile::encodeName(path).toStdString());
    const auto before = store.snippets().size();
    if (const auto error = store.importSnippetsFromFile(file)) {
        const QString reason = error->unreadable
                                   ? tr("Import failed: %1 could not be read (%2)")
                                   : tr("Import failed: %1 is not a Quillo snippets file (%2)");
        return {false, reason.arg(path, QString::fromStdString(error->description))};
    }
    const auto count = store.snippets().size() - before;
    return {true, count == 1 ? tr("Imported 1 snippet from %1").arg(path)
                             : tr("Imported %1 snippets from %2").arg(count).arg(path)};
}

} // namespace quillo::ui
