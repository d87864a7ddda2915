#include "ui/NewSnippetSheet.h"

#include "ui/KeyRecorder.h"
#include "ui/MacroStepList.h"
#include "ui/SegmentedPicker.h"
#include "ui/Typography.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quillo::ui {

NewSnippetSheet::NewSnippetSheet(model::SnippetStore& store, model::AppSettings& settings,
                                 const platform::KeyboardLayout& keyboardLayout, QWidget* parent)
    : QDialog(parent), store_(store), recorder_(new KeyRecorder(settings, keyboardLayout, this)) {
    setObjectName(QStringLiteral("newSnippetSheet"));
    setWindowTitle(QStringLiteral("New Snippet"));
    setModal(true);
    setFixedWidth(420);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(16);

    auto* title = new QLabel(QStringLiteral("New Snippet"), this);
    title->setFont(typography::headline());
    column->addWidget(title);

    auto* form = new QFormLayout;
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    trigger_ = new QComboBox(this);
    trigger_->setObjectName(QStringLiteral("trigger"));
    for (const auto mode : model::allTriggerModes) {
        trigger_->addItem(QString::fromUtf8(model::toString(mode).data(),
                                            static_cast<qsizetype>(model::toString(mode).size())));
    }
    form->addRow(QStringLiteral("Trigger:"), trigger_);

    shortcut_ = new QLineEdit(this);
    shortcut_->setObjectName(QStringLiteral("shortcut"));
    shortcutLabel_ = new QLabel(QStringLiteral("Shortcut:"), this);
    form->addRow(shortcutLabel_, shortcut_);

    output_ = new SegmentedPicker({QStringLiteral("Text"), QStringLiteral("Macro")}, this);
    output_->setObjectName(QStringLiteral("output"));
    output_->setCurrentIndex(0);
    form->addRow(QStringLiteral("Output:"), output_);

    replacement_ = new QPlainTextEdit(this);
    replacement_->setObjectName(QStringLiteral("replacement"));
    replacement_->setTabChangesFocus(true);
    // Between three and six lines high, growing with the text.
    const int lineHeight = QFontMetrics(replacement_->font()).lineSpacing();
    const int frame = 2 * replacement_->frameWidth() + 8;
    replacement_->setMinimumHeight(3 * lineHeight + frame);
    replacement_->setMaximumHeight(6 * lineHeight + frame);
    replacement_->installEventFilter(this);
    replacementLabel_ = new QLabel(QStringLiteral("Replacement:"), this);
    form->addRow(replacementLabel_, replacement_);

    steps_ = new MacroStepList(*recorder_, keyboardLayout, this);
    steps_->setObjectName(QStringLiteral("steps"));
    form->addRow(steps_);
    column->addLayout(form);

    auto* buttons = new QHBoxLayout;
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setAutoDefault(false);
    add_ = new QPushButton(QStringLiteral("Add"), this);
    add_->setObjectName(QStringLiteral("add"));
    add_->setDefault(true);
    buttons->addWidget(cancel_);
    buttons->addStretch(1);
    buttons->addWidget(add_);
    column->addLayout(buttons);

    connect(trigger_, &QComboBox::activated, this, [this](int index) {
        snippet_.triggerMode = model::allTriggerModes[static_cast<std::size_t>(index)];
        refresh();
    });
    connect(shortcut_, &QLineEdit::textEdited, this,
            [this](const QString& text) { snippet_.shortcut = text.toStdString(); });
    connect(output_, &SegmentedPicker::chosen, this,
            [this](int index) { setShowMacro(index == 1); });
    connect(replacement_, &QPlainTextEdit::textChanged, this, [this] {
        snippet_.replacement = replacement_->toPlainText().toStdString();
        refresh();
    });
    connect(steps_, &MacroStepList::stepsChanged, this,
            [this](const std::vector<model::MacroStep>& steps) {
                snippet_.macroSteps = steps;
                refresh();
            });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(add_, &QPushButton::clicked, this, &NewSnippetSheet::addSnippet);

    refresh();
}

NewSnippetSheet::~NewSnippetSheet() {
    recorder_->stop();
}

void NewSnippetSheet::setShowMacro(bool showMacro) {
    showMacro_ = showMacro;
    if (!showMacro) {
        snippet_.macroSteps.clear();
    }
    refresh();
}

void NewSnippetSheet::refresh() {
    const bool hotkey = snippet_.triggerMode == model::Snippet::TriggerMode::hotkey;
    shortcutLabel_->setVisible(!hotkey);
    shortcut_->setVisible(!hotkey);
    output_->setCurrentIndex(showMacro_ ? 1 : 0);
    replacementLabel_->setVisible(!showMacro_);
    replacement_->setVisible(!showMacro_);
    steps_->setVisible(showMacro_);
    steps_->setSteps(snippet_.macroSteps);
    add_->setEnabled(showMacro_ ? !snippet_.macroSteps.empty() : !snippet_.replacement.empty());
    adjustSize();
}

void NewSnippetSheet::addSnippet() {
    if (!add_->isEnabled()) {
        return;
    }
    recorder_->stop();
    store_.add(snippet_);
    accept();
}

void NewSnippetSheet::done(int result) {
    recorder_->stop();
    QDialog::done(result);
}

void NewSnippetSheet::hideEvent(QHideEvent* event) {
    recorder_->stop();
    QDialog::hideEvent(event);
}

bool NewSnippetSheet::eventFilter(QObject* watched, QEvent* event) {
    // Return in the replacement adds the snippet, as everywhere else in the sheet; with a
    // modifier it starts a new line.
    if (watched == replacement_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers() == Qt::NoModifier) {
            addSnippet();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quillo::ui
