// Xlib and its extensions, for every file of the backend that talks to the X server.
//
// Xlib defines macros (None, Bool, Status, KeyPress, FocusIn...) that break Qt's headers when
// those come later. Every Qt header the backend uses is therefore included here first; their
// include guards make the later includes of the same headers harmless.
#pragma once

#include <QAbstractEventDispatcher>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMetaObject>
#include <QMimeData>
#include <QObject>
#include <QProcess>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QUrl>

// clang-format off: the order of the X headers matters to some of them.
#include <X11/XF86keysym.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/XI2proto.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>
#include <X11/keysym.h>
// clang-format on
