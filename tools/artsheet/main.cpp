// Draws every picture of the launcher on one sheet, on the window colour the launcher uses, so the set can be
// judged side by side: artsheet OUT.png [SCALE]. With SCALE > 1 the pictures are rendered larger from their
// vectors, which shows the drawing; the real-size sheet enlarged without smoothing shows what the user sees.
// artsheet --render IN.svg SIZE OUT.png renders one SVG at SIZE x SIZE (used to make Icons/Qmark.gif).
#include "launcher/art/ArtCatalogue.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

int renderOne(const QString &svg, int size, const QString &out)
{
    QSvgRenderer renderer(svg);
    if (!renderer.isValid()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(svg));
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(0, 0, size, size));
    painter.end();
    return image.save(out) ? 0 : 1;
}

struct Row
{
    QString label;
    QList<QPixmap> pictures;
};

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args.at(1) == u"--render"_s) {
        return renderOne(args.at(2), args.at(3).toInt(), args.at(4));
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: artsheet OUT.png [SCALE] | artsheet --render IN.svg SIZE OUT.png\n");
        return 2;
    }
    const int scale = args.size() > 2 ? qMax(1, args.at(2).toInt()) : 1;

    QList<Row> rows;
    const QList<std::pair<QString, int>> tabs = {{u"AV-"_s, 6}, {u"OFF-"_s, 10}, {u"SYS-"_s, 10}, {u"MISC-"_s, 10}};
    for (const auto &[prefix, count] : tabs) {
        Row row{prefix.chopped(1), {}};
        for (int n = 1; n <= count; ++n) {
            row.pictures << Trivet::Art::catalogueIcon(QString(prefix + QString::number(n)), 48 * scale);
        }
        rows << row;
    }
    Row menu{u"Menu"_s, {}};
    for (int n = 1; n <= 14; ++n) {
        menu.pictures << Trivet::Art::menuPicture(n, 16 * scale);
    }
    rows << menu;
    Row checked{u"Checked"_s, {}};
    for (const auto &[picture, checkedPicture] : {std::pair{11, 10}, {12, 11}, {13, 12}, {14, 12}}) {
        const QIcon icon = Trivet::Art::menuIcon(picture, checkedPicture);
        checked.pictures << icon.pixmap(QSize(16, 16) * scale, QIcon::Normal, QIcon::Off)
                         << icon.pixmap(QSize(16, 16) * scale, QIcon::Normal, QIcon::On);
    }
    rows << checked;
    Row office{u"Office"_s, {}};
    for (int component = 0; component < 7; ++component) {
        office.pictures << Trivet::Art::officeComponentPicture(component, 36 * scale);
    }
    rows << office;
    Row other{u"Other"_s, {}};
    other.pictures << Trivet::Art::productPicture(64 * scale) << Trivet::Art::catalogueIcon(u"nope", 48 * scale)
                   << Trivet::Art::menuPicture(99, 16 * scale);
    const QImage qmark(QStringLiteral(ARTSHEET_REPO "/portable/Icons/Qmark.gif"));
    if (!qmark.isNull()) {
        other.pictures << QPixmap::fromImage(qmark.scaled(qmark.size() * scale));
    }
    rows << other;

    const int gap = 10 * scale;
    const int labelWidth = 70;
    int width = 0;
    int height = gap;
    for (const Row &row : rows) {
        int w = labelWidth + gap;
        int h = 0;
        for (const QPixmap &p : row.pictures) {
            w += p.width() + gap;
            h = qMax(h, p.height());
        }
        width = qMax(width, w);
        height += h + gap;
    }

    QImage sheet(width, height, QImage::Format_ARGB32);
    sheet.fill(QColor(0xf0, 0xf0, 0xf0));
    QPainter painter(&sheet);
    painter.setFont(QFont(u"DejaVu Sans"_s, 9));
    int y = gap;
    for (const Row &row : rows) {
        int h = 0;
        for (const QPixmap &p : row.pictures) {
            h = qMax(h, p.height());
        }
        painter.drawText(QRect(4, y, labelWidth, h), Qt::AlignVCenter, row.label);
        int x = labelWidth + gap;
        for (const QPixmap &p : row.pictures) {
            painter.drawPixmap(x, y + (h - p.height()) / 2, p);
            x += p.width() + gap;
        }
        y += h + gap;
    }
    painter.end();
    return sheet.save(args.at(1)) ? 0 : 1;
}
