#include "ui/AppPicker.h"

#include "UiTest.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace quillo;
using ui::AppPicker;

namespace {

void writeFile(const QString& path, const QString& text) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

QString entry(const QString& keys) {
    return QStringLiteral("[Desktop Entry]\nType=Application\n") + keys +
           QStringLiteral("\n[Desktop Action new]\nName=Other\nStartupWMClass=Wrong\n");
}

} // namespace

class AppPickerTest : public QObject {
    Q_OBJECT
  private slots:
    void theIdIsTheWindowClassTheLauncherNamesOrTheBestGuess() {
        QTemporaryDir folder;
        struct Case {
            const char* file;
            QString keys;
            QString id;
        };
        const Case cases[] = {
            {"firefox-esr.desktop",
             QStringLiteral("Name=Firefox ESR\nExec=/usr/lib/firefox-esr/firefox-esr %u\n"
                            "StartupWMClass=firefox-esr\nIcon=firefox-esr"),
             QStringLiteral("firefox-esr")},
            {"gedit.desktop", QStringLiteral("Name=Text Editor\nExec=gedit %U"),
             QStringLiteral("Gedit")},
            {"org.gnome.Nautilus.desktop", QStringLiteral("Name=Files\nExec=nautilus --new-window"),
             QStringLiteral("org.gnome.Nautilus")},
            {"editor.desktop", QStringLiteral("Name=Editor\nExec=env LANG=C /opt/bin/kate -b"),
             QStringLiteral("Kate")},
        };
        for (const Case& c : cases) {
            const QString path = folder.filePath(QString::fromLatin1(c.file));
            writeFile(path, entry(c.keys));
            const auto read = AppPicker::readDesktopFile(path);
            QVERIFY2(read, c.file);
            QCOMPARE(read->id, c.id);
        }
        const auto firefox = AppPicker::readDesktopFile(folder.filePath("firefox-esr.desktop"));
        QCOMPARE(firefox->name, QStringLiteral("Firefox ESR"));
        QCOMPARE(firefox->iconName, QStringLiteral("firefox-esr"));
    }

    void hiddenEntriesAndOtherTypesAreNoApplications() {
        QTemporaryDir folder;
        const QString hidden = folder.filePath(QStringLiteral("a.desktop"));
        writeFile(hidden, entry(QStringLiteral("Name=A\nExec=a\nNoDisplay=true")));
        QVERIFY(!AppPicker::readDesktopFile(hidden));
        const QString link = folder.filePath(QStringLiteral("b.desktop"));
        writeFile(link, QStringLiteral("[Desktop Entry]\nType=Link\nName=B\nURL=http://b\n"));
        QVERIFY(!AppPicker::readDesktopFile(link));
    }

    void theFirstFolderWinsAndEachIdIsOfferedOnce() {
        QTemporaryDir home;
        QTemporaryDir system;
        writeFile(home.filePath(QStringLiteral("gedit.desktop")),
                  entry(QStringLiteral("Name=My Editor\nExec=gedit")));
        writeFile(system.filePath(QStringLiteral("gedit.desktop")),
                  entry(QStringLiteral("Name=Text Editor\nExec=gedit")));
        writeFile(system.filePath(QStringLiteral("gedit-new.desktop")),
                  entry(QStringLiteral("Name=New Editor\nExec=gedit --new")));
        writeFile(system.filePath(QStringLiteral("kde/kate.desktop")),
                  entry(QStringLiteral("Name=Kate\nExec=kate")));
        const auto apps = AppPicker::installedApplications({home.path(), system.path()});
        QCOMPARE(apps.size(), std::size_t{2});
        QCOMPARE(apps[0].name, QStringLiteral("Kate"));
        QCOMPARE(apps[1].name, QStringLiteral("My Editor"));
        QCOMPARE(apps[1].id, QStringLiteral("Gedit"));
    }

    void theChosenRowGivesItsId() {
        AppPicker picker({{QStringLiteral("Gedit"), QStringLiteral("Text Editor"), {}, false},
                          {QStringLiteral("XTerm"), QStringLiteral("XTerm"), {}, true}});
        QCOMPARE(picker.chosenId(), QString());
        QTest::keyClicks(picker.searchField(), QStringLiteral("xte"));
        QVERIFY(picker.list()->item(0)->isHidden());
        picker.list()->setCurrentRow(1);
        QCOMPARE(picker.chosenId(), QStringLiteral("XTerm"));
    }
};

QUILLO_UI_TEST(AppPickerTest);
#include "AppPickerTest.moc"
