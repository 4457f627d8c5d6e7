// The skin generator's drawing, checked on the rendered images before JPEG coding: the catalogue
// matches what the program loads, the texts of the backgrounds stand where the pages put their
// controls, and the animation fills up.

#include "tests/unit/resources/skinpictures.h"
#include "tools/skin/catalogue.h"
#include "tools/skin/picturecompare.h"
#include "tools/skin/qrcfile.h"
#include "tools/skin/skinstyle.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QRect>
#include <QSet>
#include <QTest>
#include <QXmlStreamReader>
#include <algorithm>

namespace
{

QHash<int, QImage>& RenderedJpegs()
{
    static QHash<int, QImage> images;
    return images;
}

QImage Rendered(Skin::Storage storage, int id)
{
    for (const Skin::Picture& picture : Skin::Catalogue()) {
        if (picture.storage == storage && picture.id == id)
            return Skin::Render(picture);
    }
    return {};
}

QImage PageAtTwice(int id)
{
    for (const Skin::Picture& picture : Skin::Catalogue()) {
        if (picture.storage == Skin::Storage::Jpeg && picture.id == id)
            return Skin::Render(picture, 2);
    }
    return {};
}

QImage Page(int id)
{
    QHash<int, QImage>& cache = RenderedJpegs();
    if (!cache.contains(id))
        cache.insert(id, Rendered(Skin::Storage::Jpeg, id));
    return cache.value(id);
}

bool IsInk(QRgb pixel)
{
    return qGray(pixel) < 200;
}

// Rightmost x of text ink inside an area, or -1.
int RightmostInk(const QImage& image, const QRect& area)
{
    for (int x = area.right(); x >= area.left(); --x) {
        for (int y = area.top(); y <= area.bottom(); ++y) {
            if (IsInk(image.pixel(x, y)))
                return x;
        }
    }
    return -1;
}

// Largest spread of any channel inside an area: 0 for a flat fill.
int Spread(const QImage& image, const QRect& area)
{
    int low[3] = {255, 255, 255};
    int high[3] = {0, 0, 0};
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int channels[3] = {qRed(p), qGreen(p), qBlue(p)};
            for (int c = 0; c < 3; ++c) {
                low[c] = std::min(low[c], channels[c]);
                high[c] = std::max(high[c], channels[c]);
            }
        }
    }
    return std::max({high[0] - low[0], high[1] - low[1], high[2] - low[2]});
}

QByteArray Coded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

} // namespace

class TestSkinGenerator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void catalogueHoldsExactlyWhatTheProgramLoads();
    void renderingRepeatsByteForByte();
    void resourceFileNamesEveryPictureOnce();
    void labelsEndLeftOfTheirControls_data();
    void labelsEndLeftOfTheirControls();
    void textKeepsItsWidthAtTwice_data();
    void textKeepsItsWidthAtTwice();
    void controlAreasAreLeftPlain_data();
    void controlAreasAreLeftPlain();
    void everyPageSharesTheBandAndSidebar();
    void progressFramesFillUp();
    void picturesCompareUpToRounding();
};

void TestSkinGenerator::initTestCase()
{
    QString error;
    if (!Skin::LoadFonts(error))
        QSKIP(qPrintable(error));
}

void TestSkinGenerator::catalogueHoldsExactlyWhatTheProgramLoads()
{
    QHash<QString, QSize> drawn;
    QSet<QString> fileNames;
    for (const Skin::Picture& picture : Skin::Catalogue()) {
        const QString key =
            Skin::ResourcePrefix(picture.storage) + u'/' + QString::number(picture.id);
        QVERIFY2(!drawn.contains(key), qPrintable(QStringLiteral("%1 drawn twice").arg(key)));
        drawn.insert(key, picture.size);
        const QString fileName = Skin::FileName(picture);
        QVERIFY2(!fileNames.contains(fileName), qPrintable(fileName));
        fileNames.insert(fileName);
    }
    for (const ExpectedPicture& expected : ExpectedPictures()) {
        const QString key = expected.prefix + u'/' + QString::number(expected.id);
        QVERIFY2(drawn.contains(key), qPrintable(QStringLiteral("%1 not drawn").arg(key)));
        const QSize size = drawn.take(key);
        if (expected.size.isValid())
            QCOMPARE(size, expected.size);
        else if (expected.prefix != QStringLiteral("ICON"))
            QVERIFY2(IsButtonSized(size), qPrintable(key));
    }
    QVERIFY2(drawn.isEmpty(), qPrintable(QStringLiteral("drawn but never loaded: ") +
                                         QStringList(drawn.keys()).join(u' ')));
}

void TestSkinGenerator::renderingRepeatsByteForByte()
{
    for (const Skin::Picture& picture : Skin::Catalogue()) {
        const QImage first = Skin::Render(picture);
        QCOMPARE(first.size(), picture.size);
        const QByteArray bytes = Skin::Encode(picture, first);
        QVERIFY(!bytes.isEmpty());
        QCOMPARE(Skin::Encode(picture, Skin::Render(picture)), bytes);
    }
}

void TestSkinGenerator::resourceFileNamesEveryPictureOnce()
{
    const QList<Skin::Picture> catalogue = Skin::Catalogue();
    QXmlStreamReader reader(Skin::QrcText(catalogue, QStringLiteral("skin")));
    QString prefix;
    QHash<QString, QString> files; // ":/JPEG/133" -> "skin/133.jpg"
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (reader.name() == QStringLiteral("qresource")) {
            prefix = reader.attributes().value(QStringLiteral("prefix")).toString();
        } else if (reader.name() == QStringLiteral("file")) {
            const QString path = QStringLiteral(":") + prefix + u'/' +
                                 reader.attributes().value(QStringLiteral("alias")).toString();
            QVERIFY2(!files.contains(path), qPrintable(path));
            files.insert(path, reader.readElementText());
        }
    }
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    qsizetype expected = 0;
    for (const Skin::Picture& picture : catalogue) {
        const QString path =
            QStringLiteral(":/%1/%2").arg(Skin::ResourcePrefix(picture.storage)).arg(picture.id);
        QCOMPARE(files.value(path), QStringLiteral("skin/") + Skin::FileName(picture));
        ++expected;
        if (Skin::HasDoubleSize(picture)) {
            QCOMPARE(files.value(path + QStringLiteral("@2x")),
                     QStringLiteral("skin/") + Skin::FileName(picture, 2));
            QVERIFY(Skin::FileName(picture, 2) != Skin::FileName(picture));
            ++expected;
        }
    }
    QCOMPARE(files.size(), expected);
}

void TestSkinGenerator::labelsEndLeftOfTheirControls_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QRect>("labelArea"); // where the label's text is drawn
    QTest::addColumn<int>("controlLeft");

    // Summary: values at x = 400, labels end at about 392.
    for (int top : {180, 201, 222, 243, 318, 339, 360, 381, 402, 423, 444, 467})
        QTest::addRow("summary %d", top) << 140 << QRect(200, top, 199, 14) << 400;
    QTest::addRow("summary DHCP") << 140 << QRect(200, 264, 199, 14) << 400;
    // Wireless: two value columns at x = 320 and x = 520.
    for (int top : {185, 207, 230})
        QTest::addRow("wireless left %d", top) << 141 << QRect(200, top, 119, 14) << 320;
    for (int top : {185, 207, 228})
        QTest::addRow("wireless right %d", top) << 141 << QRect(451, top, 68, 14) << 520;
    // IP address page: values and entries at x = 380, centred on 23-pixel entries.
    for (int top : {202, 230, 255})
        QTest::addRow("ip current %d", top) << 134 << QRect(200, top, 179, 14) << 380;
    for (int top : {340, 370, 398})
        QTest::addRow("ip new %d", top) << 134 << QRect(200, top, 179, 14) << 380;
    // Password page: entries at x = 377.
    for (int top : {205, 235, 315, 345})
        QTest::addRow("password %d", top) << 137 << QRect(200, top, 176, 14) << 377;
}

void TestSkinGenerator::labelsEndLeftOfTheirControls()
{
    QFETCH(int, page);
    QFETCH(QRect, labelArea);
    QFETCH(int, controlLeft);
    const int right = RightmostInk(Page(page), labelArea);
    QVERIFY2(right >= 0, "no label drawn");
    // Close to the control, yet with a gap the eye reads as one label and one value.
    QVERIFY2(right <= controlLeft - 6 && right >= controlLeft - 14,
             qPrintable(QStringLiteral("label ends at %1").arg(right)));
}

void TestSkinGenerator::textKeepsItsWidthAtTwice_data()
{
    labelsEndLeftOfTheirControls_data();
    // The sidebar's spaced caption, which ran past the sidebar's edge at 2x.
    QTest::addRow("sidebar caption") << 140 << QRect(20, 402, 170, 14) << 0;
}

// Text drawn on the 2x pictures ends where it ends at 1x: the layout was made for that width.
void TestSkinGenerator::textKeepsItsWidthAtTwice()
{
    QFETCH(int, page);
    QFETCH(QRect, labelArea);
    const int one = RightmostInk(Page(page), labelArea);
    const QImage twice = PageAtTwice(page);
    const QRect area(labelArea.topLeft() * 2, labelArea.size() * 2);
    const int two = RightmostInk(twice.convertToFormat(QImage::Format_RGB32), area);
    QVERIFY(one >= 0 && two >= 0);
    QVERIFY2(qAbs(two / 2.0 - one) <= 1.5,
             qPrintable(QStringLiteral("ends at %1 at 1x, %2 at 2x").arg(one).arg(two / 2.0)));
}

void TestSkinGenerator::controlAreasAreLeftPlain_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QRect>("control");
    const struct {
        int page;
        QRect rect;
    } controls[] = {
        {133, {196, 248, 472, 185}}, {133, {195, 170, 70, 25}},  {133, {600, 450, 70, 25}},
        {133, {360, 170, 200, 23}},  {134, {380, 202, 200, 25}}, {134, {380, 230, 200, 20}},
        {134, {380, 255, 15, 15}},   {134, {450, 255, 15, 15}},  {134, {380, 335, 200, 23}},
        {134, {380, 365, 200, 23}},  {134, {380, 395, 19, 19}},  {134, {450, 395, 19, 19}},
        {134, {610, 425, 67, 23}},   {136, {195, 230, 205, 23}}, {136, {405, 230, 67, 23}},
        {136, {475, 230, 67, 23}},   {136, {240, 170, 100, 20}}, {137, {377, 200, 207, 23}},
        {137, {377, 230, 207, 23}},  {137, {377, 310, 207, 23}}, {137, {377, 340, 207, 23}},
        {137, {610, 375, 67, 23}},   {138, {255, 165, 19, 19}},  {138, {255, 210, 19, 19}},
        {138, {610, 265, 67, 23}},   {140, {400, 180, 200, 21}}, {140, {400, 201, 200, 20}},
        {140, {400, 222, 200, 20}},  {140, {400, 243, 200, 20}}, {140, {400, 264, 15, 15}},
        {140, {470, 264, 15, 15}},   {140, {400, 318, 200, 20}}, {140, {400, 339, 200, 20}},
        {140, {400, 360, 200, 20}},  {140, {400, 381, 200, 20}}, {140, {400, 402, 200, 20}},
        {140, {400, 423, 200, 20}},  {140, {400, 444, 200, 20}}, {140, {400, 467, 200, 20}},
        {141, {320, 185, 130, 22}},  {141, {320, 207, 130, 23}}, {141, {320, 230, 130, 25}},
        {141, {520, 185, 130, 22}},  {141, {520, 207, 130, 21}}, {141, {520, 228, 130, 20}},
        {141, {225, 317, 430, 110}}, {141, {590, 265, 67, 23}},  {141, {590, 455, 67, 23}},
        {141, {230, 455, 200, 23}},  {141, {450, 455, 60, 23}},
    };
    for (const auto& control : controls)
        QTest::addRow("%d at %d,%d", control.page, control.rect.x(), control.rect.y())
            << control.page << control.rect;
    // Every console page shows the device's MAC and IP address in the sidebar.
    for (int page : {134, 136, 137, 138, 140, 141}) {
        QTest::addRow("%d MAC label", page) << page << QRect(25, 430, 160, 20);
        QTest::addRow("%d IP label", page) << page << QRect(25, 465, 160, 20);
    }
}

void TestSkinGenerator::controlAreasAreLeftPlain()
{
    QFETCH(int, page);
    QFETCH(QRect, control);
    // The sidebar edge runs through the device labels; anything else there is a stray text.
    const QRect area = control.left() < Skin::SidebarRight && control.right() > Skin::SidebarRight
                           ? control.adjusted(0, 0, Skin::SidebarRight - control.right() - 1, 0)
                           : control;
    QVERIFY2(Spread(Page(page), area) <= 4,
             qPrintable(QStringLiteral("something is drawn under the control (spread %1)")
                            .arg(Spread(Page(page), area))));
}

void TestSkinGenerator::everyPageSharesTheBandAndSidebar()
{
    const QImage reference = Page(140);
    const QRect band(0, 0, Skin::WindowWidth, Skin::BandHeight);
    // The steps stand on the sidebar from y = 105 to 336 on every page.
    const QRect steps(0, 105, Skin::SidebarRight + 1, 231);
    for (int page : {133, 134, 136, 137, 138, 141}) {
        const QImage image = Page(page);
        QVERIFY2(image.copy(band) == reference.copy(band), qPrintable(QString::number(page)));
        QVERIFY2(image.copy(steps) == reference.copy(steps), qPrintable(QString::number(page)));
    }
}

void TestSkinGenerator::progressFramesFillUp()
{
    // Bitmap 172 + n is frame n for n = 0 to 9.
    auto blue = [](const QImage& frame) {
        int count = 0;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x)
                count += qBlue(frame.pixel(x, y)) - qRed(frame.pixel(x, y)) > 60;
        return count;
    };
    int previous = -1;
    for (int id = 172; id <= 181; ++id) {
        const int lit = blue(Rendered(Skin::Storage::Bitmap, id));
        QVERIFY2(lit > previous, qPrintable(QStringLiteral("frame %1 does not advance").arg(id)));
        previous = lit;
    }
    // 171 is the finished frame: full, and in another colour than any frame on the way.
    const QImage finished = Rendered(Skin::Storage::Bitmap, 171);
    int green = 0;
    for (int y = 0; y < finished.height(); ++y)
        for (int x = 0; x < finished.width(); ++x)
            green += qGreen(finished.pixel(x, y)) - qRed(finished.pixel(x, y)) > 60;
    QVERIFY(green > previous / 2);
    QCOMPARE(blue(finished), 0);
}


void TestSkinGenerator::picturesCompareUpToRounding()
{
    QImage drawn(120, 100, QImage::Format_ARGB32);
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x)
            drawn.setPixel(x, y, qRgba(x * 2, y * 2, (x + y) % 256, 255 - x));
    }
    const QByteArray png = Coded(drawn, "PNG");
    QVERIFY(Skin::SamePicture(png, png));

    // Fourteen edge pixels a few levels off, as another CPU's blending gives.
    QImage rounded = drawn;
    for (int i = 0; i < 14; ++i) {
        const QRgb p = rounded.pixel(10 + i, 20);
        rounded.setPixel(10 + i, 20, qRgba(qRed(p) + 3, qGreen(p), qBlue(p) - 2, qAlpha(p)));
    }
    QString why;
    QVERIFY2(Skin::SamePicture(Coded(rounded, "PNG"), png, &why), qPrintable(why));

    // One pixel really changed.
    QImage changed = drawn;
    changed.setPixel(60, 50, qRgba(255, 0, 0, 255));
    QVERIFY(!Skin::SamePicture(Coded(changed, "PNG"), png, &why));
    QVERIFY(why.contains(u"1 of 12000 pixels"));

    // A little everywhere: an area redrawn, not rounding.
    QImage tinted = drawn;
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < tinted.width(); ++x)
            tinted.setPixel(x, y, tinted.pixel(x, y) ^ 1u);
    }
    QVERIFY(!Skin::SamePicture(Coded(tinted, "PNG"), png));

    // What is exact stays exact.
    QVERIFY(!Skin::SamePicture(Coded(drawn.copy(0, 0, 120, 99), "PNG"), png, &why));
    QVERIFY(why.startsWith(u"size"));
    QVERIFY(!Skin::SamePicture(Coded(drawn.convertToFormat(QImage::Format_RGB32), "PNG"),
                               Coded(drawn.convertToFormat(QImage::Format_ARGB32), "PNG"), &why));
    QVERIFY(why.startsWith(u"pixel format"));
    const QImage opaque = drawn.convertToFormat(QImage::Format_RGB32);
    QVERIFY(!Skin::SamePicture(Coded(opaque, "BMP"), Coded(opaque, "PNG"), &why));
    QVERIFY(why.startsWith(u"file format"));
    QVERIFY(!Skin::SamePicture(QByteArray("not a picture"), png));
}

QTEST_MAIN(TestSkinGenerator)
#include "test_skin_generator.moc"
