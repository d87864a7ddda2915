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
            tr("Snippets"), QStringLiteral("text.quote"),
            {
                new HelpParagraph(tr("What is a snippet?"),
                                  tr("A snippet is a shortcut + the text it expands "
                                     "to. For example, typing \"omw\" automatically "
                                     "inserts \"On my way!\"")),
                new HelpParagraph(tr("Creating a snippet"),
                                  tr("Click the \"+\" button in the snippet list. "
                                     "Enter a shortcut and the replacement text, then "
                                     "click \"Add\".")),
                new HelpParagraph(tr("Enabling / disabling"),
                                  tr("Each snippet has its own toggle — you can "
                                     "disable it without deleting. The global toggle "
                                     "is also available from the tray icon.")),
                new HelpParagraph(tr("The {clipboard} variable"),
                                  tr("Use {clipboard} in your replacement text to "
                                     "insert the current clipboard contents at "
                                     "expansion time.\nExample: \"Check this out: "
                                     "{clipboard}\" → \"Check this out: "
                                     "https://example.com/article\"")),
                new HelpParagraph(tr("The {cursor} variable"),
                                  tr("Place {cursor} anywhere in the replacement text to position "
                                     "the cursor there after expansion. The text after {cursor} is "
                                     "typed normally, then the cursor jumps back.\nExample: \"<a "
                                     "href='{cursor}'></a>\" — after expansion the cursor lands "
                                     "inside the href quotes, ready for the URL.")),
                new HelpParagraph(
                    tr("The {selection} variable"),
                    tr("Use {selection} to wrap or transform the currently selected "
                       "text. When expansion runs, Quillo copies the selection, "
                       "composes the final string in memory, and pastes it in a "
                       "single step — the target app never sees partial output, so "
                       "auto-closing tags and format-on-paste cannot "
                       "interfere.\nExample with a Hotkey trigger (e.g. Ctrl+Shift+B) and "
                       "replacement \"<b>{selection}</b>\": select text, press the "
                       "hotkey, and the selection becomes <b>selection</b> — no "
                       "macro needed.")),
                new HelpNote(
                    tr("You can combine variables: \"<a href='{clipboard}'>{selection}</a>\" wraps "
                       "the selection in a link whose href comes from the clipboard. {selection} "
                       "works best with the Hotkey trigger, where there is a live selection to "
                       "capture.")),
            }),
        new HelpSection(
            tr("Trigger Modes"), QStringLiteral("bolt"),
            {
                new HelpParagraph(tr("After Delimiter"),
                                  tr("The snippet expands after you type a delimiter "
                                     "— space, period, comma, Enter, etc. Example: "
                                     "\"omw\" + space → expansion.")),
                new HelpParagraph(tr("Instant"),
                                  tr("The snippet expands immediately after the last "
                                     "character of the shortcut, with no extra key "
                                     "required. Best for unique shortcuts that don't "
                                     "appear inside other words.")),
                new HelpParagraph(tr("Hotkey"), tr("The snippet is triggered by a key combination "
                                                   "(e.g. Ctrl+Alt+M) rather than typing. The "
                                                   "original keystroke is suppressed and the text "
                                                   "is inserted into the active field.\nSee "
                                                   "\"Setting Up a Hotkey\" below.")),
            }),
        new HelpSection(tr("Setting Up a Hotkey"), QStringLiteral("keyboard"),
                        {
                            new HelpStep(1, tr("Go to Settings → Snippets and select or create a "
                                               "snippet.")),
                            new HelpStep(2, tr("Set the Trigger to \"Hotkey\".")),
                            new HelpStep(3, tr("Click \"Record Shortcut\" — the button becomes "
                                               "active and waits for input.")),
                            new HelpStep(4, tr("Press your desired combination, e.g. Ctrl+Alt+M. "
                                               "It is saved at once and shown beside the button.")),
                            new HelpStep(5, tr("Now pressing Ctrl+Alt+M in any app will insert "
                                               "the snippet text.")),
                            new HelpNote(tr("Use at least two modifier keys (e.g. Ctrl+Alt or "
                                            "Ctrl+Shift) to avoid conflicts with system "
                                            "shortcuts.")),
                        }),
        new HelpSection(
            tr("Macro Sequences"), QStringLiteral("rectangle.stack"),
            {
                new HelpParagraph(tr("What is a macro?"),
                                  tr("A macro is a snippet that executes a sequence "
                                     "of actions instead of inserting text — type "
                                     "text, press keys, and wait between steps. "
                                     "Example: Ctrl+C → new window → Ctrl+V, "
                                     "automatically.")),
                new HelpParagraph(tr("Creating a macro"),
                                  tr("In the snippet editor, switch the Output picker "
                                     "from \"Text\" to \"Macro\". A step list will "
                                     "appear. Click \"+ Add Step\" and choose a step "
                                     "type.")),
                new HelpParagraph(
                    tr("Step types"),
                    tr("• Type Text — types the text into the active app using "
                       "synthetic keyboard events. Does NOT touch the clipboard, so "
                       "any Ctrl+C you do inside the macro is preserved for a later "
                       "Ctrl+V "
                       "step.\n• Press Key — simulates a key combination (e.g. Ctrl+C, "
                       "Ctrl+V, Return). Click \"Record\" then press the keys.\n• Wait (ms) — "
                       "a pause in milliseconds between steps. Useful when an app "
                       "needs time to process the previous action.")),
                new HelpParagraph(tr("Reordering steps"),
                                  tr("Each step has ↑ and ↓ buttons on the right. Use "
                                     "them to move a step up or down. Useful when you "
                                     "realise mid-way that you need an extra Wait — "
                                     "add it at the bottom and move it into "
                                     "position.")),
                new HelpParagraph(tr("Triggering a macro"),
                                  tr("A macro snippet can be triggered the same way "
                                     "as a regular snippet — via text (After "
                                     "Delimiter, Instant) or a Hotkey. Choose the "
                                     "trigger mode in the Trigger section.")),
                new HelpParagraph(
                    tr("Example: wrap selection in HTML tags"),
                    tr("To wrap selected text in <b>…</b> with a single hotkey (e.g. "
                       "Ctrl+Shift+B):\n1. Press Key: Ctrl+C   (copy the selection)\n2. Wait: 150 "
                       "ms\n3. Press Key: Backspace   (delete the selection)\n4. "
                       "Type Text: <b>\n5. Press Key: Ctrl+V   (paste the copied "
                       "selection back)\n6. Type Text: </b>\n\nSelect text → press "
                       "Ctrl+Shift+B → the selection becomes <b>selection</b>. The original "
                       "clipboard is restored automatically at the end of the "
                       "macro.")),
                new HelpNote(tr("A small automatic delay exists between steps. If an "
                                "app is slow to respond, add a Wait step (200–500 "
                                "ms) after Press Key actions — especially after Ctrl+C, "
                                "to give the OS time to update the clipboard.")),
                new HelpNote(tr(
                    "Tip: for simple wrap-the-selection use cases, prefer a regular Text snippet "
                    "with the {selection} variable (e.g. \"<b>{selection}</b>\") instead of a "
                    "macro. It pastes the final string in one step, so editors that auto-close "
                    "tags or reformat on paste cannot interfere.")),
            }),
        new HelpSection(tr("App Filters"), QStringLiteral("app.badge.checkmark"),
                        {
                            new HelpParagraph(tr("Allowed Apps"),
                                              tr("If this list is non-empty, the snippet will "
                                                 "only expand in those apps. For example, you can "
                                                 "create a snippet that works only in your "
                                                 "terminal.")),
                            new HelpParagraph(tr("Blocked Apps"),
                                              tr("The snippet will not expand in the listed apps. "
                                                 "Useful if an app handles its own shortcuts.")),
                            new HelpNote(tr("Click \"+ Add App\" to pick an app — its id (the "
                                            "class of its windows, e.g. \"Gnome-terminal\") is "
                                            "filled in automatically. Use Allowed Apps to "
                                            "restrict the snippet to specific apps only, or "
                                            "Blocked Apps to exclude certain apps.")),
                        }),
        new HelpSection(tr("General Settings"), QStringLiteral("gear"),
                        {
                            new HelpParagraph(tr("Enable text expansion"),
                                              tr("A global on/off switch — disables all snippets "
                                                 "at once. The same toggle is available from the "
                                                 "tray icon.")),
                            new HelpParagraph(tr("Append delimiter after expansion"),
                                              tr("When enabled, the delimiter character (e.g. "
                                                 "space) is re-inserted after the replacement "
                                                 "text. Useful in After Delimiter mode so the "
                                                 "space you typed isn't lost.")),
                            new HelpParagraph(tr("Play sound on expansion"),
                                              tr("Plays a short sound each time a snippet expands "
                                                 "— a confirmation that the shortcut was "
                                                 "recognised.")),
                            new HelpParagraph(tr("Search window hotkey"),
                                              tr("Opens a small window at the pointer where you "
                                                 "find any snippet by typing and write it with "
                                                 "Return, where you were typing (Ctrl+Alt+Space "
                                                 "unless a snippet has it). Escape closes it.")),
                            new HelpParagraph(tr("Launch at login"),
                                              tr("Quillo starts automatically when you log in, "
                                                 "through an entry in ~/.config/autostart. "
                                                 "Recommended to enable once Quillo is installed "
                                                 "where it will stay: the entry starts it from "
                                                 "where it is now.")),
                        }),
        new HelpSection(tr("Keyboard and Password Fields"), QStringLiteral("lock.shield"),
                        {
                            new HelpParagraph(tr("Why is it required?"),
                                              tr("In an X11 session Quillo listens to keystrokes "
                                                 "globally through the X server (its RECORD "
                                                 "extension) and types through its XTEST "
                                                 "extension. Where the X server cannot be watched "
                                                 "(a Wayland session), it reads and writes through "
                                                 "its own input method instead: the input source "
                                                 "\"Quillo\" of IBus.")),
                            new HelpParagraph(
                                tr("If expansion stops working"),
                                tr("On a Wayland session, add Quillo as an input source (GNOME "
                                   "Settings: Keyboard, Input Sources, \"+ Add Input Source...\", "
                                   "Other, \"Quillo\") and choose it, or log in to an X11 (Xorg) "
                                   "session. Password fields are recognised through the "
                                   "accessibility bus (at-spi2-core); the About tab says so when "
                                   "Quillo cannot see them.")),
                            new HelpNote(tr("Secure Input fields (e.g. password fields) are "
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
