#include "ui/AboutView.h"

#include "ui/Symbols.h"
#include "ui/Typography.h"

#include <QLabel>
#include <QVBoxLayout>

#ifndef QUILLO_VERSION
#define QUILLO_VERSION ""
#endif

namespace quillo::ui {

AboutView::AboutView(QWidget* parent) : AboutView(buildVersion(), parent) {}

AboutView::AboutView(const QString& version, QWidget* parent) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(12);
    column->addStretch(1);

    // The artwork carries its own rounded corners, so the 80-point square needs no clipping.
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("AppIconColor"));
    icon->setPixmap(
        assetIcon(QStringLiteral("AppIconColor")).pixmap(QSize(80, 80), devicePixelRatioF()));
    icon->setFixedSize(80, 80);
    column->addWidget(icon, 0, Qt::AlignHCenter);

    auto* name = new QLabel(tr("Quillo Snippets"), this);
    name->setFont(typography::title());
    column->addWidget(name, 0, Qt::AlignHCenter);

    auto* versionLabel = new QLabel(versionText(version), this);
    versionLabel->setObjectName(QStringLiteral("version"));
    versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    typography::makeSecondary(versionLabel);
    column->addWidget(versionLabel, 0, Qt::AlignHCenter);

    auto* summary = new QLabel(tr("Global text expansion for Linux"), this);
    summary->setFont(typography::caption());
    typography::makeTertiary(summary);
    column->addWidget(summary, 0, Qt::AlignHCenter);

    passwordFieldsNote_ = new QLabel(this);
    passwordFieldsNote_->setObjectName(QStringLiteral("passwordFieldsNote"));
    passwordFieldsNote_->setWordWrap(true);
    passwordFieldsNote_->setAlignment(Qt::AlignHCenter);
    passwordFieldsNote_->setFixedWidth(360);
    passwordFieldsNote_->setFont(typography::caption());
    typography::makeSecondary(passwordFieldsNote_);
    passwordFieldsNote_->hide();
    column->addWidget(passwordFieldsNote_, 0, Qt::AlignHCenter);

    column->addStretch(1);
}

void AboutView::setPasswordFieldsNote(const QString& note) {
    passwordFieldsNote_->setText(note);
    passwordFieldsNote_->setVisible(!note.isEmpty());
}

QString AboutView::versionText(const QString& version) {
    return tr("Version ") + (version.isEmpty() ? QStringLiteral("1.0") : version);
}

QString AboutView::buildVersion() {
    return QStringLiteral(QUILLO_VERSION);
}

} // namespace quillo::ui
