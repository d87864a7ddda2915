// What the end-to-end tests need of an X client that no ready-made tool does:
//   png                      writes a small PNG image to standard output
//   png WIDTH HEIGHT         writes a PNG image of that size whose pixels are noise, so that it
//                            barely compresses (about 4 bytes a pixel), the same bytes every run
//   own TEXT HTML PNG        owns the clipboard with three formats at once, the bytes of the
//                            three files, until killed
//   grab [xi]                grabs the keyboard as a password prompt does (with XInput 2, as GTK
//                            does, when "xi" is given), says "grabbed", then writes what is
//                            typed (<BS> for Backspace, <C-x> for Ctrl+x)
//   hold                     holds Ctrl+Alt+M as a hotkey of its own, says "holding"
//   watch                    writes a line each time the clipboard changes owner, until killed
//   active CLASS             names a window of class CLASS the active one, as a window manager
//                            does, and says "active"
//   password TITLE           a Qt window titled TITLE with a password field; Return writes what
//                            the field holds and ends it
//   entry TITLE              the same with a plain text field
//   late TITLE MIN MAX       the same with a text field that fetches a paste from the clipboard
//                            MIN to MAX milliseconds after Ctrl+V, as a slow program does
//   wayland-keyboard         a keyboard for the Wayland session of the mutter on the session
//                            bus, through its remote desktop: says "ready" once it is plugged
//                            in, then types each line "DELAY TEXT" read (\n in TEXT is Return)
//                            at DELAY milliseconds a key and says "typed"
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTimer>
// clang-format off
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>
// clang-format on
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

QByteArray readFile(const char* path) {
    QFile file(QString::fromLocal8Bit(path));
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

int writePng() {
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(QColor(200, 40, 90, 255));
    image.setPixelColor(3, 3, QColor(10, 200, 30, 128));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    std::fwrite(buffer.data().constData(), 1, static_cast<std::size_t>(buffer.data().size()),
                stdout);
    return 0;
}

int writeNoisePng(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    // The standard fixes mt19937's sequence for a seed: the same image, so the same bytes,
    // every run.
    std::mt19937 noise(12345);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<std::uint32_t*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = static_cast<std::uint32_t>(noise());
        }
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    std::fwrite(buffer.data().constData(), 1, static_cast<std::size_t>(buffer.data().size()),
                stdout);
    return 0;
}

// Prints a line for each change of the clipboard's owner: "changed", or "changed none" when
// nobody owns it any more.
int watch() {
    Display* display = XOpenDisplay(nullptr);
    int eventBase = 0;
    int errorBase = 0;
    if (display == nullptr || !XFixesQueryExtension(display, &eventBase, &errorBase)) {
        return 1;
    }
    XFixesSelectSelectionInput(
        display, DefaultRootWindow(display), XInternAtom(display, "CLIPBOARD", False),
        XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask |
            XFixesSelectionClientCloseNotifyMask);
    XSync(display, False);
    std::cout << "watching" << std::endl;
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == eventBase + XFixesSelectionNotify) {
            const auto& notify = reinterpret_cast<const XFixesSelectionNotifyEvent&>(event);
            std::cout << (notify.owner == None ? "changed none" : "changed") << std::endl;
        }
    }
}

int own(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication application(argc, argv);
    auto* data = new QMimeData;
    data->setData("text/plain", readFile(argv[2]));
    // Offered by GTK programs, and asked for first by them.
    data->setData("text/plain;charset=utf-8", readFile(argv[2]));
    data->setData("text/html", readFile(argv[3]));
    data->setData("image/png", readFile(argv[4]));
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    return QGuiApplication::exec();
}

void writeKey(KeySym keySym, unsigned state, const std::string& text) {
    if (keySym == XK_BackSpace) {
        std::cout << "<BS>";
    } else if (state & ControlMask) {
        std::cout << "<C-" << XKeysymToString(keySym) << ">";
    } else {
        std::cout << text;
    }
    std::cout.flush();
}

int grab() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    while (XGrabKeyboard(display, root, False, GrabModeAsync, GrabModeAsync, CurrentTime) !=
           GrabSuccess) {
        usleep(20000);
    }
    std::cout << "grabbed" << std::endl;
    while (true) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != KeyPress) {
            continue;
        }
        char text[8] = {};
        KeySym keySym = NoSymbol;
        const int length = XLookupString(&event.xkey, text, sizeof text - 1, &keySym, nullptr);
        writeKey(keySym, event.xkey.state, std::string(text, static_cast<std::size_t>(length)));
    }
}

int grabWithXInput2() {
    Display* display = XOpenDisplay(nullptr);
    int opcode = 0;
    int event = 0;
    int error = 0;
    int major = 2;
    int minor = 0;
    if (display == nullptr ||
        !XQueryExtension(display, "XInputExtension", &opcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success) {
        return 1;
    }
    // The first master keyboard, the server's own that the user types on (another program may
    // have added master keyboards after it).
    int keyboard = -1;
    int count = 0;
    XIDeviceInfo* devices = XIQueryDevice(display, XIAllMasterDevices, &count);
    for (int i = 0; i < count && keyboard < 0; ++i) {
        if (devices[i].use == XIMasterKeyboard) {
            keyboard = devices[i].deviceid;
        }
    }
    XIFreeDeviceInfo(devices);
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_KeyPress);
    XIEventMask mask{keyboard, sizeof bits, bits};
    const Window root = DefaultRootWindow(display);
    while (XIGrabDevice(display, keyboard, root, CurrentTime, None, XIGrabModeAsync,
                        XIGrabModeAsync, False, &mask) != GrabSuccess) {
        usleep(20000);
    }
    std::cout << "grabbed" << std::endl;
    while (true) {
        XEvent next;
        XNextEvent(display, &next);
        XGenericEventCookie* cookie = &next.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != opcode ||
            !XGetEventData(display, cookie)) {
            continue;
        }
        if (cookie->evtype == XI_KeyPress) {
            const auto* key = static_cast<const XIDeviceEvent*>(cookie->data);
            const auto state = static_cast<unsigned>(key->mods.effective);
            const KeySym keySym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(key->detail), 0,
                                                     (state & ShiftMask) ? 1 : 0);
            const char* name = XKeysymToString(keySym);
            std::string text;
            if (keySym == XK_space) {
                text = " ";
            } else if (name != nullptr && std::strlen(name) == 1) {
                text = name;
            }
            writeKey(keySym, state, text);
        }
        XFreeEventData(display, cookie);
    }
}

int hold() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return 1;
    }
    XGrabKey(display, XKeysymToKeycode(display, XK_m), ControlMask | Mod1Mask,
             DefaultRootWindow(display), False, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    std::cout << "holding" << std::endl;
    while (true) {
        XEvent event;
        XNextEvent(display, &event);
    }
}

int active(const char* className) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        return 1;
    }
    const Window root = DefaultRootWindow(display);
    const Window window = XCreateSimpleWindow(display, root, 0, 0, 10, 10, 0, 0, 0);
    XClassHint hint{};
    std::string name = "other";
    std::string klass = className;
    hint.res_name = name.data();
    hint.res_class = klass.data();
    XSetClassHint(display, window, &hint);
    const Atom property = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    XChangeProperty(display, root, property, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&window), 1);
    XSync(display, False);
    std::cout << "active" << std::endl;
    pause();
    return 0;
}

} // namespace

// Pastes what the clipboard holds a while after Ctrl+V, with the insertion point where it is
// then.
class LateField final : public QLineEdit {
  public:
    LateField(int minMs, int maxMs) : delay_(minMs, maxMs) {}

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (event->matches(QKeySequence::Paste)) {
            QTimer::singleShot(delay_(random_), this,
                               [this] { insert(QGuiApplication::clipboard()->text()); });
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

  private:
    std::mt19937 random_{std::random_device{}()};
    std::uniform_int_distribution<int> delay_;
};

// Qt programs show their accessible objects only while the desktop's accessibility switch is
// on; this one stands for them.
int textField(int argc, char** argv, QLineEdit::EchoMode echo, int lateMin = -1, int lateMax = -1) {
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    std::unique_ptr<QLineEdit> owned;
    if (lateMin >= 0) {
        owned = std::make_unique<LateField>(lateMin, lateMax);
    } else {
        owned = std::make_unique<QLineEdit>();
    }
    QLineEdit& field = *owned;
    field.setEchoMode(echo);
    field.setWindowTitle(QString::fromLocal8Bit(argv[2]));
    field.resize(300, 40);
    QObject::connect(&field, &QLineEdit::returnPressed, [&field] {
        std::fputs(field.text().toUtf8().constData(), stdout);
        std::fflush(stdout);
        QApplication::quit();
    });
    field.show();
    return QApplication::exec();
}

// A keyboard plugged into mutter's Wayland session: mutter's remote desktop adds a virtual
// keyboard to its seat for as long as the session runs (a headless mutter has no other), and
// takes keys only from the connection that started the session, so one process holds it.
int waylandKeyboard(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const QString service = QStringLiteral("org.gnome.Mutter.RemoteDesktop");
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusMessage created = bus.call(
        QDBusMessage::createMethodCall(service, QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                                       service, QStringLiteral("CreateSession")));
    if (created.type() != QDBusMessage::ReplyMessage || created.arguments().isEmpty()) {
        std::cerr << "no remote desktop session: " << created.errorMessage().toStdString() << "\n";
        return 1;
    }
    const QString path = qvariant_cast<QDBusObjectPath>(created.arguments().first()).path();
    const QString session = QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session");
    auto call = [&](const QString& method, const QList<QVariant>& arguments = {}) {
        QDBusMessage message = QDBusMessage::createMethodCall(service, path, session, method);
        message.setArguments(arguments);
        const QDBusMessage reply = bus.call(message);
        if (reply.type() != QDBusMessage::ReplyMessage) {
            std::cerr << method.toStdString() << ": " << reply.errorMessage().toStdString() << "\n";
            return false;
        }
        return true;
    };
    auto tap = [&](uint keySym) {
        return call(QStringLiteral("NotifyKeyboardKeysym"), {keySym, true}) &&
               call(QStringLiteral("NotifyKeyboardKeysym"), {keySym, false});
    };
    // Mutter gives its seat the keyboard, and a window the keyboard focus, at the first key
    // of the session, which no window receives: a Shift that types nothing.
    if (!call(QStringLiteral("Start")) || !tap(XK_Shift_L)) {
        return 1;
    }
    std::cout << "ready" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
        const auto space = line.find(' ');
        const auto delay = std::chrono::milliseconds(std::atoi(line.substr(0, space).c_str()));
        const QString text =
            space == std::string::npos ? QString() : QString::fromStdString(line.substr(space + 1));
        const QList<uint> codePoints = text.toUcs4();
        for (qsizetype i = 0; i < codePoints.size(); ++i) {
            uint codePoint = codePoints[i];
            if (codePoint == '\\' && i + 1 < codePoints.size()) {
                codePoint = codePoints[++i] == 'n' ? uint{'\n'} : codePoints[i];
            }
            // Latin-1 keysyms are their code points; the rest are the code point and 0x01000000.
            const uint keySym = codePoint == '\n'   ? uint{XK_Return}
                                : codePoint < 0x100 ? codePoint
                                                    : 0x01000000 | codePoint;
            if (!tap(keySym)) {
                return 1;
            }
            std::this_thread::sleep_for(delay);
        }
        std::cout << "typed" << std::endl;
    }
    call(QStringLiteral("Stop"));
    return 0;
}

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "password" && argc == 3) {
        return textField(argc, argv, QLineEdit::Password);
    }
    if (mode == "entry" && argc == 3) {
        return textField(argc, argv, QLineEdit::Normal);
    }
    if (mode == "late" && argc == 5) {
        return textField(argc, argv, QLineEdit::Normal, std::atoi(argv[3]), std::atoi(argv[4]));
    }
    if (mode == "png" && argc == 4) {
        return writeNoisePng(std::atoi(argv[2]), std::atoi(argv[3]));
    }
    if (mode == "png") {
        return writePng();
    }
    if (mode == "watch") {
        return watch();
    }
    if (mode == "own" && argc == 5) {
        return own(argc, argv);
    }
    if (mode == "grab") {
        return argc > 2 && std::string(argv[2]) == "xi" ? grabWithXInput2() : grab();
    }
    if (mode == "hold") {
        return hold();
    }
    if (mode == "active" && argc == 3) {
        return active(argv[2]);
    }
    if (mode == "wayland-keyboard") {
        return waylandKeyboard(argc, argv);
    }
    std::cerr
        << "usage: quillo_e2e_helper png [WIDTH HEIGHT] | own TEXT HTML PNG | watch | grab [xi] | "
           "hold | active CLASS | password TITLE | entry TITLE | late TITLE MIN MAX | "
           "wayland-keyboard\n";
    return 2;
}
