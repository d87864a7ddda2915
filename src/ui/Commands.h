// The commands that drive Quillo from a terminal or a script:
//
//   quillo list [--json]        the snippets: shortcut, trigger, first line of the replacement;
//                               or the snippets file's own JSON
//   quillo insert SHORTCUT|ID   writes the snippet into the focused window
//   quillo on | off | toggle    the global switch
//   quillo import FILE          the same as the window's "Import Snippets..."
//   quillo export FILE          the same as the window's "Export Snippets..."
//
// The running Quillo runs them on the request of another `quillo` process (through the
// single-instance socket), on its own list, switch and engine. When none runs, `list`, `import`
// and `export` work on the snippets file directly and the others say that Quillo is not running.
#pragma once

#include "engine/TextExpansionEngine.h"
#include "model/AppSettings.h"
#include "model/SnippetStore.h"
#include "platform/Platform.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace quillo::ui {

struct CommandReply {
    int status = 0; // the exit status of the `quillo` process: 0, or 1 when it failed
    QString out;
    QString err;
};

struct CommandContext {
    model::SnippetStore& store;
    const platform::KeyboardLayout& keyboardLayout; // names the hotkeys in `list`
    // Both none when no Quillo runs.
    model::AppSettings* settings = nullptr;
    engine::TextExpansionEngine* engine = nullptr;
};

// Whether the words are one of the commands with the right arguments; the message of a usage
// error otherwise (exit status 2).
std::optional<QString> commandUsageError(const QStringList& args);
// Whether the command can run on the snippets file alone.
bool runsWithoutQuillo(const QStringList& args);
// What `quillo` says for a command that needs the running Quillo when none runs.
CommandReply quilloNotRunning();

// The running Quillo's side of a request through the single-instance socket: runs the command
// and answers with its reply. A request that does not decode is answered as a usage error.
QByteArray answerCommandRequest(const QByteArray& request, const CommandContext& context);
// The caller's side: the request for a command, and the reply it gets; none when the answer does
// not decode.
QByteArray commandRequest(const QStringList& args);
std::optional<CommandReply> decodeCommandReply(const QByteArray& answer);

// Runs a command whose words passed commandUsageError(). File arguments must be absolute: the
// running Quillo's folder is not the caller's.
CommandReply runCommand(const QStringList& args, const CommandContext& context);

} // namespace quillo::ui
