#include "launcher/art/ArtCatalogue.h"

#include <QImage>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList catalogueIds()
{
    QStringList ids;
    for (const auto &[prefix, count] : {std::pair{u"AV-"_s, 6}, {u"OFF-"_s, 10}, {u"SYS-"_s, 10}, {u"MISC-"_s, 10}}) {
        for (int n = 1; n <= count; ++n) {
            ids << prefix + QString::number(n);
        }
    }
    return ids;
}

QImage pixels(const QPixmap &pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

class TestArtCatalogue final : public QObject
{
    Q_OBJECT

private slots:
    void catalogueIconIsDrawnAtRequestedSize_data();
    void catalogueIconIsDrawnAtRequestedSize();
    void everyPictureIsItsOwn();
    void unknownIdsGiveTheFallback_data();
    void unknownIdsGiveTheFallback();
    void menuPictureIsDrawnAtRequestedSize_data();
    void menuPictureIsDrawnAtRequestedSize();
    void menuNumbersOutsideTheListGiveTheFallback();
    void menuIconShowsTheCheckedPictureWhenOn();
    void productPictureIsDrawn();
    void placeholderGifLoads();
};

void TestArtCatalogue::catalogueIconIsDrawnAtRequestedSize_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("size");
    for (const QString &id : catalogueIds()) {
        QTest::addRow("%s@48", qPrintable(id)) << id << 48;
    }
    QTest::addRow("OFF-6@16") << u"OFF-6"_s << 16;
    QTest::addRow("MISC-10@96") << u"MISC-10"_s << 96;
}

void TestArtCatalogue::catalogueIconIsDrawnAtRequestedSize()
{
    QFETCH(QString, id);
    QFETCH(int, size);

    const QPixmap icon = Trivet::Art::catalogueIcon(id, size);
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.deviceIndependentSize().toSize(), QSize(size, size));
    // A picture missing from the resources would quietly show as the fallback.
    QVERIFY(pixels(icon) != pixels(Trivet::Art::catalogueIcon(u"no such id", size)));
}

// The catalogue's pictures and the office suite's components: none looks like another, nor like the
// question mark that stands in for a picture that cannot be drawn.
void TestArtCatalogue::everyPictureIsItsOwn()
{
    QStringList ids = catalogueIds();
    QList<QImage> images;
    for (const QString &id : ids) {
        images << pixels(Trivet::Art::catalogueIcon(id));
    }
    for (int component = 0; component < 7; ++component) {
        ids << u"office component %1"_s.arg(component);
        images << pixels(Trivet::Art::officeComponentPicture(component, 48));
    }
    ids << u"the fallback"_s;
    images << pixels(Trivet::Art::catalogueIcon(u"unknown"));
    for (qsizetype i = 0; i < images.size(); ++i) {
        for (qsizetype j = i + 1; j < images.size(); ++j) {
            QVERIFY2(images[i] != images[j], qPrintable(ids[i] + u" looks exactly like "_s + ids[j]));
        }
    }
}

void TestArtCatalogue::unknownIdsGiveTheFallback_data()
{
    QTest::addColumn<QString>("id");
    QTest::addRow("empty") << QString();
    QTest::addRow("past the tab") << u"AV-7"_s;
    QTest::addRow("zero") << u"SYS-0"_s;
    QTest::addRow("leading zero") << u"OFF-01"_s;
    QTest::addRow("lower case") << u"off-1"_s;
    QTest::addRow("other download") << u"OOP"_s;
    QTest::addRow("path") << u"../product"_s;
}

void TestArtCatalogue::unknownIdsGiveTheFallback()
{
    QFETCH(QString, id);

    const QPixmap icon = Trivet::Art::catalogueIcon(id, 40);
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.deviceIndependentSize().toSize(), QSize(40, 40));
    QCOMPARE(pixels(icon), pixels(Trivet::Art::catalogueIcon(u"no such id", 40)));
}

void TestArtCatalogue::menuPictureIsDrawnAtRequestedSize_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("size");
    for (int number = 1; number <= 14; ++number) {
        QTest::addRow("%d@16", number) << number << 16;
    }
    QTest::addRow("11@32") << 11 << 32;
}

void TestArtCatalogue::menuPictureIsDrawnAtRequestedSize()
{
    QFETCH(int, number);
    QFETCH(int, size);

    const QPixmap picture = Trivet::Art::menuPicture(number, size);
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.deviceIndependentSize().toSize(), QSize(size, size));
    QVERIFY(pixels(picture) != pixels(Trivet::Art::menuPicture(0, size)));
    // Neighbouring language items must not be mistaken for one another.
    for (int other = 1; other <= 14; ++other) {
        if (other != number) {
            QVERIFY(pixels(picture) != pixels(Trivet::Art::menuPicture(other, size)));
        }
    }
}

void TestArtCatalogue::menuNumbersOutsideTheListGiveTheFallback()
{
    for (const int number : {0, -1, 15, 1000}) {
        const QPixmap picture = Trivet::Art::menuPicture(number);
        QVERIFY(!picture.isNull());
        QCOMPARE(picture.deviceIndependentSize().toSize(), QSize(16, 16));
        QCOMPARE(pixels(picture), pixels(Trivet::Art::menuPicture(0)));
    }
}

void TestArtCatalogue::menuIconShowsTheCheckedPictureWhenOn()
{
    const QIcon icon = Trivet::Art::menuIcon(12, 11);
    QCOMPARE(pixels(icon.pixmap(16, QIcon::Normal, QIcon::Off)), pixels(Trivet::Art::menuPicture(12)));
    QCOMPARE(pixels(icon.pixmap(16, QIcon::Normal, QIcon::On)), pixels(Trivet::Art::menuPicture(11)));
}

void TestArtCatalogue::productPictureIsDrawn()
{
    const QPixmap picture = Trivet::Art::productPicture();
    QVERIFY(!picture.isNull());
    QCOMPARE(picture.deviceIndependentSize().toSize(), QSize(64, 64));
    QVERIFY(pixels(picture) != pixels(Trivet::Art::catalogueIcon(u"no such id", 64)));
}

void TestArtCatalogue::placeholderGifLoads()
{
    const QImage image(QStringLiteral(TRIVET_PORTABLE_SOURCE_DIR "/Icons/Qmark.gif"));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(49, 49));
}

QTEST_MAIN(TestArtCatalogue)
#include "tst_artcatalogue.moc"
