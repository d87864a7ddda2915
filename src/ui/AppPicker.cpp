#include "ui/AppPicker.h"

#include "ui/Symbols.h"
#include "ui/Typography.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPixmap>
#include <QPushButton>
#include <QSet>
#include <QTextStream>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

namespace quillo::ui {

namespace {

AppPicker::OpenApplications& openApplicationsSource() {
    static AppPicker::OpenApplications source;
    return source;
}

QString environment(const char* name) {
    return qEnvironmentVariable(name);
}

// The program a launcher's Exec line starts, without its folder, its arguments and an "env"
// prefix with variable assignments.
QString programOf(const QString& exec) {
    const QStringList words = exec.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    int i = 0;
    if (i < words.size() && QFileInfo(words[i]).fileName() == QLatin1String("env")) {
        ++i;
        while (i < words.size() && words[i].contains(QLatin1Char('='))) {
            ++i;
        }
    }
    if (i >= words.size()) {
        return {};
    }
    QString program = words[i];
    program.remove(QLatin1Char('"'));
    return QFileInfo(program).fileName();
}

// The window class a program most likely gives its windows when its launcher does not say
// (StartupWMClass): applications named in reverse-domain form (org.gnome.Nautilus) are GTK and
// Qt programs that use that name as their class; the others follow Xlib's and GTK's custom of
// the program's name with a capital first letter ("gedit" -> "Gedit").
QString guessedWindowClass(const QString& desktopId, const QString& exec) {
    if (desktopId.count(QLatin1Char('.')) >= 2) {
        return desktopId;
    }
    QString program = programOf(exec);
    if (program.isEmpty()) {
        program = desktopId;
    }
    if (!program.isEmpty()) {
        program[0] = program[0].toUpper();
    }
    return program;
}

} // namespace

void AppPicker::setOpenApplicationsSource(OpenApplications source) {
    openApplicationsSource() = std::move(source);
}

QStringList AppPicker::applicationFolders() {
    QStringList folders;
    QString dataHome = environment("XDG_DATA_HOME");
    if (dataHome.isEmpty()) {
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    }
    folders << dataHome + QStringLiteral("/applications");
    QString dataDirs = environment("XDG_DATA_DIRS");
    if (dataDirs.isEmpty()) {
        dataDirs = QStringLiteral("/usr/local/share/:/usr/share/");
    }
    for (const QString& dir : dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        folders << QDir(dir).filePath(QStringLiteral("applications"));
    }
    return folders;
}

std::optional<ApplicationEntry> AppPicker::readDesktopFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return std::nullopt;
    }
    const QString locale = QLocale().name(); // "de_DE"
    const QString language = locale.section(QLatin1Char('_'), 0, 0);
    std::map<QString, QString> keys;
    bool inEntry = false;
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry || line.startsWith(QLatin1Char('#'))) {
            continue;
        }
        const auto equals = line.indexOf(QLatin1Char('='));
        if (equals > 0) {
            keys[line.left(equals).trimmed()] = line.mid(equals + 1).trimmed();
        }
    }
    const auto value = [&](const QString& key) {
        const auto found = keys.find(key);
        return found == keys.end() ? QString() : found->second;
    };
    if (value(QStringLiteral("Type")) != QLatin1String("Application") ||
        value(QStringLiteral("Hidden")) == QLatin1String("true") ||
        value(QStringLiteral("NoDisplay")) == QLatin1String("true")) {
        return std::nullopt;
    }
    ApplicationEntry entry;
    for (const QString& key : {QStringLiteral("Name[%1]").arg(locale),
                               QStringLiteral("Name[%1]").arg(language), QStringLiteral("Name")}) {
        if (entry.name = value(key); !entry.name.isEmpty()) {
            break;
        }
    }
    entry.iconName = value(QStringLiteral("Icon"));
    entry.id = value(QStringLiteral("StartupWMClass"));
    if (entry.id.isEmpty()) {
        QString desktopId = QFileInfo(path).fileName();
        desktopId.chop(static_cast<qsizetype>(QStringLiteral(".desktop").size()));
        entry.id = guessedWindowClass(desktopId, value(QStringLiteral("Exec")));
    }
    if (entry.id.isEmpty()) {
        return std::nullopt;
    }
    if (entry.name.isEmpty()) {
        entry.name = entry.id;
    }
    return entry;
}

std::vector<ApplicationEntry> AppPicker::installedApplications(const QStringList& folders) {
    QSet<QString> seenFiles;
    QSet<QString> seenIds;
    std::vector<ApplicationEntry> entries;
    for (const QString& folder : folders) {
        QDirIterator files(folder, {QStringLiteral("*.desktop")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            // A launcher's id is its path below the folder, with "/" read as "-".
            const QString desktopId =
                QDir(folder).relativeFilePath(path).replace(QLatin1Char('/'), QLatin1Char('-'));
            if (seenFiles.contains(desktopId)) {
                continue;
            }
            seenFiles.insert(desktopId);
            if (auto entry = readDesktopFile(path); entry && !seenIds.contains(entry->id)) {
                seenIds.insert(entry->id);
                entries.push_back(std::move(*entry));
            }
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.name.localeAwareCompare(b.name) < 0; });
    return entries;
}

std::vector<ApplicationEntry> AppPicker::availableApplications() {
    std::vector<ApplicationEntry> entries = installedApplications(applicationFolders());
    if (const auto& source = openApplicationsSource()) {
        std::vector<ApplicationEntry> open;
        for (const std::string& windowClass : source()) {
            const QString id = QString::fromStdString(windowClass);
            const auto installed = std::find_if(entries.begin(), entries.end(),
                                                [&](const auto& e) { return e.id == id; });
            if (installed != entries.end()) {
                installed->isOpen = true;
            } else if (!id.isEmpty() && std::none_of(open.begin(), open.end(),
                                                     [&](const auto& e) { return e.id == id; })) {
                open.push_back({id, id, {}, true});
            }
        }
        entries.insert(entries.begin(), open.begin(), open.end());
    }
    return entries;
}

AppPicker::AppPicker(std::vector<ApplicationEntry> entries, QWidget* parent)
    : QDialog(parent), entries_(std::move(entries)) {
    setObjectName(QStringLiteral("appPicker"));
    setWindowTitle(QStringLiteral("Add App"));
    resize(420, 480);
    auto* column = new QVBoxLayout(this);

    search_ = new QLineEdit(this);
    search_->setPlaceholderText(QStringLiteral("Search applications..."));
    search_->setClearButtonEnabled(true);
    column->addWidget(search_);

    list_ = new QListWidget(this);
    list_->setIconSize(QSize(24, 24));
    list_->setUniformItemSizes(true);
    for (const ApplicationEntry& entry : entries_) {
        QString label = entry.name;
        if (entry.name != entry.id) {
            label += QStringLiteral("  —  ") + entry.id;
        }
        if (entry.isOpen) {
            label += QStringLiteral("  (open)");
        }
        auto* item = new QListWidgetItem(label, list_);
        QIcon icon = QFileInfo(entry.iconName).isAbsolute() ? QIcon(entry.iconName)
                                                            : QIcon::fromTheme(entry.iconName);
        if (icon.isNull()) {
            icon = QIcon::fromTheme(QStringLiteral("application-x-executable"));
        }
        if (icon.isNull()) {
            // An empty square keeps the names of icon-less entries in line with the others.
            QPixmap blank(list_->iconSize());
            blank.fill(Qt::transparent);
            icon = QIcon(blank);
        }
        item->setIcon(icon);
        item->setData(Qt::UserRole, entry.id);
    }
    column->addWidget(list_, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    add_ = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    add_->setEnabled(false);
    column->addWidget(buttons);

    connect(search_, &QLineEdit::textChanged, this, &AppPicker::filter);
    connect(list_, &QListWidget::currentRowChanged, this,
            [this](int row) { add_->setEnabled(row >= 0 && !list_->item(row)->isHidden()); });
    connect(list_, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QString AppPicker::chosenId() const {
    const QListWidgetItem* item = list_->currentItem();
    return item && !item->isHidden() ? item->data(Qt::UserRole).toString() : QString();
}

void AppPicker::filter(const QString& text) {
    for (int row = 0; row < list_->count(); ++row) {
        QListWidgetItem* item = list_->item(row);
        item->setHidden(!item->text().contains(text, Qt::CaseInsensitive));
    }
}

} // namespace quillo::ui
