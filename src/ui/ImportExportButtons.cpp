#include "ui/ImportExportButtons.h"

#include "ui/Symbols.h"
#include "ui/Typography.h"

#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QPointer>
#include <QSaveFile>
#include <filesystem>
#include <iostream>

namespace quillo::ui {

ImportExportButtons::ImportExportButtons(model::SnippetStore& store, QWidget* parent)
    : QToolButton(parent), store_(store) {
    setObjectName(QStringLiteral("importExport"));
    setIcon(symbolIcon(QStringLiteral("square.and.arrow.up.on.square")));
    setAutoRaise(true);
    setPopupMode(QToolButton::InstantPopup);
    setFixedWidth(30);
    // The menu's own arrow would crowd the 30-point button.
    setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    setToolTip(tr("Export or import snippets"));

    auto* menu = new QMenu(this);
    export_ = menu->addAction(tr("Export Snippets..."));
    import_ = menu->addAction(tr("Import Snippets..."));
    setMenu(menu);

    connect(export_, &QAction::triggered, this, [this] {
        chooseFile(Choice::exportFile, [this](const QString& path) {
            if (!path.isEmpty()) {
                exportTo(path);
            }
        });
    });
    connect(import_, &QAction::triggered, this, [this] {
        chooseFile(Choice::importFile, [this](const QString& path) {
            if (!path.isEmpty()) {
                importFrom(path);
            }
        });
    });
}

void ImportExportButtons::chooseFile(Choice choice, std::function<void(const QString&)> done) {
    if (chooser_) {
        chooser_(choice, std::move(done));
        return;
    }
    // One file dialog at a time: a second click brings the open one back instead.
    if (dialog_) {
        dialog_->raise();
        dialog_->activateWindow();
        return;
    }
    auto* dialog = new QFileDialog(window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::NonModal);
    dialog->setNameFilter(QStringLiteral("JSON (*.json)"));
    dialog->setDefaultSuffix(QStringLiteral("json"));
    if (choice == Choice::exportFile) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->selectFile(QString::fromLatin1(suggestedFileName));
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    // Shown without blocking: the user may go on editing, and the list is read when the dialog
    // closes.
    QPointer<ImportExportButtons> self(this);
    connect(dialog, &QFileDialog::fileSelected, this, [self, done](const QString& path) {
        if (self) {
            done(path);
        }
    });
    dialog_ = dialog;
    dialog->show();
}

bool ImportExportButtons::exportTo(const QString& path) {
    const std::string document = model::encodeSnippets(store_.snippets());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(document.data(), static_cast<qint64>(document.size())) !=
            static_cast<qint64>(document.size()) ||
        !file.commit()) {
        fail(tr("Export failed: %1 could not be written (%2)").arg(path, file.errorString()));
        return false;
    }
    const auto count = store_.snippets().size();
    emit succeeded(count == 1 ? tr("Exported 1 snippet to %1").arg(path)
                              : tr("Exported %1 snippets to %2").arg(count).arg(path));
    return true;
}

bool ImportExportButtons::importFrom(const QString& path) {
    // Read through the store's files, as the snippets file is: the same limit on size and the
    // same reasons for a file that cannot be read.
    const std::filesystem::path file(QFile::encodeName(path).toStdString());
    const auto before = store_.snippets().size();
    if (const auto error = store_.importSnippetsFromFile(file)) {
        const QString reason = error->unreadable
                                   ? tr("Import failed: %1 could not be read (%2)")
                                   : tr("Import failed: %1 is not a Quillo snippets file (%2)");
        fail(reason.arg(path, QString::fromStdString(error->description)));
        return false;
    }
    const auto count = store_.snippets().size() - before;
    emit succeeded(count == 1 ? tr("Imported 1 snippet from %1").arg(path)
                              : tr("Imported %1 snippets from %2").arg(count).arg(path));
    return true;
}

void ImportExportButtons::fail(const QString& message) {
    std::cout << message.toStdString() << std::endl;
    emit failed(message);
}

} // namespace quillo::ui
