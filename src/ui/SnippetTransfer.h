// The work behind "Export Snippets..." and "Import Snippets...", shared by the window's buttons
// and `quillo export` / `quillo import`, so that both follow the same rules and say the same:
// "Exported 11 snippets to FILE", "Imported 8 snippets from FILE", or "Export failed: " and
// "Import failed: " followed by the file, the reason in plain words and the technical detail.
#pragma once

#include "model/SnippetStore.h"

#include <QString>

namespace quillo::ui {

struct TransferOutcome {
    bool succeeded = false;
    QString message;
};

// Writes the whole list to the file, replacing it as a whole or not at all.
TransferOutcome exportSnippets(const model::SnippetStore& store, const QString& path);
// Appends every snippet of the file and saves, or none when the file cannot be read or is no
// snippet document.
TransferOutcome importSnippets(model::SnippetStore& store, const QString& path);

} // namespace quillo::ui
