#include "ui/Commands.h"

#include "model/SnippetDocument.h"
#include "ui/SnippetRow.h"
#include "ui/SnippetTransfer.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace quillo::ui {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("quillo::ui::Commands", text);
}

QString line(const QString& text) {
    return text + QLatin1Char('\n');
}

QString listing(const CommandContext& context) {
    QString out;
    for (const model::Snippet& snippet : context.store.snippets()) {
        QString first =
            QString::fromStdString(snippet.replacement).section(QLatin1Char('\n'), 0, 0);
        if (!snippet.macroSteps.empty()) {
            first = tr("(macro of %1 steps)").arg(snippet.macroSteps.size());
        }
        QString trigger = QString::fromLatin1(model::toString(snippet.triggerMode));
        if (!snippet.isEnabled) {
            trigger += tr(", off");
        }
        out += SnippetRow::title(snippet, context.keyboardLayout) + QLatin1Char('\t') + trigger +
               QLatin1Char('\t') + first + QLatin1Char('\n');
    }
    return out;
}

// By id, else by shortcut: the first enabled snippet of that shortcut in the list's order, or
// the first at all, which the engine then refuses as switched off.
const model::Snippet* find(const model::SnippetStore& store, const QString& name) {
    const std::string wanted = name.toStdString();
    const auto id = model::Uuid::parse(wanted);
    const model::Snippet* first = nullptr;
    for (const model::Snippet& snippet : store.snippets()) {
        if (id && snippet.id == *id) {
            return &snippet;
        }
        if (!id && snippet.shortcut == wanted) {
            if (snippet.isEnabled) {
                return &snippet;
            }
            first = first ? first : &snippet;
        }
    }
    return first;
}

CommandReply insert(const CommandContext& context, const QString& name) {
    if (!context.engine) {
        return {
            1, {}, line(tr("quillo: nothing was inserted. Quillo has no access to the keyboard."))};
    }
    const model::Snippet* snippet = find(context.store, name);
    if (!snippet) {
        return {1, {}, line(tr("quillo: no snippet has the shortcut or id %1").arg(name))};
    }
    if (const auto refusal = context.engine->insert(*snippet)) {
        return {1,
                {},
                line(tr("quillo: nothing was inserted. %1")
                         .arg(tr(engine::TextExpansionEngine::describe(*refusal))))};
    }
    return {};
}

CommandReply transfer(const TransferOutcome& outcome) {
    return outcome.succeeded ? CommandReply{0, line(outcome.message), {}}
                             : CommandReply{1, {}, line(outcome.message)};
}

} // namespace

CommandReply quilloNotRunning() {
    return {1, {}, line(tr("quillo: Quillo is not running; start it with `quillo`."))};
}

QByteArray commandRequest(const QStringList& args) {
    return QJsonDocument(QJsonObject{{QStringLiteral("command"), QJsonArray::fromStringList(args)}})
        .toJson(QJsonDocument::Compact);
}

QByteArray answerCommandRequest(const QByteArray& request, const CommandContext& context) {
    QStringList args;
    for (const QJsonValue& word :
         QJsonDocument::fromJson(request)[QLatin1String("command")].toArray()) {
        args.push_back(word.toString());
    }
    CommandReply reply;
    if (const auto error = commandUsageError(args)) {
        reply = {2, {}, line(QStringLiteral("quillo: ") + *error)};
    } else {
        reply = runCommand(args, context);
    }
    return QJsonDocument(QJsonObject{{QStringLiteral("status"), reply.status},
                                     {QStringLiteral("out"), reply.out},
                                     {QStringLiteral("err"), reply.err}})
        .toJson(QJsonDocument::Compact);
}

std::optional<CommandReply> decodeCommandReply(const QByteArray& answer) {
    const QJsonDocument document = QJsonDocument::fromJson(answer);
    if (!document.isObject() || !document[QLatin1String("status")].isDouble()) {
        return std::nullopt;
    }
    return CommandReply{document[QLatin1String("status")].toInt(),
                        document[QLatin1String("out")].toString(),
                        document[QLatin1String("err")].toString()};
}

std::optional<QString> commandUsageError(const QStringList& args) {
    if (args.isEmpty()) {
        return tr("a command is missing");
    }
    const QString& command = args.front();
    const auto count = args.size() - 1;
    if (command == QLatin1String("list")) {
        if (count == 0 || (count == 1 && args[1] == QLatin1String("--json"))) {
            return std::nullopt;
        }
        return tr("list takes only --json");
    }
    if (command == QLatin1String("on") || command == QLatin1String("off") ||
        command == QLatin1String("toggle")) {
        return count == 0 ? std::nullopt : std::optional(tr("%1 takes no arguments").arg(command));
    }
    if (command == QLatin1String("insert")) {
        return count == 1 && !args[1].isEmpty()
                   ? std::nullopt
                   : std::optional(tr("insert takes one shortcut or snippet id"));
    }
    if (command == QLatin1String("import") || command == QLatin1String("export")) {
        return count == 1 && !args[1].isEmpty()
                   ? std::nullopt
                   : std::optional(tr("%1 takes one file").arg(command));
    }
    return tr("unknown command %1").arg(command);
}

bool runsWithoutQuillo(const QStringList& args) {
    const QString& command = args.front();
    return command == QLatin1String("list") || command == QLatin1String("import") ||
           command == QLatin1String("export");
}

CommandReply runCommand(const QStringList& args, const CommandContext& context) {
    const QString& command = args.front();
    if (command == QLatin1String("list")) {
        if (args.size() == 2) {
            return {0,
                    line(QString::fromStdString(model::encodeSnippets(context.store.snippets()))),
                    {}};
        }
        return {0, listing(context), {}};
    }
    if (command == QLatin1String("import")) {
        CommandReply reply = transfer(importSnippets(context.store, args[1]));
        if (reply.status == 0 && context.store.fileStatus().unsaved) {
            reply.out += line(tr("The snippets file does not read, so the list is not saved yet: "
                                 "the settings window offers to reload the file or to write the "
                                 "list over it."));
        }
        return reply;
    }
    if (command == QLatin1String("export")) {
        return transfer(exportSnippets(context.store, args[1]));
    }
    if (!context.settings) {
        return quilloNotRunning();
    }
    if (command == QLatin1String("insert")) {
        return insert(context, args[1]);
    }
    const bool on = command == QLatin1String("toggle") ? !context.settings->isExpansionEnabled()
                                                       : command == QLatin1String("on");
    context.settings->setExpansionEnabled(on);
    return {0, line(on ? tr("Expansion is on.") : tr("Expansion is off.")), {}};
}

} // namespace quillo::ui
