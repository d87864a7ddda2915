#include "ui/HelpView.h"

#include "ui/Symbols.h"
#include "ui/Typography.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace quillo::ui {

namespace {

// Help texts hold markup examples such as <b>{selection}</b>: they must never be read as rich
// text, and they wrap rather than widen the window. (The label's own size policy carries the
// height-for-width that wrapping needs: replacing the policy would lose it.)
QLabel* bodyLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

constexpr int indent = 4;

} // namespace

HelpParagraph::HelpParagraph(QString heading, QString content, QWidget* parent)
    : QWidget(parent), heading_(std::move(heading)), content_(std::move(content)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(indent, 0, 0, 0);
    column->setSpacing(2);
    auto* headingLabel = bodyLabel(heading_, this);
    headingLabel->setFont(typography::medium());
    auto* contentLabel = bodyLabel(content_, this);
    typography::makeSecondary(contentLabel);
    column->addWidget(headingLabel);
    column->addWidget(contentLabel);
}

HelpStep::HelpStep(int number, QString text, QWidget* parent)
    : QWidget(parent), number_(number), text_(std::move(text)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(indent, 0, 0, 0);
    row->setSpacing(8);
    auto* numberLabel = new QLabel(numberText(), this);
    numberLabel->setTextFormat(Qt::PlainText);
    numberLabel->setFont(typography::medium());
    numberLabel->setAlignment(Qt::AlignRight | Qt::AlignTop);
    // Wide enough for "5." in the desktop's font, so that the texts of all steps line up.
    numberLabel->setFixedWidth(
        std::max(18, QFontMetrics(numberLabel->font()).horizontalAdvance(QStringLiteral("88."))));
    auto* textLabel = bodyLabel(text_, this);
    typography::makeSecondary(textLabel);
    row->addWidget(numberLabel, 0, Qt::AlignTop);
    row->addWidget(textLabel, 1, Qt::AlignTop);
}

QString HelpStep::numberText() const {
    return QString::number(number_) + QLatin1Char('.');
}

HelpNote::HelpNote(QString text, QWidget* parent) : QWidget(parent), text_(std::move(text)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(indent, 0, 0, 0);
    row->setSpacing(6);
    const QFont font = typography::caption();
    const int side = QFontMetrics(font).height();
    auto* bulb = new QLabel(this);
    bulb->setPixmap(symbolIcon(QStringLiteral("lightbulb"), QColor(0xf5, 0xb8, 0x00))
                        .pixmap(QSize(side, side), devicePixelRatioF()));
    bulb->setContentsMargins(0, 2, 0, 0);
    auto* textLabel = bodyLabel(text_, this);
    textLabel->setFont(font);
    typography::makeSecondary(textLabel);
    row->addWidget(bulb, 0, Qt::AlignTop);
    row->addWidget(textLabel, 1, Qt::AlignTop);
}

HelpSection::HelpSection(QString title, QString icon, std::initializer_list<QWidget*> content,
                         QWidget* parent)
    : QWidget(parent), title_(std::move(title)), icon_(std::move(icon)), content_(content) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    auto* heading = new QHBoxLayout;
    heading->setSpacing(6);
    const QFont font = typography::headline();
    const int side = QFontMetrics(font).height();
    auto* symbol = new QLabel(this);
    symbol->setPixmap(symbolIcon(icon_).pixmap(QSize(side, side), devicePixelRatioF()));
    auto* titleLabel = new QLabel(title_, this);
    titleLabel->setTextFormat(Qt::PlainText);
    titleLabel->setFont(font);
    heading->addWidget(symbol);
    heading->addWidget(titleLabel, 1);
    column->addLayout(heading);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);

    for (QWidget* item : content_) {
        item->setParent(this);
        column->addWidget(item);
    }
}

HelpView::HelpView(QWidget* parent) : QScrollArea(parent) {
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);

    auto* page = new QWidget;
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(24);

    sections_ = {
        new HelpSection(
            QStringLiteral("Snippets"), QStringLiteral("text.quote"),
            {
                new HelpParagraph(QStringLiteral("What is a snippet?"),
                                  QStringLiteral("A snippet is a shortcut + the text it expands "
                                                 "to. For example, typing \"omw\" automatically "
                                                 "inserts \"On my way!\"")),
                new HelpParagraph(QStringLiteral("Creating a snippet"),
                                  QStringLiteral("Click the \"+\" button in the snippet list. "
                                                 "Enter a shortcut and the replacement text, then "
                                                 "save with ✓.")),
                new HelpParagraph(QStringLiteral("Enabling / disabling"),
                                  QStringLiteral("Each snippet has its own toggle — you can "
                                                 "disable it without deleting. The global toggle "
                                                 "is also available from the menu bar icon.")),
                new HelpParagraph(QStringLiteral("The {clipboard} variable"),
                                  QStringLiteral("Use {clipboard} in your replacement text to "
                                                 "insert the current clipboard contents at "
                                                 "expansion time.\nExample: \"Check this out: "
                                                 "{clipboard}\" → \"Check this out: "
                                                 "https://example.com/article\"")),
                new HelpParagraph(
                    QStringLiteral("The {cursor} variable"),
                    QStringLiteral("Place {cursor} anywhere in the replacement text to position "
                                   "the cursor there after expansion. The text after {cursor} is "
                                   "typed normally, then the cursor jumps back.\nExample: \"<a "
                                   "href='{cursor}'></a>\" — after expansion the cursor lands "
                                   "inside the href quotes, ready for the URL.")),
                new HelpParagraph(
                    QStringLiteral("The {selection} variable"),
                    QStringLiteral("Use {selection} to wrap or transform the currently selected "
                                   "text. When expansion runs, Quillo copies the selection, "
                                   "composes the final string in memory, and pastes it in a "
                                   "single step — the target app never sees partial output, so "
                                   "auto-closing tags and format-on-paste cannot "
                                   "interfere.\nExample with a Hotkey trigger (e.g. ⇧⌘B) and "
                                   "replacement \"<b>{selection}</b>\": select text, press the "
                                   "hotkey, and the selection becomes <b>selection</b> — no "
                                   "macro needed.")),
                new HelpNote(QStringLiteral(
                    "You can combine variables: \"<a href='{clipboard}'>{selection}</a>\" wraps "
                    "the selection in a link whose href comes from the clipboard. {selection} "
                    "works best with the Hotkey trigger, where there is a live selection to "
                    "capture.")),
            }),
        new HelpSection(
            QStringLiteral("Trigger Modes"), QStringLiteral("bolt"),
            {
                new HelpParagraph(QStringLiteral("After Delimiter"),
                                  QStringLiteral("The snippet expands after you type a delimiter "
                                                 "— space, period, comma, Enter, etc. Example: "
                                                 "\"omw\" + space → expansion.")),
                new HelpParagraph(QStringLiteral("Instant"),
                                  QStringLiteral("The snippet expands immediately after the last "
                                                 "character of the shortcut, with no extra key "
                                                 "required. Best for unique shortcuts that don't "
                                                 "appear inside other words.")),
                new HelpParagraph(QStringLiteral("Hotkey"),
                                  QStringLiteral("The snippet is triggered by a key combination "
                                                 "(e.g. Ctrl+Opt+M) rather than typing. The "
                                                 "original keystroke is suppressed and the text "
                                                 "is inserted into the active field.\nSee "
                                                 "\"Setting Up a Hotkey\" below.")),
            }),
        new HelpSection(
            QStringLiteral("Setting Up a Hotkey"), QStringLiteral("keyboard"),
            {
                new HelpStep(1, QStringLiteral("Go to Settings → Snippets and select or create a "
                                               "snippet.")),
                new HelpStep(2, QStringLiteral("Set the Trigger to \"Hotkey\".")),
                new HelpStep(3, QStringLiteral("Click \"Record Shortcut\" — the button becomes "
                                               "active and waits for input.")),
                new HelpStep(4, QStringLiteral("Press your desired combination, e.g. Ctrl+Opt+M. "
                                               "It will be saved and shown on the button.")),
                new HelpStep(5, QStringLiteral("Save with ✓. Now pressing Ctrl+Opt+M in any app "
                                               "will insert the snippet text.")),
                new HelpNote(QStringLiteral("Use at least two modifier keys (e.g. Ctrl+Opt or "
                                            "Ctrl+Shift) to avoid conflicts with system "
                                            "shortcuts.")),
            }),
        new HelpSection(
            QStringLiteral("Macro Sequences"), QStringLiteral("rectangle.stack"),
            {
                new HelpParagraph(QStringLiteral("What is a macro?"),
                                  QStringLiteral("A macro is a snippet that executes a sequence "
                                                 "of actions instead of inserting text — type "
                                                 "text, press keys, and wait between steps. "
                                                 "Example: ⌘C → new window → ⌘V, "
                                                 "automatically.")),
                new HelpParagraph(QStringLiteral("Creating a macro"),
                                  QStringLiteral("In the snippet editor, switch the Output picker "
                                                 "from \"Text\" to \"Macro\". A step list will "
                                                 "appear. Click \"+ Add Step\" and choose a step "
                                                 "type.")),
                new HelpParagraph(
                    QStringLiteral("Step types"),
                    QStringLiteral("• Type Text — types the text into the active app using "
                                   "synthetic keyboard events. Does NOT touch the clipboard, so "
                                   "any ⌘C you do inside the macro is preserved for a later ⌘V "
                                   "step.\n• Press Key — simulates a key combination (e.g. ⌘C, "
                                   "⌘V, ↩). Click \"Record\" then press the keys.\n• Wait (ms) — "
                                   "a pause in milliseconds between steps. Useful when an app "
                                   "needs time to process the previous action.")),
                new HelpParagraph(QStringLiteral("Reordering steps"),
                                  QStringLiteral("Each step has ↑ and ↓ buttons on the right. Use "
                                                 "them to move a step up or down. Useful when you "
                                                 "realise mid-way that you need an extra Wait — "
                                                 "add it at the bottom and move it into "
                                                 "position.")),
                new HelpParagraph(QStringLiteral("Triggering a macro"),
                                  QStringLiteral("A macro snippet can be triggered the same way "
                                                 "as a regular snippet — via text (After "
                                                 "Delimiter, Instant) or a Hotkey. Choose the "
                                                 "trigger mode in the Trigger section.")),
                new HelpParagraph(
                    QStringLiteral("Example: wrap selection in HTML tags"),
                    QStringLiteral("To wrap selected text in <b>…</b> with a single hotkey (e.g. "
                                   "⇧⌘B):\n1. Press Key: ⌘C   (copy the selection)\n2. Wait: 150 "
                                   "ms\n3. Press Key: ⌫ Backspace   (delete the selection)\n4. "
                                   "Type Text: <b>\n5. Press Key: ⌘V   (paste the copied "
                                   "selection back)\n6. Type Text: </b>\n\nSelect text → press "
                                   "⇧⌘B → the selection becomes <b>selection</b>. The original "
                                   "clipboard is restored automatically at the end of the "
                                   "macro.")),
                new HelpNote(QStringLiteral("A small automatic delay exists between steps. If an "
                                            "app is slow to respond, add a Wait step (200–500 "
                                            "ms) after Press Key actions — especially after ⌘C, "
                                            "to give the OS time to update the clipboard.")),
                new HelpNote(QStringLiteral(
                    "Tip: for simple wrap-the-selection use cases, prefer a regular Text snippet "
                    "with the {selection} variable (e.g. \"<b>{selection}</b>\") instead of a "
                    "macro. It pastes the final string in one step, so editors that auto-close "
                    "tags or reformat on paste cannot interfere.")),
            }),
        new HelpSection(
            QStringLiteral("App Filters"), QStringLiteral("app.badge.checkmark"),
            {
                new HelpParagraph(QStringLiteral("Allowed Apps"),
                                  QStringLiteral("If this list is non-empty, the snippet will "
                                                 "only expand in those apps. For example, you can "
                                                 "create a snippet that works only in Xcode.")),
                new HelpParagraph(QStringLiteral("Blocked Apps"),
                                  QStringLiteral("The snippet will not expand in the listed apps. "
                                                 "Useful if an app handles its own shortcuts.")),
                new HelpNote(QStringLiteral("Click \"+ Add App\" to pick an app — the bundle ID "
                                            "is filled in automatically. Use Allowed Apps to "
                                            "restrict the snippet to specific apps only, or "
                                            "Blocked Apps to exclude certain apps.")),
            }),
        new HelpSection(
            QStringLiteral("General Settings"), QStringLiteral("gear"),
            {
                new HelpParagraph(QStringLiteral("Enable text expansion"),
                                  QStringLiteral("A global on/off switch — disables all snippets "
                                                 "at once. The same toggle is available from the "
                                                 "menu bar icon.")),
                new HelpParagraph(QStringLiteral("Append delimiter after expansion"),
                                  QStringLiteral("When enabled, the delimiter character (e.g. "
                                                 "space) is re-inserted after the replacement "
                                                 "text. Useful in After Delimiter mode so the "
                                                 "space you typed isn't lost.")),
                new HelpParagraph(QStringLiteral("Play sound on expansion"),
                                  QStringLiteral("Plays a short sound each time a snippet expands "
                                                 "— a confirmation that the shortcut was "
                                                 "recognised.")),
                new HelpParagraph(QStringLiteral("Launch at login"),
                                  QStringLiteral("Quillo starts automatically with macOS. "
                                                 "Recommended to enable once the app is moved to "
                                                 "/Applications.")),
            }),
        new HelpSection(
            QStringLiteral("Accessibility Permission"), QStringLiteral("lock.shield"),
            {
                new HelpParagraph(QStringLiteral("Why is it required?"),
                                  QStringLiteral("Quillo listens to keystrokes globally using the "
                                                 "macOS Accessibility API. Without this "
                                                 "permission, expansion does not work.")),
                new HelpParagraph(QStringLiteral("If the permission disappears after an update"),
                                  QStringLiteral("Open System Settings → Privacy & Security → "
                                                 "Accessibility. Remove Quillo from the list and "
                                                 "add it again, then restart the app.")),
                new HelpNote(QStringLiteral("Secure Input fields (e.g. password fields) are "
                                            "never processed — this is an intentional security "
                                            "measure.")),
            }),
    };
    for (HelpSection* section : sections_) {
        column->addWidget(section);
    }
    column->addStretch(1);
    setWidget(page);
}

} // namespace quillo::ui
