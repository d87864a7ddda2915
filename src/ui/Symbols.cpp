#include "ui/Symbols.h"

#include <QFile>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <algorithm>
#include <array>
#include <utility>

// The images live in a static library: nothing would pull them into the program unless
// something asked for them by name.
static void initResources() {
    Q_INIT_RESOURCE(quillo);
}

namespace quillo::ui {

namespace {

void ensureResources() {
    static const bool done = (initResources(), true);
    (void)done;
}

// Only where the theme's icon shows the same thing: a themed "help-browser" is a life buoy in
// some themes and "preferences-system" a spanner, so those symbols stay Quillo's own.
struct ThemeName {
    const char* symbol;
    const char* themeName;
};
constexpr std::array themeNames{
    ThemeName{"gear", "emblem-system"},
    ThemeName{"info.circle", "help-about"},
    ThemeName{"keyboard", "input-keyboard"},
    ThemeName{"lock.shield", "security-high"},
};

QString ownSymbolPath(const QString& name) {
    ensureResources();
    return QStringLiteral(":/quillo/symbols/%1.svg").arg(name);
}

// The theme's one-colour variant reads best once tinted; the full-colour one serves otherwise.
QString themeIconName(const QString& symbol) {
    for (const auto& entry : themeNames) {
        if (symbol == QLatin1String(entry.symbol)) {
            const QString base = QLatin1String(entry.themeName);
            for (const QString& candidate : {base + QLatin1String("-symbolic"), base}) {
                if (QIcon::hasThemeIcon(candidate)) {
                    return candidate;
                }
            }
        }
    }
    return {};
}

QIcon baseSymbol(const QString& name) {
    if (const QString themed = themeIconName(name); !themed.isEmpty()) {
        return QIcon::fromTheme(themed);
    }
    return QIcon(ownSymbolPath(name));
}

// Paints the base icon's shape in a single colour, at whatever size the widget asks for.
class TintedIconEngine final : public QIconEngine {
  public:
    TintedIconEngine(QIcon base, QColor tint, QColor halo = {})
        : base_(std::move(base)), tint_(tint), halo_(halo) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap image = scaledPixmap(rect.size(), mode, state, ratio);
        painter->drawPixmap(rect, image);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        const QSize pixels = (QSizeF(size) * scale).toSize();
        if (pixels.isEmpty()) {
            return {};
        }
        QColor colour = tint_;
        if (mode == QIcon::Disabled) {
            colour.setAlphaF(colour.alphaF() * 0.4f);
        }
        if (!halo_.isValid()) {
            QPixmap image = shape(QRect(QPoint(0, 0), pixels), pixels, state, colour);
            image.setDevicePixelRatio(scale);
            return image;
        }
        // The shape, a little smaller, over its own outline in the halo colour, stamped a
        // pixel or two away in eight directions.
        const int width = std::max(1, static_cast<int>(scale + 0.5));
        const QRect inner = QRect(QPoint(0, 0), pixels).adjusted(width, width, -width, -width);
        const QPixmap outline = shape(inner, pixels, state, halo_);
        QPixmap image(pixels);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            for (int dx = -width; dx <= width; dx += width) {
                for (int dy = -width; dy <= width; dy += width) {
                    painter.drawPixmap(dx, dy, outline);
                }
            }
            painter.drawPixmap(0, 0, shape(inner, pixels, state, colour));
        }
        image.setDevicePixelRatio(scale);
        return image;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return size; }
    QIconEngine* clone() const override { return new TintedIconEngine(base_, tint_, halo_); }
    QString key() const override { return QStringLiteral("QuilloTinted"); }

  private:
    // The base icon's shape painted into `where` of a transparent image, in one colour.
    QPixmap shape(const QRect& where, const QSize& pixels, QIcon::State state,
                  const QColor& colour) const {
        QPixmap image(pixels);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        base_.paint(&painter, where, Qt::AlignCenter, QIcon::Normal, state);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(image.rect(), colour);
        return image;
    }

    QIcon base_;
    QColor tint_;
    QColor halo_;
};

} // namespace

QIcon symbolIcon(const QString& name, const QColor& tint) {
    const QColor colour =
        tint.isValid() ? tint : QGuiApplication::palette().color(QPalette::WindowText);
    return QIcon(new TintedIconEngine(baseSymbol(name), colour));
}

bool hasSymbol(const QString& name) {
    return !themeIconName(name).isEmpty() || QFile::exists(ownSymbolPath(name));
}

QString symbolSource(const QString& name) {
    if (const QString themed = themeIconName(name); !themed.isEmpty()) {
        return themed;
    }
    return QFile::exists(ownSymbolPath(name)) ? ownSymbolPath(name) : QString();
}

QIcon assetIcon(const QString& name) {
    ensureResources();
    return QIcon(QStringLiteral(":/quillo/icons/%1.svg").arg(name));
}

QIcon silhouetteIcon(const QString& assetName, const QColor& tint, const QColor& halo) {
    return QIcon(new TintedIconEngine(assetIcon(assetName), tint, halo));
}

} // namespace quillo::ui
