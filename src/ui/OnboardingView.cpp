#include "ui/OnboardingView.h"

#include "ui/Symbols.h"
#include "ui/Typography.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
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

// The small print under the window's buttons, in a column `width` wide; `tone` greys it.
QLabel* captionLabel(const QString& text, QWidget* parent, int width,
                     void (*tone)(QWidget*) = typography::makeTertiary) {
    auto* label = textLabel(text, parent);
    if (width > 0) {
        label->setFixedWidth(width);
    }
    label->setFont(typography::caption());
    if (tone != nullptr) {
        tone(label);
    }
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

    const bool inputMethod = permissions_.inputSource().has_value();
    explanation_ = textLabel(inputMethod ? tr("Quillo reads your typing through its input method "
                                              "and expands your shortcuts in every application. "
                                              "It lives in the tray: its icon there opens the "
                                              "settings.")
                                         : tr("Quillo watches your typing through the X server "
                                              "and expands your shortcuts in every application. "
                                              "It lives in the tray: its icon there opens the "
                                              "settings."),
                             this);
    // A fixed width, so that the centred label is laid out at the width its lines wrap to.
    explanation_->setFixedWidth(350);
    typography::makeSecondary(explanation_);
    // The window's size is fixed, and its layout would give the label the height of fewer lines.
    explanation_->setMinimumHeight(explanation_->heightForWidth(explanation_->width()));
    column->addWidget(explanation_, 0, Qt::AlignHCenter);

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
        auto* text = new QLabel(inputMethod ? tr("Quillo is an input source")
                                            : tr("Quillo can see the keyboard"),
                                label);
        text->setFont(font);
        typography::setTextColor(text, green);
        row->addWidget(check);
        row->addWidget(text);
        group->addWidget(label, 0, Qt::AlignHCenter);
        tryIt_ = textLabel(QString(), granted_);
        tryIt_->setObjectName(QStringLiteral("tryIt"));
        tryIt_->setFixedWidth(400);
        group->addWidget(tryIt_, 0, Qt::AlignHCenter);
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
        auto* hint = captionLabel(tr("Quillo cannot see the keyboard yet. What is missing is said "
                                     "below; after fixing it, check again."),
                                  notGranted_, 0);
        group->addWidget(hint, 0, Qt::AlignHCenter);
        reason_ = captionLabel(QString(), notGranted_, 400, typography::makeSecondary);
        reason_->hide();
        group->addWidget(reason_, 0, Qt::AlignHCenter);
    }
    column->addWidget(notGranted_);

    source_ = new QWidget(this);
    {
        auto* group = new QVBoxLayout(source_);
        group->setContentsMargins(0, 0, 0, 0);
        group->setSpacing(12);
        openSettings_ = prominentButton(QString(), source_);
        group->addWidget(openSettings_, 0, Qt::AlignHCenter);
        auto* hint = captionLabel(tr("Quillo is not an input source yet, so no key reaches it. "
                                     "Add it in place of your layout's source; this window "
                                     "changes once it is there."),
                                  source_, 420);
        hint->setObjectName(QStringLiteral("notAnInputSource"));
        group->addWidget(hint, 0, Qt::AlignHCenter);
        sourceProblem_ = captionLabel(QString(), source_, 420, typography::makeSecondary);
        group->addWidget(sourceProblem_, 0, Qt::AlignHCenter);
        sourceSteps_ = captionLabel(QString(), source_, 420, nullptr);
        sourceSteps_->setAlignment(Qt::AlignLeft);
        sourceSteps_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        group->addWidget(sourceSteps_, 0, Qt::AlignHCenter);
        auto* commandRow = new QWidget(source_);
        auto* row = new QHBoxLayout(commandRow);
        row->setContentsMargins(0, 0, 0, 0);
        // Whole, on as many lines as it takes: it is to be read as well as copied.
        sourceCommand_ = new QLabel(commandRow);
        sourceCommand_->setTextFormat(Qt::PlainText);
        sourceCommand_->setWordWrap(true);
        sourceCommand_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        sourceCommand_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        copyCommand_ = new QPushButton(tr("Copy"), commandRow);
        copyCommand_->setToolTip(tr("Copy the command, to paste it in a terminal"));
        row->addWidget(sourceCommand_, 1);
        row->addWidget(copyCommand_);
        commandRow->setFixedWidth(420);
        group->addWidget(commandRow, 0, Qt::AlignHCenter);
    }
    column->addWidget(source_);
    column->addStretch(1);

    passwordFieldsNote_ = captionLabel(QString(), this, 400);
    passwordFieldsNote_->setObjectName(QStringLiteral("passwordFieldsNote"));
    column->addWidget(passwordFieldsNote_, 0, Qt::AlignHCenter);

    connect(getStarted_, &QPushButton::clicked, this, [this] { getStarted(); });
    connect(grant_, &QPushButton::clicked, this, [this] {
        permissions_.requestAccess();
        explainMissingAccess();
    });
    connect(openSettings_, &QPushButton::clicked, this, [this] { permissions_.requestAccess(); });
    connect(copyCommand_, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(sourceCommand_->text()); });
    if (inputMethod) {
        // Room for the steps.
        setFixedSize(560, 640);
    }

    refresh();
    subscription_ = permissions_.subscribe([this] { refresh(); });
}

void OnboardingView::refresh() {
    const bool granted = permissions_.isAccessibilityGranted();
    const bool sourceMissing = granted && permissions_.isInputSourceMissing();
    granted_->setVisible(granted && !sourceMissing);
    notGranted_->setVisible(!granted);
    source_->setVisible(sourceMissing);
    if (granted) {
        reason_->hide();
    }
    const auto& source = permissions_.inputSource();
    if (source) {
        showInputSource(*source);
    }
    tryIt_->setText(source && !source->selected
                        ? tr("Select Quillo among your input sources, then try the example "
                             "snippets: type omw and a space in any text field.")
                        : tr("Try the example snippets: type omw and a space in any text field."));
}

void OnboardingView::showInputSource(const platform::InputSource& source) {
    openSettings_->setText(source.requestOpensSettings ? tr("Open Keyboard Settings")
                                                       : tr("Check Again"));
    sourceProblem_->setText(QString::fromStdString(source.unknownReason));
    sourceProblem_->setVisible(!source.unknownReason.empty());
    QStringList steps;
    for (const std::string& step : source.steps) {
        steps << QString::number(steps.size() + 1) + QStringLiteral(". ") +
                     QString::fromStdString(step);
    }
    if (!source.command.empty()) {
        steps << tr("Or run this command:");
    }
    sourceSteps_->setText(steps.join(QLatin1Char('\n')));
    sourceCommand_->setText(QString::fromStdString(source.command));
    sourceCommand_->parentWidget()->setVisible(!source.command.empty());
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
