// The images the windows name: symbols such as "gear" or "text.quote", and the assets
// "MenuBarIcon", "MenuBarIconPaused" and "AppIconColor".
//
// A symbol comes from the desktop's icon theme when the theme has an icon of the same meaning
// under its freedesktop name, so that Quillo looks like the rest of the desktop; otherwise it is
// Quillo's own drawing. Either way a symbol is drawn in one colour, the caller's, because the
// windows give symbols meaning through colour (a green check, a yellow light bulb).
#pragma once

#include <QColor>
#include <QIcon>
#include <QString>

namespace quillo::ui {

// The symbol in the given colour; in the palette's text colour when none is given.
QIcon symbolIcon(const QString& name, const QColor& tint = {});

// True when the symbol is one Quillo can show (from the theme or its own).
bool hasSymbol(const QString& name);

// Where the symbol comes from: the theme icon's name, or the resource path of Quillo's own.
QString symbolSource(const QString& name);

// An image asset in its own colours.
QIcon assetIcon(const QString& name);

// The asset drawn in one colour, for places (the tray) where the desktop expects a silhouette;
// with a valid halo colour, outlined in it, so that it shows on a background of either colour.
QIcon silhouetteIcon(const QString& assetName, const QColor& tint, const QColor& halo = {});

} // namespace quillo::ui
