#include "ui/AppPicker.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quillo::ui {

namespace {

QIcon iconFor(const QString& iconName, QSize size) {
    QIcon icon = QFileInfo(iconName).isAbsolute() ? QIcon(iconName) : QIcon::fromTheme(iconName);
    if (icon.isNull()) {
        icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
    }
    if (icon.isNull()) {
        // An empty square keeps the names of icon-less entries in line with the others.
        QPixmap blank(size);
        blank.fill(Qt::transparent);
        icon = QIcon(blank);
    }
    return icon;
}

} // namespace

AppPicker::AppPicker(Source source, QWidget* parent) : QDialog(parent), source_(std::move(source)) {
    setObjectName(QStringLiteral("appPicker"));
    setWindowTitle(tr("Add App"));
    // The settings window stays usable while the chooser is open.
    setWindowModality(Qt::NonModal);
    resize(460, 520);
    auto* column = new QVBoxLayout(this);

    search_ = new QLineEdit(this);
    search_->setPlaceholderText(tr("Search applications..."));
    search_->setClearButtonEnabled(true);
    column->addWidget(search_);

    list_ = new QListWidget(this);
    list_->setIconSize(QSize(24, 24));
    list_->setUniformItemSizes(true);
    column->addWidget(list_, 1);

    auto* form = new QFormLayout;
    idField_ = new QLineEdit(this);
    idField_->setObjectName(QStringLiteral("appId"));
    idField_->setPlaceholderText(tr("Choose above, or type an id"));
    idField_->setToolTip(
        tr("The id Quillo matches while the application is in front: on X11 the class of its "
           "window (the second string of WM_CLASS; `xprop WM_CLASS` shows it). For a program "
           "that is not running the id shown is a guess from its launcher; type another if it "
           "differs."));
    form->addRow(tr("Application id:"), idField_);
    column->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    add_ = buttons->addButton(tr("Add"), QDialogButtonBox::AcceptRole);
    add_->setEnabled(false);
    column->addWidget(buttons);

    connect(search_, &QLineEdit::textChanged, this, &AppPicker::filter);
    connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item && !item->isHidden()) {
            idField_->setText(item->data(Qt::UserRole).toString());
        }
    });
    connect(idField_, &QLineEdit::textChanged, this,
            [this] { add_->setEnabled(!chosenId().isEmpty()); });
    connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    refreshTimer_ = new QTimer(this);
    refreshTimer_->setInterval(refreshMilliseconds);
    connect(refreshTimer_, &QTimer::timeout, this, &AppPicker::refresh);
    refreshTimer_->start();
    refresh();
}

QString AppPicker::chosenId() const {
    return idField_->text().trimmed();
}

void AppPicker::refresh() {
    std::vector<platform::Application> entries = source_();
    if (entries == entries_ && list_->count() == static_cast<int>(entries_.size())) {
        return;
    }
    entries_ = std::move(entries);
    fill();
}

void AppPicker::fill() {
    const QListWidgetItem* current = list_->currentItem();
    const QString currentId = current ? current->data(Qt::UserRole).toString() : QString();
    // Filling the list must not overwrite an id the user typed.
    const QSignalBlocker blocker(list_);
    list_->clear();
    for (const platform::Application& entry : entries_) {
        const QString id = QString::fromStdString(entry.id);
        QString label = QString::fromStdString(entry.name) + QStringLiteral("  —  ") + id;
        if (entry.isOpen) {
            label += tr("  (open)");
        }
        auto* item = new QListWidgetItem(label, list_);
        item->setIcon(iconFor(QString::fromStdString(entry.iconName), list_->iconSize()));
        item->setData(Qt::UserRole, id);
        item->setToolTip(entry.isOpen ? tr("Running now: the id is the class of its window.")
                                      : tr("Not running: the id is a guess from its launcher."));
        if (!currentId.isEmpty() && id == currentId) {
            list_->setCurrentItem(item);
        }
    }
    filter(search_->text());
}

void AppPicker::filter(const QString& text) {
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        item->setHidden(!item->text().contains(text, Qt::CaseInsensitive));
    }
}

} // namespace quillo::ui
