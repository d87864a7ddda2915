// The menu at the right end of the snippet list's bottom bar: "Export Snippets..." writes the
// whole list to a JSON file of the user's choice (suggested name "Quillo_snippets.json"), and
// "Import Snippets..." appends the snippets of such a file to the list.
//
// The file is replaced as a whole or not at all. An import adds every snippet of the file or,
// when the file cannot be read or is no snippet document, none. Each action says what it did
// ("Imported 8 snippets from FILE", "Exported 11 snippets to FILE") through succeeded(). A failure
// is printed as "Export failed: " or "Import failed: " followed by the file, the reason in plain
// words and the technical detail, and reported through failed() so that the window can show it.
#pragma once

#include "model/SnippetStore.h"
#include "ui/SnippetTransfer.h"

#include <QDialog>
#include <QPointer>
#include <QString>
#include <QToolButton>
#include <functional>

namespace quillo::ui {

class ImportExportButtons : public QToolButton {
    Q_OBJECT
  public:
    static constexpr const char* suggestedFileName = "Quillo_snippets.json";

    enum class Choice { exportFile, importFile };
    // Asks the user for a file and answers with its path, or an empty path when cancelled. The
    // window stays usable meanwhile.
    using FileChooser = std::function<void(Choice, std::function<void(const QString&)>)>;

    explicit ImportExportButtons(model::SnippetStore& store, QWidget* parent = nullptr);

    // Replaces the file dialogs (for tests, which cannot answer one).
    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    QAction* exportAction() const { return export_; }
    QAction* importAction() const { return import_; }

    // The whole work of each action once a path is chosen; true when it succeeded.
    bool exportTo(const QString& path);
    bool importFrom(const QString& path);

  signals:
    // The message that was printed for a failure.
    void failed(const QString& message);
    void succeeded(const QString& message);

  private:
    void fail(const QString& message);
    bool report(const TransferOutcome& outcome);
    void chooseFile(Choice choice, std::function<void(const QString&)> done);

    model::SnippetStore& store_;
    FileChooser chooser_;
    QPointer<QDialog> dialog_;
    QAction* export_;
    QAction* import_;
};

} // namespace quillo::ui
