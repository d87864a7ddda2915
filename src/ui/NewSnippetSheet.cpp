#include "ui/NewSnippetSheet.h"

#include "ui/KeyRecorder.h"
#include "ui/MacroStepList.h"
#include "ui/ReplacementBox.h"
#include "ui/SegmentedPicker.h"
#include "ui/Typography.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextDocument>
#include <QVBoxLayout>
#include <algorithm>

namespace quillo::ui {

NewSnippetSheet::NewSnippetSheet(model::SnippetStore& store, model::AppSettings& settings,
                                 const platform::KeyboardLayout& keyboardLayout, QWidget* parent)
    : QDialog(parent), store_(store), recorder_(new KeyRecorder(settings, keyboardLayout, this)) {
    setObjectName(QStringLiteral("newSnippetSheet"));
    setWindowTitle(tr("New Snippet"));
    setModal(true);
    setFixedWidth(420);

    auto* column = new QVBoxLayout(this);
    column->setSpacing(16);

    auto* title = new QLabel(tr("New Snippet"), this);
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
    form->addRow(tr("Trigger:"), trigger_);

    shortcut_ = new QLineEdit(this);
    shortcut_->setObjectName(QStringLiteral("shortcut"));
    shortcutLabel_ = new QLabel(tr("Shortcut:"), this);
    form->addRow(shortcutLabel_, shortcut_);
    noShortcut_ = new QLabel(tr("Without a shortcut this snippet never expands by typing."), this);
    noShortcut_->setObjectName(QStringLiteral("noShortcut"));
    noShortcut_->setFont(typography::caption());
    typography::makeSecondary(noShortcut_);
    form->addRow(QString(), noShortcut_);

    output_ = new SegmentedPicker({tr("Text"), tr("Macro")}, this);
    output_->setObjectName(QStringLiteral("output"));
    output_->setCurrentIndex(0);
    form->addRow(tr("Output:"), output_);

    replacement_ = new ReplacementBox(this);
    replacement_->setObjectName(QStringLiteral("replacement"));
    replacement_->installEventFilter(this);
    fitReplacement();
    replacementLabel_ = new QLabel(tr("Replacement:"), this);
    form->addRow(replacementLabel_, replacement_);

    steps_ = new MacroStepList(*recorder_, keyboardLayout, this);
    steps_->setObjectName(QStringLiteral("steps"));
    form->addRow(steps_);
    column->addLayout(form);

    auto* buttons = new QHBoxLayout;
    cancel_ = new QPushButton(tr("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setAutoDefault(false);
    add_ = new QPushButton(tr("Add"), this);
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
    connect(shortcut_, &QLineEdit::textEdited, this, [this](const QString& text) {
        snippet_.shortcut = text.toStdString();
        refresh();
    });
    connect(output_, &SegmentedPicker::chosen, this,
            [this](int index) { setShowMacro(index == 1); });
    connect(replacement_, &QPlainTextEdit::textChanged, this, [this] {
        snippet_.replacement = replacement_->text().toStdString();
        fitReplacement();
        refresh();
    });
    connect(steps_, &MacroStepList::stepsChanged, this,
            [this](const std::vector<model::MacroStep>& steps) {
                snippet_.macroSteps = steps;
                refresh();
            });
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(add_, &QPushButton::clicked, this, &NewSnippetSheet::addSnippet);
    // Return adds from the one-line fields (the default button); in the replacement it starts a
    // new line, so Ctrl+Return adds from anywhere.
    for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* add = new QShortcut(QKeySequence(Qt::CTRL | key), this);
        add->setContext(Qt::WidgetWithChildrenShortcut);
        connect(add, &QShortcut::activated, this, &NewSnippetSheet::addSnippet);
    }

    refresh();
    shortcut_->setFocus();
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
    // Said once there is something to expand, not over the empty sheet.
    noShortcut_->setVisible(
        !hotkey && snippet_.shortcut.empty() &&
        (showMacro_ ? !snippet_.macroSteps.empty() : !snippet_.replacement.empty()));
    output_->setCurrentIndex(showMacro_ ? 1 : 0);
    replacementLabel_->setVisible(!showMacro_);
    replacement_->setVisible(!showMacro_);
    steps_->setVisible(showMacro_);
    steps_->setSteps(snippet_.macroSteps);
    add_->setEnabled(showMacro_ ? !snippet_.macroSteps.empty() : !snippet_.replacement.empty());
    // Resized only when its rows change, not on every key typed.
    const std::tuple shape{hotkey, noShortcut_->isVisibleTo(this), showMacro_,
                           snippet_.macroSteps.size(), replacement_->height()};
    if (shape != shape_) {
        shape_ = shape;
        adjustSize();
    }
}

void NewSnippetSheet::fitReplacement() {
    // Three lines high, growing with the text up to six.
    const int lines = std::clamp(replacement_->document()->lineCount(), 3, 6);
    const int frame = 2 * replacement_->frameWidth() + 8;
    replacement_->setFixedHeight(lines * QFontMetrics(replacement_->font()).lineSpacing() + frame);
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
    // Ctrl+Return that reaches the replacement itself (no shortcut took it) adds too, rather than
    // starting a line.
    if (watched == replacement_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier) {
            addSnippet();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quillo::ui
