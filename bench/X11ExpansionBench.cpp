// Times real expansions on an X server: "omw" and a space typed through XTEST into a GTK entry
// that Quillo expands to "On my way". The replacement's arrival is read from the entry's events
// on the accessibility bus, the clipboard's return from XFixes. scripts/bench starts the X
// server, the buses, Quillo and the entry around it.
//
//   quillo_x11_bench LABEL ROUNDS TEXT_TARGET_MS TARGET FILE OWNER...
//   quillo_x11_bench --input-method ROUNDS TEXT_TARGET_MS
//
// LABEL says what is on the clipboard; TEXT_TARGET_MS is the target for the text's arrival,
// which holds for some clipboards only (0: none). OWNER is a command that takes the clipboard
// and offers the bytes of FILE as TARGET among others, which must be offered again once an
// expansion has given the clipboard back. With --input-method the entry hands its keys to IBus
// and Quillo writes through its engine, without the clipboard, which is then left alone. Writes
// the table's rows, one a line, their cells separated by tabs (see --quillo_rows in
// BenchMain.cpp).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>
// clang-format on
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const QString replacement = QStringLiteral("On my way");
// Far beyond any expansion worth timing; an expansion that has not ended by then is a wrong one.
constexpr int expansionTimeoutMs = 3000;
// Quillo hears that an expansion is over a little after the clipboard is back; the next one
// must not start before, or it would time the end of this one.
constexpr int settleMs = 300;
// A copy comes a while before the typing, and whatever watches the clipboard has looked at it.
constexpr int ownerSettleMs = 200;
// About fifteen keys a second, as a quick typist.
constexpr int keyGapMs = 60;

double msSince(Clock::time_point start, Clock::time_point end) {
    return std::chrono::duration<double, std::milli>(end - start).count();
}

class Watcher : public QObject {
    Q_OBJECT

  public:
    // The entry's text as its events tell it, so that the moment it reads the replacement is
    // known without asking the entry, which would delay the events that follow.
    QString text;
    QString entryService;
    QString entryPath;
    Clock::time_point triggered;
    std::optional<Clock::time_point> replaced;
    // When a window took the clipboard; Quillo empties it (no owner) before each of its takes.
    std::vector<Clock::time_point> takes;
    int ownerChanges = 0;

    void wake() {
        if (loop_ != nullptr) {
            loop_->quit();
        }
    }

    // Runs the event loop until done() holds or ms have passed; says whether done() holds.
    bool waitUntil(const std::function<bool()>& done, int ms) {
        const QDeadlineTimer deadline(ms);
        while (!done()) {
            if (deadline.hasExpired()) {
                return false;
            }
            QEventLoop loop;
            QTimer::singleShot(static_cast<int>(deadline.remainingTime()), &loop,
                               &QEventLoop::quit);
            loop_ = &loop;
            loop.exec();
            loop_ = nullptr;
        }
        return true;
    }

    void pause(int ms) {
        waitUntil([] { return false; }, ms);
    }

  public slots:
    void onTextChanged(const QDBusMessage& message) {
        const QList<QVariant> arguments = message.arguments();
        if (arguments.size() < 4) {
            return;
        }
        // The first field to change is the entry: the dialog's label never does.
        if (entryService.isEmpty()) {
            entryService = message.service();
            entryPath = message.path();
        } else if (message.service() != entryService || message.path() != entryPath) {
            return;
        }
        const QString kind = arguments[0].toString();
        const int offset = std::clamp(arguments[1].toInt(), 0, static_cast<int>(text.size()));
        if (kind.startsWith(QLatin1String("insert"))) {
            text.insert(offset, qvariant_cast<QDBusVariant>(arguments[3]).variant().toString());
        } else if (kind.startsWith(QLatin1String("delete"))) {
            text.remove(offset, arguments[2].toInt());
        }
        if (!replaced && text == replacement) {
            replaced = Clock::now();
        }
        wake();
    }

  private:
    QEventLoop* loop_ = nullptr;
};

std::optional<QDBusConnection> accessibilityBus() {
    const QDBusMessage reply = QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")));
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return std::nullopt;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(reply.arguments().first().toString(),
                                                        QStringLiteral("accessibility"));
    return bus.isConnected() ? std::optional(bus) : std::nullopt;
}

// Applications send only the events someone has registered for.
bool registerTextEvents(const QDBusConnection& bus) {
    for (const bool withProperties : {true, false}) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("/org/a11y/atspi/registry"),
            QStringLiteral("org.a11y.atspi.Registry"), QStringLiteral("RegisterEvent"));
        call << QStringLiteral("object:text-changed");
        if (withProperties) {
            call << QStringList() << QString();
        }
        if (bus.call(call).type() == QDBusMessage::ReplyMessage) {
            return true;
        }
    }
    return false;
}

// What the entry holds, asked of the entry itself rather than pieced together from events.
QString entryText(const QDBusConnection& bus, const Watcher& watcher) {
    QDBusMessage call = QDBusMessage::createMethodCall(watcher.entryService, watcher.entryPath,
                                                       QStringLiteral("org.a11y.atspi.Text"),
                                                       QStringLiteral("GetText"));
    call << 0 << -1;
    const QDBusMessage reply = bus.call(call, QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
               ? reply.arguments().first().toString()
               : QStringLiteral("<no answer>");
}

QByteArray clipboardContents(const QString& target) {
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                          QStringLiteral("-t"), target, QStringLiteral("-o")});
    xclip.waitForFinished(20000);
    return xclip.readAllStandardOutput();
}

class Keyboard {
  public:
    explicit Keyboard(Display* display) : display_(display) {}

    void press(KeySym keySym, bool down) {
        XTestFakeKeyEvent(display_, XKeysymToKeycode(display_, keySym), down ? True : False, 0);
        XSync(display_, False);
    }
    void tap(KeySym keySym) {
        press(keySym, true);
        press(keySym, false);
    }

  private:
    Display* display_;
};

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto rank =
        static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::max<std::size_t>(rank, 1) - 1];
}

std::string milliseconds(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", ms);
    return text;
}

void row(const std::string& measure, const std::string& result, const std::string& target = "",
         const std::string& verdict = "") {
    std::cout << measure << "\t1\t" << result << "\t" << target << "\t" << verdict << "\n";
}

// A target of 0 ms is none.
void timingRows(const std::string& what, const std::vector<double>& ms, int targetMs) {
    if (ms.empty()) {
        row("  " + what + ", median", "not measured");
        return;
    }
    const double median = percentile(ms, 0.5);
    if (targetMs > 0) {
        row("  " + what + ", median", milliseconds(median), "≤ " + std::to_string(targetMs) + " ms",
            median <= targetMs ? "met" : "MISSED");
    } else {
        row("  " + what + ", median", milliseconds(median));
    }
    row("  " + what + ", 99th percentile", milliseconds(percentile(ms, 0.99)));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const bool inputMethod = argc == 4 && std::string(argv[1]) == "--input-method";
    if (argc < 7 && !inputMethod) {
        std::cerr << "usage: quillo_x11_bench LABEL ROUNDS TEXT_TARGET_MS TARGET FILE OWNER...\n"
                     "       quillo_x11_bench --input-method ROUNDS TEXT_TARGET_MS\n";
        return 2;
    }
    const std::string label = argv[1];
    const int rounds = std::atoi(argv[2]);
    const int textTargetMs = std::atoi(argv[3]);
    const QString target = inputMethod ? QString() : QString::fromLocal8Bit(argv[4]);
    QByteArray offered;
    if (!inputMethod) {
        QFile file(QString::fromLocal8Bit(argv[5]));
        file.open(QIODevice::ReadOnly);
        offered = file.readAll();
    }
    QStringList ownerCommand;
    for (int i = 7; i < argc; ++i) {
        ownerCommand << QString::fromLocal8Bit(argv[i]);
    }
    const QString ownerProgram = inputMethod ? QString() : QString::fromLocal8Bit(argv[6]);

    Display* keysDisplay = XOpenDisplay(nullptr);
    Display* eventsDisplay = XOpenDisplay(nullptr);
    int fixesEvent = 0;
    int fixesError = 0;
    if (keysDisplay == nullptr || eventsDisplay == nullptr ||
        !XFixesQueryExtension(eventsDisplay, &fixesEvent, &fixesError)) {
        std::cerr << "no X server with XFixes\n";
        return 1;
    }
    auto bus = accessibilityBus();
    if (!bus || !registerTextEvents(*bus)) {
        std::cerr << "no accessibility bus to hear the entry on\n";
        return 1;
    }

    Watcher watcher;
    bus->connect(QString(), QString(), QStringLiteral("org.a11y.atspi.Event.Object"),
                 QStringLiteral("TextChanged"), &watcher, SLOT(onTextChanged(QDBusMessage)));
    XFixesSelectSelectionInput(eventsDisplay, DefaultRootWindow(eventsDisplay),
                               XInternAtom(eventsDisplay, "CLIPBOARD", False),
                               XFixesSetSelectionOwnerNotifyMask);
    XFlush(eventsDisplay);
    QSocketNotifier notifier(ConnectionNumber(eventsDisplay), QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &watcher, [&] {
        while (XPending(eventsDisplay) > 0) {
            XEvent event;
            XNextEvent(eventsDisplay, &event);
            if (event.type == fixesEvent + XFixesSelectionNotify) {
                ++watcher.ownerChanges;
                if (reinterpret_cast<const XFixesSelectionNotifyEvent&>(event).owner != None) {
                    watcher.takes.push_back(Clock::now());
                }
            }
        }
        watcher.wake();
    });
    // The entry hears of the registration through the registry, a moment later.
    watcher.pause(500);

    Keyboard keys(keysDisplay);
    std::vector<double> toText;
    std::vector<double> toClipboard;
    int wrong = 0;
    std::optional<bool> restoreSeen;
    int mostChanges = 0;
    // The first round is not counted: it finds the entry on the bus and wakes what sleeps.
    for (int round = 0; round <= rounds; ++round) {
        // Quillo owns the clipboard once it has given it back, and would then copy its own
        // contents: each expansion starts with another program's, as after a copy.
        QProcess owner;
        watcher.takes.clear();
        if (!inputMethod) {
            owner.start(ownerProgram, ownerCommand);
            if (!watcher.waitUntil([&] { return !watcher.takes.empty(); }, 10000)) {
                std::cerr << "the clipboard's owner did not take it\n";
                return 1;
            }
            watcher.pause(ownerSettleMs);
        }
        for (const KeySym key : {XK_o, XK_m, XK_w}) {
            keys.tap(key);
            watcher.pause(keyGapMs);
        }
        watcher.replaced.reset();
        watcher.takes.clear();
        watcher.ownerChanges = 0;
        keys.press(XK_space, true);
        watcher.triggered = Clock::now();
        keys.press(XK_space, false);
        // The paste's take, then the take that gives the clipboard back: read back once from
        // the second, it must hold what the owner offered. Reading takes longer than an
        // expansion, so it counts only if no owner came after the one read from.
        std::optional<bool> readBack;
        int changesWhenRead = 0;
        if (round == 0 && !inputMethod &&
            watcher.waitUntil([&] { return watcher.takes.size() >= 2; }, expansionTimeoutMs)) {
            changesWhenRead = watcher.ownerChanges;
            readBack = clipboardContents(target) == offered;
        }
        // Through the input method the clipboard stays as it was.
        watcher.waitUntil(
            [&] { return watcher.replaced && (inputMethod || watcher.takes.size() >= 2); },
            expansionTimeoutMs);
        watcher.pause(settleMs);
        if (readBack && watcher.ownerChanges == changesWhenRead) {
            restoreSeen = readBack;
        }

        const bool right = !watcher.entryService.isEmpty() &&
                           entryText(*bus, watcher) == replacement && watcher.replaced;
        if (round > 0) {
            wrong += right ? 0 : 1;
            mostChanges = std::max(mostChanges, watcher.ownerChanges);
            if (watcher.replaced) {
                toText.push_back(msSince(watcher.triggered, *watcher.replaced));
            }
            if (watcher.takes.size() >= 2) {
                toClipboard.push_back(msSince(watcher.triggered, watcher.takes[1]));
            }
        }
        if (!right) {
            std::cerr << "  expansion " << round << " left '"
                      << entryText(*bus, watcher).toStdString() << "' in the entry\n";
        }

        keys.press(XK_Control_L, true);
        keys.tap(XK_a);
        keys.press(XK_Control_L, false);
        keys.tap(XK_Delete);
        watcher.waitUntil([&] { return watcher.text.isEmpty(); }, expansionTimeoutMs);
        watcher.text = entryText(*bus, watcher);
        watcher.pause(keyGapMs);
        if (!inputMethod) {
            owner.kill();
            owner.waitForFinished();
        }
    }

    const std::string expansions = std::to_string(rounds) + " expansions of omw in a GTK entry";
    if (inputMethod) {
        row("Input method (IBus) on X11", expansions + ", " + std::to_string(wrong) + " wrong",
            "0 wrong", wrong == 0 ? "met" : "MISSED");
        timingRows("trigger key to text in the field", toText, textTargetMs);
        row("  clipboard", mostChanges == 0 ? "left alone" : "TAKEN", "left alone",
            mostChanges == 0 ? "met" : "MISSED");
        XCloseDisplay(eventsDisplay);
        XCloseDisplay(keysDisplay);
        return 0;
    }
    row("X11: " + label, expansions + ", " + std::to_string(wrong) + " wrong", "0 wrong",
        wrong == 0 ? "met" : "MISSED");
    timingRows("trigger key to text in the field", toText, textTargetMs);
    timingRows("trigger key to the clipboard back", toClipboard, 100);
    row("  clipboard given back as it was (read back once)",
        std::string(!restoreSeen ? "not seen" : (*restoreSeen ? "yes" : "NO")) + "; at most " +
            std::to_string(mostChanges) + " owner changes an expansion",
        "yes", restoreSeen.value_or(false) ? "met" : "MISSED");
    XCloseDisplay(eventsDisplay);
    XCloseDisplay(keysDisplay);
    return 0;
}

#include "X11ExpansionBench.moc"
