#include "ui/SettingsView.h"

#include "SnippetWindows.h"
#include "ui/AboutView.h"
#include "ui/HelpView.h"
#include "ui/Symbols.h"

using namespace quillo;
using namespace quillo::ui;

class SettingsViewTest : public QObject {
    Q_OBJECT
  private slots:
    // The words are the manual's own; what the program must get right is that every item
    // reaches the screen whole, as plain text, with a symbol that can be drawn and steps
    // numbered from one.
    void everySectionIsShownWholeAsPlainText() {
        HelpView help;
        QStringList shown;
        for (const QLabel* label : help.widget()->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) {
                QCOMPARE(label->textFormat(), Qt::PlainText);
                shown << label->text();
            }
        }
        QVERIFY(help.sections().size() > 1);
        for (const HelpSection* section : help.sections()) {
            QVERIFY2(hasSymbol(section->icon()), qPrintable(section->icon()));
            QStringList texts{section->title()};
            int step = 0;
            for (QWidget* item : section->content()) {
                if (auto* paragraph = qobject_cast<HelpParagraph*>(item)) {
                    texts << paragraph->heading() << paragraph->content();
                } else if (auto* numbered = qobject_cast<HelpStep*>(item)) {
                    QCOMPARE(numbered->number(), ++step);
                    texts << numbered->numberText() << numbered->text();
                } else {
                    texts << qobject_cast<HelpNote*>(item)->text();
                }
            }
            QVERIFY(texts.size() > 1);
            for (const QString& text : texts) {
                QVERIFY2(shown.contains(text), qPrintable(text));
            }
        }
        // A markup example stays the characters the user would type.
        QVERIFY(!shown.filter(QStringLiteral("\"<b>{selection}</b>\"")).isEmpty());
        QVERIFY(!hasSymbol(QStringLiteral("no.such.symbol")));
    }

    void theAboutPageNamesTheBuildsVersionOrOnePointZero() {
        QCOMPARE(AboutView::buildVersion(), QStringLiteral(QUILLO_TEST_VERSION));
        QCOMPARE(AboutView().findChild<QLabel*>(QStringLiteral("version"))->text(),
                 QStringLiteral("Version " QUILLO_TEST_VERSION));
        QVERIFY(!AboutView().findChild<QLabel*>(QStringLiteral("AppIconColor"))->pixmap().isNull());
        QCOMPARE(
            AboutView(QString(), nullptr).findChild<QLabel*>(QStringLiteral("version"))->text(),
            QStringLiteral("Version 1.0"));
    }
    void theSwitchesShowAndWriteTheirPreferences() {
        uitest::Desktop desktop({.expansionEnabled = false});
        desktop.settings().setPlaySoundOnExpansion(true);
        GeneralSettingsView view(desktop.settings(), desktop.store(),
                                 desktop.delegate().services().keyboardLayout);
        const struct {
            ToggleSwitch* toggle;
            const char* key;
            bool before;
        } cases[] = {{view.expansionSwitch(), "isExpansionEnabled", false},
                     {view.appendDelimiterSwitch(), "appendDelimiter", false},
                     {view.soundSwitch(), "playSoundOnExpansion", true}};
        for (const auto& c : cases) {
            QCOMPARE(c.toggle->isChecked(), c.before);
            QTest::mouseClick(c.toggle, Qt::LeftButton);
            QCOMPARE(c.toggle->isChecked(), !c.before);
            QCOMPARE(desktop.sim().preference(c.key), std::optional<bool>(!c.before));
        }
        QVERIFY(!view.launchAtLoginSwitch()->isChecked());
        QVERIFY(!desktop.sim().loginItemEnabled());
        // A failed registration keeps the user's choice.
        desktop.sim().setLoginItemError("no autostart folder");
        QTest::mouseClick(view.launchAtLoginSwitch(), Qt::LeftButton);
        QVERIFY(!desktop.sim().loginItemEnabled());
        QVERIFY(view.launchAtLoginSwitch()->isChecked());
    }

    void theSearchHotkeyIsRecordedUnlessASnippetHasIt() {
        uitest::Desktop desktop;
        GeneralSettingsView view(desktop.settings(), desktop.store(),
                                 desktop.delegate().services().keyboardLayout);
        view.show();
        QCOMPARE(view.searchHotkeyText()->text(), QStringLiteral("Ctrl+Alt+Space"));
        QPushButton* record = view.recordSearchHotkeyButton();
        QTest::mouseClick(record, Qt::LeftButton);
        // The third example snippet's.
        QTest::keyClick(record, 'M', Qt::ControlModifier | Qt::AltModifier);
        QCOMPARE(view.searchHotkeyCaption()->text(),
                 QStringLiteral("A snippet already has Ctrl+Alt+M; choose another."));
        QVERIFY(desktop.settings().isRecordingHotkey());
        QTest::keyClick(record, 'F', Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(!desktop.settings().isRecordingHotkey());
        QCOMPARE(view.searchHotkeyText()->text(), QStringLiteral("Ctrl+Shift+F"));
        QTest::mouseClick(view.clearSearchHotkeyButton(), Qt::LeftButton);
        QCOMPARE(view.searchHotkeyText()->text(), QStringLiteral("None"));
        QCOMPARE(desktop.settings().searchWindowHotkey(desktop.store().snippets()), std::nullopt);
    }

    // Showing the window again does not register: only the user's flip does.
    void launchAtLoginRegistersOnlyOnTheUsersFlip() {
        uitest::App a;
        a.app.openSettings();
        SettingsView* window = a.app.settingsWindow();
        window->showTab(SettingsView::Tab::general);
        ToggleSwitch* login = window->generalSettings()->launchAtLoginSwitch();
        QTest::mouseClick(login, Qt::LeftButton);
        QVERIFY(a.sim().loginItemEnabled());
        QVERIFY(a.settings().launchAtLogin());

        window->close();
        a.sim().services().loginItem.setEnabled(false); // taken away outside Quillo
        a.app.openSettings();
        QCOMPARE(window->tabs()->currentIndex(), 0); // it opens on the snippets again
        window->showTab(SettingsView::Tab::general);
        QVERIFY(!a.sim().loginItemEnabled());
        QTest::mouseClick(login, Qt::LeftButton);
        QCOMPARE(a.sim().loginItemEnabled(), login->isChecked());
    }
};

QUILLO_UI_TEST(SettingsViewTest);
#include "SettingsViewTest.moc"
