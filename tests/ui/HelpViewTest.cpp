#include "ui/HelpView.h"

#include "UiTest.h"
#include "ui/AboutView.h"
#include "ui/Symbols.h"

#include <QLabel>
#include <QScrollBar>
#include <QTest>

using namespace quillo;
using namespace quillo::ui;

namespace {

enum class Kind { paragraph, step, note };

struct Item {
    Kind kind;
    const char* heading; // a paragraph's heading, a step's number as shown
    const char* text;    // none where the text is partly the program's own choice
};

struct Section {
    const char* title;
    const char* icon;
    std::vector<Item> items;
};

// The manual, word for word.
const std::vector<Section> manual{
    {"Snippets",
     "text.quote",
     {
         {Kind::paragraph, "What is a snippet?",
          "A snippet is a shortcut + the text it expands to. For example, typing \"omw\" "
          "automatically inserts \"On my way!\""},
         {Kind::paragraph, "Creating a snippet",
          "Click the \"+\" button in the snippet list. Enter a shortcut and the replacement text, "
          "then save with ✓."},
         {Kind::paragraph, "Enabling / disabling",
          "Each snippet has its own toggle — you can disable it without deleting. The global "
          "toggle is also available from the menu bar icon."},
         {Kind::paragraph, "The {clipboard} variable", nullptr},
         {Kind::paragraph, "The {cursor} variable",
          "Place {cursor} anywhere in the replacement text to position the cursor there after "
          "expansion. The text after {cursor} is typed normally, then the cursor jumps "
          "back.\nExample: \"<a href='{cursor}'></a>\" — after expansion the cursor lands inside "
          "the href quotes, ready for the URL."},
         {Kind::paragraph, "The {selection} variable",
          "Use {selection} to wrap or transform the currently selected text. When expansion runs, "
          "Quillo copies the selection, composes the final string in memory, and pastes it in a "
          "single step — the target app never sees partial output, so auto-closing tags and "
          "format-on-paste cannot interfere.\nExample with a Hotkey trigger (e.g. ⇧⌘B) and "
          "replacement \"<b>{selection}</b>\": select text, press the hotkey, and the selection "
          "becomes <b>selection</b> — no macro needed."},
         {Kind::note, "",
          "You can combine variables: \"<a href='{clipboard}'>{selection}</a>\" wraps the "
          "selection in a link whose href comes from the clipboard. {selection} works best with "
          "the Hotkey trigger, where there is a live selection to capture."},
     }},
    {"Trigger Modes",
     "bolt",
     {
         {Kind::paragraph, "After Delimiter",
          "The snippet expands after you type a delimiter — space, period, comma, Enter, etc. "
          "Example: \"omw\" + space → expansion."},
         {Kind::paragraph, "Instant",
          "The snippet expands immediately after the last character of the shortcut, with no extra "
          "key required. Best for unique shortcuts that don't appear inside other words."},
         {Kind::paragraph, "Hotkey",
          "The snippet is triggered by a key combination (e.g. Ctrl+Opt+M) rather than typing. The "
          "original keystroke is suppressed and the text is inserted into the active field.\nSee "
          "\"Setting Up a Hotkey\" below."},
     }},
    {"Setting Up a Hotkey",
     "keyboard",
     {
         {Kind::step, "1.", "Go to Settings → Snippets and select or create a snippet."},
         {Kind::step, "2.", "Set the Trigger to \"Hotkey\"."},
         {Kind::step, "3.",
          "Click \"Record Shortcut\" — the button becomes active and waits for input."},
         {Kind::step, "4.",
          "Press your desired combination, e.g. Ctrl+Opt+M. It will be saved and shown on the "
          "button."},
         {Kind::step, "5.",
          "Save with ✓. Now pressing Ctrl+Opt+M in any app will insert the snippet text."},
         {Kind::note, "",
          "Use at least two modifier keys (e.g. Ctrl+Opt or Ctrl+Shift) to avoid conflicts with "
          "system shortcuts."},
     }},
    {"Macro Sequences",
     "rectangle.stack",
     {
         {Kind::paragraph, "What is a macro?",
          "A macro is a snippet that executes a sequence of actions instead of inserting text — "
          "type text, press keys, and wait between steps. Example: ⌘C → new window → ⌘V, "
          "automatically."},
         {Kind::paragraph, "Creating a macro",
          "In the snippet editor, switch the Output picker from \"Text\" to \"Macro\". A step list "
          "will appear. Click \"+ Add Step\" and choose a step type."},
         {Kind::paragraph, "Step types",
          "• Type Text — types the text into the active app using synthetic keyboard events. Does "
          "NOT touch the clipboard, so any ⌘C you do inside the macro is preserved for a later ⌘V "
          "step.\n• Press Key — simulates a key combination (e.g. ⌘C, ⌘V, ↩). Click \"Record\" "
          "then press the keys.\n• Wait (ms) — a pause in milliseconds between steps. Useful when "
          "an app needs time to process the previous action."},
         {Kind::paragraph, "Reordering steps",
          "Each step has ↑ and ↓ buttons on the right. Use them to move a step up or down. Useful "
          "when you realise mid-way that you need an extra Wait — add it at the bottom and move it "
          "into position."},
         {Kind::paragraph, "Triggering a macro",
          "A macro snippet can be triggered the same way as a regular snippet — via text (After "
          "Delimiter, Instant) or a Hotkey. Choose the trigger mode in the Trigger section."},
         {Kind::paragraph, "Example: wrap selection in HTML tags",
          "To wrap selected text in <b>…</b> with a single hotkey (e.g. ⇧⌘B):\n1. Press Key: ⌘C   "
          "(copy the selection)\n2. Wait: 150 ms\n3. Press Key: ⌫ Backspace   (delete the "
          "selection)\n4. Type Text: <b>\n5. Press Key: ⌘V   (paste the copied selection back)\n6. "
          "Type Text: </b>\n\nSelect text → press ⇧⌘B → the selection becomes <b>selection</b>. "
          "The original clipboard is restored automatically at the end of the macro."},
         {Kind::note, "",
          "A small automatic delay exists between steps. If an app is slow to respond, add a Wait "
          "step (200–500 ms) after Press Key actions — especially after ⌘C, to give the OS time to "
          "update the clipboard."},
         {Kind::note, "",
          "Tip: for simple wrap-the-selection use cases, prefer a regular Text snippet with the "
          "{selection} variable (e.g. \"<b>{selection}</b>\") instead of a macro. It pastes the "
          "final string in one step, so editors that auto-close tags or reformat on paste cannot "
          "interfere."},
     }},
    {"App Filters",
     "app.badge.checkmark",
     {
         {Kind::paragraph, "Allowed Apps",
          "If this list is non-empty, the snippet will only expand in those apps. For example, you "
          "can create a snippet that works only in Xcode."},
         {Kind::paragraph, "Blocked Apps",
          "The snippet will not expand in the listed apps. Useful if an app handles its own "
          "shortcuts."},
         {Kind::note, "",
          "Click \"+ Add App\" to pick an app — the bundle ID is filled in automatically. Use "
          "Allowed Apps to restrict the snippet to specific apps only, or Blocked Apps to exclude "
          "certain apps."},
     }},
    {"General Settings",
     "gear",
     {
         {Kind::paragraph, "Enable text expansion",
          "A global on/off switch — disables all snippets at once. The same toggle is available "
          "from the menu bar icon."},
         {Kind::paragraph, "Append delimiter after expansion",
          "When enabled, the delimiter character (e.g. space) is re-inserted after the replacement "
          "text. Useful in After Delimiter mode so the space you typed isn't lost."},
         {Kind::paragraph, "Play sound on expansion",
          "Plays a short sound each time a snippet expands — a confirmation that the shortcut was "
          "recognised."},
         {Kind::paragraph, "Launch at login",
          "Quillo starts automatically with macOS. Recommended to enable once the app is moved to "
          "/Applications."},
     }},
    {"Accessibility Permission",
     "lock.shield",
     {
         {Kind::paragraph, "Why is it required?",
          "Quillo listens to keystrokes globally using the macOS Accessibility API. Without this "
          "permission, expansion does not work."},
         {Kind::paragraph, "If the permission disappears after an update",
          "Open System Settings → Privacy & Security → Accessibility. Remove Quillo from the list "
          "and add it again, then restart the app."},
         {Kind::note, "",
          "Secure Input fields (e.g. password fields) are never processed — this is an intentional "
          "security measure."},
     }},
};

QString utf8(const char* text) {
    return QString::fromUtf8(text);
}

// The {clipboard} paragraph ends with an example address of the program's choosing.
void verifyClipboardParagraph(const QString& content) {
    const QStringList lines = content.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("Use {clipboard} in your replacement text to insert the "
                                      "current clipboard contents at expansion time."));
    const QString opening = QStringLiteral("Example: \"Check this out: {clipboard}\" → \"Check "
                                           "this out: https://");
    QVERIFY2(lines[1].startsWith(opening), qPrintable(lines[1]));
    QVERIFY(lines[1].endsWith(QLatin1Char('"')));
    QVERIFY(lines[1].size() > opening.size() + 4);
}

} // namespace

class HelpViewTest : public QObject {
    Q_OBJECT
  private slots:
    void theManualHasItsSevenSectionsWordForWord() {
        HelpView help;
        QCOMPARE(help.sections().size(), static_cast<qsizetype>(manual.size()));
        for (std::size_t s = 0; s < manual.size(); ++s) {
            const HelpSection& section = *help.sections().at(static_cast<qsizetype>(s));
            const Section& expected = manual[s];
            QCOMPARE(section.title(), utf8(expected.title));
            QCOMPARE(section.icon(), utf8(expected.icon));
            QCOMPARE(section.content().size(), static_cast<qsizetype>(expected.items.size()));
            for (std::size_t i = 0; i < expected.items.size(); ++i) {
                const Item& item = expected.items[i];
                QWidget* shown = section.content().at(static_cast<qsizetype>(i));
                switch (item.kind) {
                case Kind::paragraph: {
                    auto* paragraph = qobject_cast<HelpParagraph*>(shown);
                    QVERIFY2(paragraph, item.heading);
                    QCOMPARE(paragraph->heading(), utf8(item.heading));
                    if (item.text) {
                        QCOMPARE(paragraph->content(), utf8(item.text));
                    } else {
                        verifyClipboardParagraph(paragraph->content());
                    }
                    break;
                }
                case Kind::step: {
                    auto* step = qobject_cast<HelpStep*>(shown);
                    QVERIFY2(step, item.text);
                    QCOMPARE(step->numberText(), utf8(item.heading));
                    QCOMPARE(step->text(), utf8(item.text));
                    break;
                }
                case Kind::note: {
                    auto* note = qobject_cast<HelpNote*>(shown);
                    QVERIFY2(note, item.text);
                    QCOMPARE(note->text(), utf8(item.text));
                    break;
                }
                }
            }
        }
    }

    // What reaches the screen: each text in a label of its own, never read as markup.
    void everyTextIsShownAsPlainText() {
        HelpView help;
        QStringList shown;
        for (const QLabel* label : help.widget()->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                QCOMPARE(label->textFormat(), Qt::PlainText);
                shown << label->text();
            }
        }
        for (const Section& section : manual) {
            QVERIFY(shown.contains(utf8(section.title)));
            for (const Item& item : section.items) {
                if (item.text) {
                    QVERIFY2(shown.contains(utf8(item.text)), item.text);
                }
            }
        }
    }

    void everySectionSymbolAndTheLightBulbCanBeShown() {
        for (const Section& section : manual) {
            QVERIFY2(hasSymbol(utf8(section.icon)), section.icon);
        }
        QVERIFY(hasSymbol(QStringLiteral("lightbulb")));
        QVERIFY(hasSymbol(QStringLiteral("checkmark.circle.fill")));
        QVERIFY(hasSymbol(QStringLiteral("text.cursor")));
        QVERIFY(!hasSymbol(QStringLiteral("no.such.symbol")));
    }

    void longTextsWrapAndTheManualScrolls() {
        HelpView help;
        help.resize(600, 400);
        help.show();
        QVERIFY(QTest::qWaitForWindowExposed(&help));
        QVERIFY(help.verticalScrollBar()->maximum() > 0);
        QCOMPARE(help.horizontalScrollBar()->maximum(), 0);
        for (const QLabel* label : help.widget()->findChildren<QLabel*>()) {
            QVERIFY(label->width() <= help.viewport()->width());
        }
    }

    void theAboutPageNamesTheBuildsVersion() {
        AboutView about;
        QCOMPARE(AboutView::buildVersion(), QStringLiteral(QUILLO_TEST_VERSION));
        QStringList texts;
        for (const QLabel* label : about.findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                texts << label->text();
            }
        }
        QCOMPARE(texts, (QStringList{QStringLiteral("Quillo Snippets"),
                                     QStringLiteral("Version " QUILLO_TEST_VERSION),
                                     QStringLiteral("Global text expansion for macOS")}));
        const auto* icon = about.findChild<QLabel*>(QStringLiteral("AppIconColor"));
        QVERIFY(icon);
        QCOMPARE(icon->size(), QSize(80, 80));
        QVERIFY(!icon->pixmap().isNull());
    }

    void withoutAVersionTheAboutPageSaysOnePointZero() {
        QCOMPARE(AboutView::versionText(QString()), QStringLiteral("Version 1.0"));
        AboutView about(QString(), nullptr);
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("version"))->text(),
                 QStringLiteral("Version 1.0"));
    }
};

QUILLO_UI_TEST(HelpViewTest);
#include "HelpViewTest.moc"
