// The compiled-in skin: every picture id the program loads, at the size the pages place it, in
// the format its loader expects, and drawn so that it joins the picture behind it.

#include "tests/unit/resources/skinpictures.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSize>
#include <QTest>
#include <algorithm>
#include <cstdlib>

namespace
{

const QSize Step(175, 33);
const QSize Frame(128, 49);

const int Backgrounds[] = {133, 134, 136, 137, 138, 140, 141};
// Each step's picture on the other pages and on its own page, Locate first.
const int StepPictures[7][2] = {{214, 220}, {223, 224}, {218, 219}, {227, 215},
                                {216, 217}, {221, 222}, {225, 226}};

QString JpegPath(int id)
{
    return QStringLiteral(":/JPEG/%1").arg(id);
}

QImage Jpeg(int id)
{
    return QImage(JpegPath(id)).convertToFormat(QImage::Format_RGB32);
}

QImage Bitmap(int id)
{
    return QImage(QStringLiteral(":/BITMAP/%1").arg(id)).convertToFormat(QImage::Format_RGB32);
}

// Mean difference per channel between two equally sized areas.
double MeanDifference(const QImage& a, QPoint inA, const QImage& b, QPoint inB, QSize area)
{
    long long total = 0;
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x) {
            const QRgb p = a.pixel(inA + QPoint(x, y));
            const QRgb q = b.pixel(inB + QPoint(x, y));
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                     std::abs(qBlue(p) - qBlue(q));
        }
    }
    return double(total) / (3.0 * area.width() * area.height());
}

quint32 LittleEndian(const QByteArray& bytes, int offset, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[offset + i]);
    return value;
}

} // namespace

class TestSkinResources : public QObject
{
    Q_OBJECT

private slots:
    void jpegPictures_data();
    void jpegPictures();
    void bitmaps_data();
    void bitmaps();
    void icon();
    void doubleSizedPictures_data();
    void doubleSizedPictures();
    void statePicturesDiffer();
    void progressFramesAreAllDifferent();
    void picturesJoinThePictureBehindThem();
};

void TestSkinResources::jpegPictures_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QSize>("size");
    for (const ExpectedPicture& picture : ExpectedPictures()) {
        if (picture.prefix == QStringLiteral("JPEG"))
            QTest::addRow("%d", picture.id) << picture.id << picture.size;
    }
}

void TestSkinResources::jpegPictures()
{
    QFETCH(int, id);
    QFETCH(QSize, size);
    QVERIFY2(QFile::exists(JpegPath(id)), "resource missing: is skin.qrc compiled in?");
    QImageReader reader(JpegPath(id));
    // The pages load these by the JPEG type: a PNG under a JPEG name would pass only here.
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    const QImage image = reader.read();
    QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
    if (size.isValid())
        QCOMPARE(image.size(), size);
    else
        QVERIFY(IsButtonSized(image.size()));
    // Drawn 1:1 on a 96 dpi screen.
    QCOMPARE(qRound(image.dotsPerMeterX() * 0.0254), 96);
}

void TestSkinResources::bitmaps_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QSize>("size");
    for (const ExpectedPicture& picture : ExpectedPictures()) {
        if (picture.prefix == QStringLiteral("BITMAP"))
            QTest::addRow("%d", picture.id) << picture.id << picture.size;
    }
}

void TestSkinResources::bitmaps()
{
    QFETCH(int, id);
    QFETCH(QSize, size);
    QFile file(QStringLiteral(":/BITMAP/%1").arg(id));
    QVERIFY2(file.open(QIODevice::ReadOnly), "resource missing: is skin.qrc compiled in?");
    const QByteArray bytes = file.readAll();
    QVERIFY(bytes.size() > 54);
    QCOMPARE(bytes.left(2), QByteArray("BM"));
    QCOMPARE(LittleEndian(bytes, 28, 2), 24u); // bits per pixel
    QCOMPARE(LittleEndian(bytes, 30, 4), 0u);  // uncompressed
    const QImage image = QImage::fromData(bytes, "BMP");
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    if (id >= 249) {
        // White is the lists' transparent colour: the corners must be exactly white.
        QCOMPARE(image.pixel(0, 0), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(size.width() - 1, size.height() - 1), qRgb(255, 255, 255));
    }
}

void TestSkinResources::icon()
{
    const QImage image(QStringLiteral(":/ICON/128"));
    QVERIFY(!image.isNull());
    QCOMPARE(image.width(), image.height());
    QVERIFY(image.width() >= 48);
    QVERIFY(image.hasAlphaChannel());
}

void TestSkinResources::doubleSizedPictures_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("id");
    for (const ExpectedPicture& picture : ExpectedPictures()) {
        if (picture.prefix != QStringLiteral("ICON"))
            QTest::addRow("%s/%d", qPrintable(picture.prefix), picture.id)
                << picture.prefix << picture.id;
    }
}

void TestSkinResources::doubleSizedPictures()
{
    QFETCH(QString, prefix);
    QFETCH(int, id);
    const QString path = QStringLiteral(":/%1/%2").arg(prefix).arg(id);
    QImageReader single(path);
    QImageReader twice(path + QStringLiteral("@2x"));
    QVERIFY2(twice.canRead(), "no 2x picture");
    QCOMPARE(twice.format(), single.format());
    const QImage small = single.read().convertToFormat(QImage::Format_RGB32);
    const QImage large = twice.read().convertToFormat(QImage::Format_RGB32);
    QVERIFY(!large.isNull());
    QCOMPARE(large.size(), small.size() * 2);
    // The same drawing, not only the same size: shrunk, it must match the 1x picture (a 2x
    // picture painted without scaling would hold the top-left quarter of the drawing).
    const QImage shrunk =
        large.scaled(small.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const double difference = MeanDifference(shrunk, {}, small, {}, small.size());
    // JPEG coding blurs the small title buttons' white marks on red most.
    const double tolerance = small.width() * small.height() < 1000 ? 12 : 6;
    QVERIFY2(difference < tolerance, qPrintable(QString::number(difference)));
}

void TestSkinResources::statePicturesDiffer()
{
    // Hover must be visible; the current step must stand out from the same step elsewhere.
    const int pairs[][2] = {{146, 147}, {150, 151}, {168, 162}, {214, 220}, {223, 224},
                            {218, 219}, {227, 215}, {216, 217}, {221, 222}, {225, 226}};
    for (const auto& pair : pairs) {
        const QImage normal = Jpeg(pair[0]);
        const QImage other = Jpeg(pair[1]);
        QCOMPARE(normal.size(), other.size());
        const double difference = MeanDifference(normal, {}, other, {}, normal.size());
        QVERIFY2(difference > 8, qPrintable(QStringLiteral("%1 and %2 differ by only %3")
                                                .arg(pair[0])
                                                .arg(pair[1])
                                                .arg(difference)));
    }
}

void TestSkinResources::progressFramesAreAllDifferent()
{
    for (int a = 171; a <= 181; ++a) {
        for (int b = a + 1; b <= 181; ++b) {
            const QImage first = Bitmap(a);
            const QImage second = Bitmap(b);
            QVERIFY2(first != second,
                     qPrintable(QStringLiteral("frames %1 and %2 are equal").arg(a).arg(b)));
        }
    }
}

void TestSkinResources::picturesJoinThePictureBehindThem()
{
    // JPEG coding blurs edges a little; a seam of another colour differs by far more.
    constexpr double Tolerance = 6;
    // One column is noisier than an area; the sidebar against the page differs by 14 or more.
    constexpr double ColumnTolerance = 10;
    for (int background : Backgrounds) {
        const QImage page = Jpeg(background);
        for (int step = 0; step < 7; ++step) {
            const QPoint place(15, 105 + 33 * step);
            for (int id : StepPictures[step]) {
                const QImage picture = Jpeg(id);
                // Above the marked tab, the top rows carry the sidebar, its edge and the page;
                // column by column, so a sidebar edge one pixel off shows.
                double difference = 0;
                for (int x = 0; x < Step.width(); ++x)
                    difference = std::max(difference, MeanDifference(picture, {x, 0}, page,
                                                                     place + QPoint(x, 0), {1, 2}));
                QVERIFY2(difference < ColumnTolerance,
                         qPrintable(QStringLiteral("step %1 on page %2: %3")
                                        .arg(id)
                                        .arg(background)
                                        .arg(difference)));
            }
        }
        const struct {
            int id;
            QPoint place;
        } titleButtons[] = {{146, {658, 6}}, {147, {658, 6}}, {150, {676, 6}}, {151, {676, 6}}};
        for (const auto& button : titleButtons) {
            const QImage picture = Jpeg(button.id);
            // The corner pixel lies outside the rounded face, on the title band.
            const double difference = MeanDifference(picture, {0, 0}, page, button.place, {1, 1});
            QVERIFY2(difference < 3 * Tolerance,
                     qPrintable(QStringLiteral("title button %1 on page %2: %3")
                                    .arg(button.id)
                                    .arg(background)
                                    .arg(difference)));
        }
    }

    const QImage message = Jpeg(160);
    for (int id : {168, 162}) {
        const QImage button = Jpeg(id);
        QVERIFY(MeanDifference(button, {0, 0}, message, {86, 100}, {4, 34}) < Tolerance);
    }
    const QImage progress = Jpeg(248);
    for (int id = 171; id <= 181; ++id) {
        const QImage frame = Bitmap(id);
        QVERIFY(MeanDifference(frame, {0, 0}, progress, {70, 50}, {Frame.width(), 2}) < Tolerance);
    }
}

QTEST_GUILESS_MAIN(TestSkinResources)
#include "test_skin_resources.moc"
