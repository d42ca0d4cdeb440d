#include "launcher/art/ArtCatalogue.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QImage>
#include <QPainter>
#include <QPixmapCache>
#ifndef TRIVET_ART_AS_IMAGES
#include <QSvgRenderer>
#endif
#include <QtMath>
#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

// The resources live in a static library: without a reference from code that is linked anyway, the linker drops
// them and every picture would silently turn into the fallback. Q_INIT_RESOURCE must sit outside any namespace.
static void initArtResources()
{
    Q_INIT_RESOURCE(art);
}

namespace Trivet::Art {

namespace {

constexpr QStringView fallbackResource = u":/art/unknown.svg";

// Catalogue ids are matched against the fixed list rather than turned into a resource path blindly, so an id such
// as "../product" cannot reach some other picture.
constexpr std::array<QStringView, 4> cataloguePrefixes = {u"AV-", u"OFF-", u"SYS-", u"MISC-"};
constexpr std::array<int, 4> catalogueCounts = {6, 10, 10, 10};

constexpr std::array<QStringView, 14> menuResources = {
    u":/art/menu/lang-bg.svg", u":/art/menu/lang-ca.svg",      u":/art/menu/lang-de.svg", u":/art/menu/lang-en.svg",
    u":/art/menu/lang-es.svg", u":/art/menu/lang-fr.svg",      u":/art/menu/lang-el.svg", u":/art/menu/lang-hu.svg",
    u":/art/menu/lang-it.svg", u":/art/menu/lang-nl.svg",      u":/art/menu/help.svg",    u":/art/menu/home.svg",
    u":/art/menu/exit.svg",    u":/art/menu/office-suite.svg",
};

constexpr std::array<QStringView, 7> officeResources = {
    u":/art/office/base.svg", u":/art/office/calc.svg",       u":/art/office/draw.svg",   u":/art/office/impress.svg",
    u":/art/office/math.svg", u":/art/menu/office-suite.svg", u":/art/office/writer.svg",
};

bool isCatalogueId(QStringView id)
{
    for (std::size_t tab = 0; tab < cataloguePrefixes.size(); ++tab) {
        if (!id.startsWith(cataloguePrefixes[tab])) {
            continue;
        }
        const QStringView number = id.mid(cataloguePrefixes[tab].size());
        // "OFF-01" or "OFF-+1" would parse to a valid number but is not an id of the catalogue.
        const bool digitsOnly = std::all_of(number.begin(), number.end(), [](QChar c) { return c.isDigit(); });
        if (number.isEmpty() || number.startsWith(u'0') || !digitsOnly) {
            return false;
        }
        const int n = number.toInt();
        return n >= 1 && n <= catalogueCounts[tab];
    }
    return false;
}

qreal screenScale()
{
    return qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
}

QPixmap render(const QString &resource, int size)
{
    static const bool resourcesReady = (initArtResources(), true);
    Q_UNUSED(resourcesReady)

    // A zero or negative size is a caller's slip; a tiny picture keeps the promise of never returning null.
    size = qMax(size, 1);
    const qreal scale = screenScale();
    const QString key = u"trivet-art|"_s % resource % u'|' % QString::number(size) % u'@' % QString::number(scale);
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) {
        return pixmap;
    }

    const int side = qCeil(size * scale);
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
#ifdef TRIVET_ART_AS_IMAGES
    // Drawn from the vectors at build time, large enough for any size the windows ask for.
    QImage picture(resource, "PNG");
    if (picture.isNull()) {
        picture = QImage(fallbackResource.toString(), "PNG");
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!picture.isNull()) {
        painter.drawImage(QRectF(0, 0, side, side), picture);
    } else {
#else
    QSvgRenderer renderer(resource);
    if (!renderer.isValid()) {
        renderer.load(fallbackResource.toString());
    }
    if (renderer.isValid()) {
        renderer.render(&painter, QRectF(0, 0, side, side));
    } else {
#endif
        // Only a broken build gets here; a grey square still tells the user something is meant to be there.
        painter.fillRect(image.rect(), QColor(0x9a, 0xa3, 0xad));
    }
    painter.end();

    pixmap = QPixmap::fromImage(image);
    pixmap.setDevicePixelRatio(scale);
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

QString menuResource(int number)
{
    if (number < 1 || number > int(menuResources.size())) {
        return fallbackResource.toString();
    }
    return menuResources[std::size_t(number - 1)].toString();
}

} // namespace

QPixmap catalogueIcon(QStringView id, int size)
{
    if (!isCatalogueId(id)) {
        return render(fallbackResource.toString(), size);
    }
    return render(u":/art/catalogue/"_s % id % u".svg"_s, size);
}

QPixmap menuPicture(int number, int size)
{
    return render(menuResource(number), size);
}

QPixmap officeComponentPicture(int component, int size)
{
    const bool known = component >= 0 && component < int(officeResources.size());
    return render(known ? officeResources[std::size_t(component)].toString() : fallbackResource.toString(), size);
}

namespace {

// The picture of a disabled item: grey and faint, as styles draw them.
QPixmap greyed(const QPixmap &picture)
{
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) / 2);
        }
    }
    QPixmap result = QPixmap::fromImage(image);
    result.setDevicePixelRatio(picture.devicePixelRatio());
    return result;
}

// Draws a picture only when it is first shown at a size: a start that never opens the Language menu
// renders none of its ten pictures.
class PictureIconEngine final : public QIconEngine
{
public:
    // Resources of the picture while the item is unchecked and while it carries its check mark.
    PictureIconEngine(QString picture, QString checkedPicture)
        : m_picture(std::move(picture))
        , m_checkedPicture(std::move(checkedPicture))
    {
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        const QPixmap picture =
            render(state == QIcon::On ? m_checkedPicture : m_picture, qMin(size.width(), size.height()));
        return mode == QIcon::Disabled ? greyed(picture) : picture;
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return {side, side};
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {{16, 16}, {32, 32}, {64, 64}}; }
    QString key() const override { return u"trivet-picture"_s; }
    QIconEngine *clone() const override { return new PictureIconEngine(m_picture, m_checkedPicture); }

private:
    QString m_picture;
    QString m_checkedPicture;
};

} // namespace

QIcon menuIcon(int picture, int checkedPicture)
{
    return QIcon(new PictureIconEngine(menuResource(picture), menuResource(checkedPicture)));
}

QIcon productIcon()
{
    const QString product = u":/art/product.svg"_s;
    return QIcon(new PictureIconEngine(product, product));
}

QPixmap productPicture(int size)
{
    return render(u":/art/product.svg"_s, size);
}

} // namespace Trivet::Art
