#include "ui/OnboardingView.h"

#include "ui/Symbols.h"
#include "ui/Typography.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillo::ui {

namespace {

const QColor blue(0x0a, 0x84, 0xff);
const QColor green(0x28, 0xa7, 0x45);

// The one action the window wants from the user: filled with the accent colour and large.
QPushButton* prominentButton(const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setDefault(true);
    button->setAutoDefault(true);
    QFont font = button->font();
    font.setPointSizeF(font.pointSizeF() * 1.1);
    button->setFont(font);
    button->setStyleSheet(QStringLiteral(
        "QPushButton { background: palette(highlight); color: palette(highlighted-text);"
        " border: none; border-radius: 7px; padding: 8px 22px; }"
        "QPushButton:hover { background: palette(highlight); }"
        "QPushButton:pressed { background: palette(dark); }"
        // The style's focus frame is hidden by the style sheet; a ring in the text colour
        // shows that Return or Space presses it.
        "QPushButton:focus { border: 2px solid palette(text); padding: 6px 20px; }"));
    return button;
}

QLabel* textLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    return label;
}

} // namespace

OnboardingView::OnboardingView(app::PermissionsManager& permissions, model::AppSettings& settings,
                               std::function<void(bool)> startEngine,
                               std::function<std::string()> untrustedReason, QWidget* parent)
    : QWidget(parent, Qt::Window), permissions_(permissions), settings_(settings),
      startEngine_(std::move(startEngine)), untrustedReason_(std::move(untrustedReason)) {
    setObjectName(QStringLiteral("onboarding"));
    setWindowTitle(QString::fromUtf8(windowTitleText));
    setWindowIcon(assetIcon(QStringLiteral("AppIconColor")));
    setFixedSize(520, 480);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(40, 40, 40, 40);
    column->setSpacing(24);
    column->addStretch(1);

    auto* symbol = new QLabel(this);
    symbol->setPixmap(
        symbolIcon(QStringLiteral("text.cursor"), blue).pixmap(QSize(48, 48), devicePixelRatioF()));
    column->addWidget(symbol, 0, Qt::AlignHCenter);

    auto* title = new QLabel(QString::fromUtf8(windowTitleText), this);
    title->setFont(typography::title());
    column->addWidget(title, 0, Qt::AlignHCenter);

    auto* explanation = textLabel(tr("Quillo watches your typing through the X server and "
                                     "expands your shortcuts in every application. It lives in "
                                     "the tray: its icon there opens the settings."),
                                  this);
    // A fixed width, so that the centred label is laid out at the width its lines wrap to.
    explanation->setFixedWidth(350);
    typography::makeSecondary(explanation);
    column->addWidget(explanation, 0, Qt::AlignHCenter);

    granted_ = new QWidget(this);
    {
        auto* group = new QVBoxLayout(granted_);
        group->setContentsMargins(0, 0, 0, 0);
        group->setSpacing(24);
        auto* label = new QWidget(granted_);
        auto* row = new QHBoxLayout(label);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(6);
        const QFont font = typography::headline();
        const int side = QFontMetrics(font).height();
        auto* check = new QLabel(label);
        check->setPixmap(symbolIcon(QStringLiteral("checkmark.circle.fill"), green)
                             .pixmap(QSize(side, side), devicePixelRatioF()));
        auto* text = new QLabel(tr("Quillo can see the keyboard"), label);
        text->setFont(font);
        typography::setTextColor(text, green);
        row->addWidget(check);
        row->addWidget(text);
        group->addWidget(label, 0, Qt::AlignHCenter);
        auto* tryIt = textLabel(tr("Try the example snippets: type omw and a space in any text "
                                   "field."),
                                granted_);
        tryIt->setObjectName(QStringLiteral("tryIt"));
        tryIt->setFixedWidth(400);
        group->addWidget(tryIt, 0, Qt::AlignHCenter);
        getStarted_ = prominentButton(tr("Get Started"), granted_);
        group->addWidget(getStarted_, 0, Qt::AlignHCenter);
    }
    column->addWidget(granted_);

    notGranted_ = new QWidget(this);
    {
        auto* group = new QVBoxLayout(notGranted_);
        group->setContentsMargins(0, 0, 0, 0);
        group->setSpacing(24);
        grant_ = prominentButton(tr("Check Again"), notGranted_);
        group->addWidget(grant_, 0, Qt::AlignHCenter);
        auto* hint = textLabel(tr("Quillo cannot see the keyboard yet. What is missing is said "
                                  "below; after fixing it, check again."),
                               notGranted_);
        hint->setFont(typography::caption());
        typography::makeTertiary(hint);
        group->addWidget(hint, 0, Qt::AlignHCenter);
        reason_ = textLabel(QString(), notGranted_);
        reason_->setFixedWidth(400);
        reason_->setFont(typography::caption());
        typography::makeSecondary(reason_);
        reason_->hide();
        group->addWidget(reason_, 0, Qt::AlignHCenter);
    }
    column->addWidget(notGranted_);
    column->addStretch(1);

    passwordFieldsNote_ = textLabel(QString(), this);
    passwordFieldsNote_->setObjectName(QStringLiteral("passwordFieldsNote"));
    passwordFieldsNote_->setFixedWidth(400);
    passwordFieldsNote_->setFont(typography::caption());
    typography::makeTertiary(passwordFieldsNote_);
    column->addWidget(passwordFieldsNote_, 0, Qt::AlignHCenter);

    connect(getStarted_, &QPushButton::clicked, this, [this] { getStarted(); });
    connect(grant_, &QPushButton::clicked, this, [this] {
        permissions_.requestAccess();
        explainMissingAccess();
    });

    refresh();
    subscription_ = permissions_.subscribe([this] { refresh(); });
}

void OnboardingView::refresh() {
    const bool granted = permissions_.isAccessibilityGranted();
    granted_->setVisible(granted);
    notGranted_->setVisible(!granted);
    if (granted) {
        reason_->hide();
    }
}

void OnboardingView::setPasswordFieldsNote(const QString& note) {
    passwordFieldsNote_->setText(
        note.isEmpty() ? tr("Password fields are recognised through the accessibility bus: Quillo "
                            "never looks at what is typed in them.")
                       : note);
    passwordFieldsNote_->show();
}

void OnboardingView::explainMissingAccess() {
    const std::string reason = untrustedReason_ ? untrustedReason_() : std::string();
    reason_->setText(QString::fromStdString(reason));
    reason_->setVisible(!reason.empty() && !permissions_.isAccessibilityGranted());
}

void OnboardingView::getStarted() {
    settings_.setHasCompletedOnboarding(true);
    close();
    if (startEngine_) {
        startEngine_(true);
    }
}

} // namespace quillo::ui
