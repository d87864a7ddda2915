#include "ui/MacroStepRow.h"

#include "engine/TextReplacer.h"
#include "ui/Symbols.h"
#include "ui/Typography.h"

#include <QEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QToolButton>

namespace quillo::ui {

namespace {

using StepType = model::MacroStep::StepType;

QString symbolFor(StepType type) {
    switch (type) {
    case StepType::typeText:
        return QStringLiteral("text.cursor");
    case StepType::pressKey:
        return QStringLiteral("keyboard");
    case StepType::wait:
        return QStringLiteral("clock");
    }
    return {};
}

QFont monospaced() {
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

QToolButton* borderlessButton(const QString& objectName, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setObjectName(objectName);
    button->setAutoRaise(true);
    button->setIconSize(QSize(14, 14));
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

} // namespace

QColor MacroStepRow::recordingColor() {
    return QColor(0, 122, 255);
}

MacroStepRow::MacroStepRow(const model::MacroStep& step,
                           const platform::KeyboardLayout& keyboardLayout, QWidget* parent)
    : QWidget(parent), step_(step), keyboardLayout_(keyboardLayout) {
    auto* line = new QHBoxLayout(this);
    line->setContentsMargins(0, 2, 0, 2);
    line->setSpacing(8);

    auto* symbol = new QLabel(this);
    symbol->setObjectName(QStringLiteral("stepSymbol"));
    symbol->setFixedWidth(16);
    symbol->setAlignment(Qt::AlignCenter);
    symbol->setPixmap(
        symbolIcon(symbolFor(step.type), typography::secondaryColor()).pixmap(QSize(16, 16)));
    line->addWidget(symbol);

    switch (step.type) {
    case StepType::typeText:
        text_ = new QLineEdit(QString::fromStdString(step.text), this);
        text_->setObjectName(QStringLiteral("stepText"));
        text_->setPlaceholderText(tr("Text to type"));
        text_->setFont(monospaced());
        line->addWidget(text_, 1);
        connect(text_, &QLineEdit::textEdited, this, [this](const QString& text) {
            step_.text = text.toStdString();
            emit stepEdited(step_);
        });
        break;
    case StepType::pressKey:
        key_ = new QLabel(this);
        key_->setObjectName(QStringLiteral("stepKey"));
        key_->setFont(monospaced());
        line->addWidget(key_);
        line->addStretch(1);
        record_ = new QPushButton(this);
        record_->setObjectName(QStringLiteral("stepRecord"));
        record_->setFlat(true);
        record_->setAutoDefault(false);
        line->addWidget(record_);
        connect(record_, &QPushButton::clicked, this, &MacroStepRow::recordClicked);
        break;
    case StepType::wait: {
        milliseconds_ = new QLineEdit(this);
        milliseconds_->setObjectName(QStringLiteral("stepMilliseconds"));
        milliseconds_->setPlaceholderText(QStringLiteral("200"));
        milliseconds_->setFixedWidth(70);
        line->addWidget(milliseconds_);
        waitUnit_ = new QLabel(this);
        waitUnit_->setObjectName(QStringLiteral("stepWaitUnit"));
        typography::makeSecondary(waitUnit_);
        line->addWidget(waitUnit_);
        line->addStretch(1);
        connect(milliseconds_, &QLineEdit::editingFinished, this,
                &MacroStepRow::commitMilliseconds);
        break;
    }
    }

    moveUp_ = borderlessButton(QStringLiteral("moveUp"), this);
    moveDown_ = borderlessButton(QStringLiteral("moveDown"), this);
    delete_ = borderlessButton(QStringLiteral("deleteStep"), this);
    QColor red(255, 59, 48);
    red.setAlphaF(0.7f);
    delete_->setIcon(symbolIcon(QStringLiteral("minus.circle.fill"), red));
    line->addWidget(moveUp_);
    line->addWidget(moveDown_);
    line->addWidget(delete_);
    connect(moveUp_, &QToolButton::clicked, this, &MacroStepRow::moveUpClicked);
    connect(moveDown_, &QToolButton::clicked, this, &MacroStepRow::moveDownClicked);
    connect(delete_, &QToolButton::clicked, this, &MacroStepRow::deleteClicked);

    setState(step, false, false, false);
}

void MacroStepRow::setState(const model::MacroStep& step, bool isRecording, bool canMoveUp,
                            bool canMoveDown) {
    step_ = step;
    if (text_) {
        if (const QString text = QString::fromStdString(step.text); text_->text() != text) {
            text_->setText(text);
        }
    }
    if (key_) {
        QString shown;
        QColor color;
        if (isRecording) {
            shown = tr("Press keys...");
            color = recordingColor();
        } else if (step.keyCode == 0 && step.modifiers == 0) {
            // 0 is also the A key: with a modifier it is a recorded combination such as Ctrl+A.
            shown = tr("Not set");
            color = typography::secondaryColor();
        } else {
            shown = QString::fromStdString(
                model::keyComboText(step.keyCode, step.modifiers, keyboardLayout_));
            color = palette().color(QPalette::WindowText);
        }
        key_->setText(shown);
        typography::setTextColor(key_, color);
        record_->setText(isRecording ? tr("Cancel") : tr("Record"));
    }
    if (milliseconds_ && !milliseconds_->hasFocus()) {
        showMilliseconds();
    }
    const auto arrow = [](QToolButton* button, const QString& symbol, bool enabled) {
        button->setEnabled(enabled);
        button->setIcon(symbolIcon(symbol, enabled ? typography::secondaryColor()
                                                   : typography::tertiaryColor()));
    };
    arrow(moveUp_, QStringLiteral("arrow.up"), canMoveUp);
    arrow(moveDown_, QStringLiteral("arrow.down"), canMoveDown);
}

void MacroStepRow::changeEvent(QEvent* event) {
    // The number is written the way the user's locale writes it, also after the locale changed.
    if (event->type() == QEvent::LocaleChange && milliseconds_ && !milliseconds_->hasFocus()) {
        showMilliseconds();
    }
    QWidget::changeEvent(event);
}

void MacroStepRow::showMilliseconds() {
    milliseconds_->setText(QLocale().toString(static_cast<qlonglong>(step_.milliseconds)));
    // A longer wait runs as the longest one; the row says so rather than promise the number.
    const auto longest = static_cast<qlonglong>(engine::TextReplacer::maxWait.count());
    waitUnit_->setText(step_.milliseconds > longest
                           ? tr("ms (waits %1 ms, the longest)").arg(QLocale().toString(longest))
                           : tr("ms"));
}

void MacroStepRow::commitMilliseconds() {
    bool ok = false;
    const qlonglong value = QLocale().toLongLong(milliseconds_->text().trimmed(), &ok);
    if (ok && value != step_.milliseconds) {
        step_.milliseconds = value;
        emit stepEdited(step_);
    }
    showMilliseconds();
}

} // namespace quillo::ui
