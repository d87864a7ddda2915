#include "ui/AppPicker.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillo::ui {

AppPicker::AppPicker(std::vector<platform::Application> applications, QWidget* parent)
    : QDialog(parent), entries_(std::move(applications)) {
    setObjectName(QStringLiteral("appPicker"));
    setWindowTitle(tr("Add App"));
    resize(420, 480);
    auto* column = new QVBoxLayout(this);

    search_ = new QLineEdit(this);
    search_->setPlaceholderText(tr("Search applications..."));
    search_->setClearButtonEnabled(true);
    column->addWidget(search_);

    list_ = new QListWidget(this);
    list_->setIconSize(QSize(24, 24));
    list_->setUniformItemSizes(true);
    for (const platform::Application& entry : entries_) {
        const QString id = QString::fromStdString(entry.id);
        const QString iconName = QString::fromStdString(entry.iconName);
        QString label = QString::fromStdString(entry.name);
        if (entry.name != entry.id) {
            label += QStringLiteral("  —  ") + id;
        }
        if (entry.isOpen) {
            label += tr("  (open)");
        }
        auto* item = new QListWidgetItem(label, list_);
        QIcon icon =
            QFileInfo(iconName).isAbsolute() ? QIcon(iconName) : QIcon::fromTheme(iconName);
        if (icon.isNull()) {
            icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
        }
        if (icon.isNull()) {
            // An empty square keeps the names of icon-less entries in line with the others.
            QPixmap blank(list_->iconSize());
            blank.fill(Qt::transparent);
            icon = QIcon(blank);
        }
        item->setIcon(icon);
        item->setData(Qt::UserRole, id);
    }
    column->addWidget(list_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    add_ = buttons->addButton(tr("Add"), QDialogButtonBox::AcceptRole);
    add_->setEnabled(false);
    column->addWidget(buttons);

    connect(search_, &QLineEdit::textChanged, this, &AppPicker::filter);
    connect(list_, &QListWidget::currentRowChanged, this,
            [this](int row) { add_->setEnabled(row >= 0 && !list_->item(row)->isHidden()); });
    connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString AppPicker::chosenId() const {
    const QListWidgetItem* item = list_->currentItem();
    return item && !item->isHidden() ? item->data(Qt::UserRole).toString() : QString();
}

void AppPicker::filter(const QString& text) {
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        item->setHidden(!item->text().contains(text, Qt::CaseInsensitive));
    }
}

} // namespace quillo::ui
