// The concurrency tests run inside a Qt GUI application, as the desktop program does: the real
// pasteboard marshals its calls to the main thread's event loop and needs Qt's clipboard.
#include <QGuiApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // Always the offscreen platform: its clipboard lives in this process, so a run on a desktop
    // never touches the user's clipboard, and a run without a display still has one.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
