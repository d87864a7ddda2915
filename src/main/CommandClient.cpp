#include "main/CommandClient.h"

#include "model/SnippetStore.h"
#include "platform/linux/XdgPaths.h"
#include "platform/posix/FileLock.h"
#include "platform/posix/PosixFiles.h"
#include "platform/sim/SimServices.h"
#include "ui/Commands.h"
#include "ui/SingleInstance.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <iostream>
#include <optional>
#include <string_view>

namespace quillo::main {

namespace {

void print(const ui::CommandReply& reply) {
    std::cout << reply.out.toStdString() << std::flush;
    std::cerr << reply.err.toStdString() << std::flush;
}

} // namespace

bool isClientCommand(const std::vector<std::string>& args) {
    constexpr std::array<std::string_view, 7> commands{"list",   "insert", "on",    "off",
                                                       "toggle", "import", "export"};
    return !args.empty() &&
           std::find(commands.begin(), commands.end(), args.front()) != commands.end();
}

int runClientCommand(int argc, char** argv, const std::vector<std::string>& args,
                     const char* usage) {
    QCoreApplication application(argc, argv);
    QStringList words;
    for (const std::string& word : args) {
        words.push_back(QString::fromStdString(word));
    }
    if (const auto error = ui::commandUsageError(words)) {
        std::cerr << "quillo: " << error->toStdString() << "\n\n" << usage;
        return 2;
    }
    // The running Quillo works in a folder of its own.
    if (words[0] == QLatin1String("import") || words[0] == QLatin1String("export")) {
        words[1] = QFileInfo(words[1]).absoluteFilePath();
    }

    ui::SingleInstance instance;
    if (const auto answer = instance.request(ui::commandRequest(words))) {
        if (const auto reply = ui::decodeCommandReply(*answer)) {
            print(*reply);
            return reply->status;
        }
        std::cerr << "quillo: the running Quillo gave an answer that could not be read"
                  << std::endl;
        return 1;
    }
    if (!ui::runsWithoutQuillo(words)) {
        const auto reply = ui::quilloNotRunning();
        print(reply);
        return reply.status;
    }
    const auto folder = linuxdesktop::dataFolder();
    std::optional<posix::FileLock> lock;
    if (folder) {
        const auto lockFile = posix::FileLock::pathIn(*folder);
        lock = posix::FileLock::tryAcquire(lockFile, posix::FileLock::Mode::exclusive);
        if (!lock) {
            std::cerr << "quillo: waiting for another quillo command to finish with the snippets "
                         "file..."
                      << std::endl;
            lock = posix::FileLock::acquire(lockFile, posix::FileLock::Mode::exclusive);
        }
    }
    posix::PosixFiles files{folder};
    model::SnippetStore store(files);
    // The list of a file that does not read is no list to show, export or add to: the file is
    // left as it is for the user to mend.
    if (store.fileStatus().problem == model::SnippetStore::FileProblem::unreadable) {
        std::cerr << "quillo: the snippets file " << store.snippetsFile()->string()
                  << " does not read, so nothing was done: " << store.fileStatus().reason
                  << std::endl;
        return 1;
    }
    // With no desktop to ask, hotkeys are named after the US layout.
    const sim::SimKeyboardLayout layout;
    const auto reply = ui::runCommand(words, {store, layout});
    print(reply);
    return reply.status;
}

} // namespace quillo::main
