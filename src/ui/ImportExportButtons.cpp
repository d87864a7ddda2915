#include "ui/ImportExportButtons.h"

#include "ui/SnippetTransfer.h"
#include "ui/Symbols.h"
#include "ui/Typography.h"

#include <QFileDialog>
#include <QMenu>
#include <QPointer>
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
    return report(exportSnippets(store_, path));
}

bool ImportExportButtons::importFrom(const QString& path) {
    return report(importSnippets(store_, path));
}

bool ImportExportButtons::report(const TransferOutcome& outcome) {
    if (outcome.succeeded) {
        emit succeeded(outcome.message);
    } else {
        fail(outcome.message);
    }
    return outcome.succeeded;
}

void ImportExportButtons::fail(const QString& message) {
    std::cout << message.toStdString() << std::endl;
    emit failed(message);
}

} // namespace quillo::ui
