#include "controls/ctlbutton.h"
#include "controls/hmxstatic.h"
#include "controls/ipaddressedit.h"
#include "pixels.h"

#include <QLineEdit>
#include <QTest>

using namespace Pixels;

namespace
{

const QColor kWhite(Qt::white);

// A page painting a striped picture, counting its paints as the pages' backgrounds would.
class PicturePage : public QWidget
{
public:
    PicturePage()
    {
        resize(300, 100);
        m_picture = QImage(size(), QImage::Format_RGB32);
        QPainter painter(&m_picture);
        for (int x = 0; x < width(); x += 8)
            painter.fillRect(x, 0, 4, height(), QColor(200, 40, 40));
        for (int x = 4; x < width(); x += 8)
            painter.fillRect(x, 0, 4, height(), QColor(40, 160, 220));
    }
    QColor PictureAt(QPoint pos) const { return m_picture.pixelColor(pos); }
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        ++paints;
        QPainter(this).drawImage(0, 0, m_picture);
    }

private:
    QImage m_picture;
};

// Pixels of `area` that still show the page's picture.
int PictureShows(const PicturePage& page, const QImage& image, QRect area)
{
    int same = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            same += Near(image.pixelColor(x, y), page.PictureAt(QPoint(x, y)), 8);
    return same;
}

} // namespace

class TestStatics : public QObject
{
    Q_OBJECT
private slots:
    void transparentStaticShowsThePictureBehindItsText();
    void sameTextDoesNotRepaintTheParent();
    void opaqueStaticAndAutoSize();
    void colourButtonPaintsItsWhiteBox();
    void clearCaptionAndAutoSize();
    void addressFieldReadsBlanksAsZero();
    void addressFieldTyping();
};

void TestStatics::transparentStaticShowsThePictureBehindItsText()
{
    PicturePage page;
    CHMXStatic mac(&page);
    mac.setGeometry(25, 30, 160, 20);
    mac.SetTextColor(MakeColorRef(0, 0, 0));
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    mac.SetText(u"00:11:22:33:44:55"_qs);
    QImage image = Grab(page);
    const QRect area = mac.geometry();
    const int withLongText = PictureShows(page, image, area);
    QVERIFY(withLongText < area.width() * area.height());
    QVERIFY(CountNear(image, Qt::black, area, 60) > 20);
    // A shorter text leaves no trace of the longer one: the picture shows where it was.
    mac.SetText(u"1"_qs);
    image = Grab(page);
    QVERIFY(PictureShows(page, image, area) > withLongText);
    QCOMPARE(PictureShows(page, image, area.adjusted(20, 0, 0, 0)),
             (area.width() - 20) * area.height());
    mac.SetText(QString());
    QCOMPARE(PictureShows(page, Grab(page), area), area.width() * area.height());
}

void TestStatics::sameTextDoesNotRepaintTheParent()
{
    PicturePage page;
    CHMXStatic ip(&page);
    ip.setGeometry(25, 60, 160, 20);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    ip.SetText(u"192.168.77.10"_qs);
    QTRY_VERIFY(page.paints > 0);
    QCoreApplication::processEvents();
    const int paints = page.paints;
    ip.SetText(u"192.168.77.10"_qs);
    QTest::qWait(50);
    QCOMPARE(page.paints, paints);
    ip.SetText(u"192.168.77.11"_qs);
    QTRY_VERIFY(page.paints > paints);
}

void TestStatics::opaqueStaticAndAutoSize()
{
    PicturePage page;
    CHMXStatic text(&page);
    text.setGeometry(10, 10, 100, 20);
    QVERIFY(text.IsTransparent());
    text.SetTransparent(false);
    text.SetBackgroundColor(MakeColorRef(255, 255, 255));
    text.SetText(u"x"_qs);
    const QImage image = Grab(page);
    QCOMPARE(CountNear(image, kWhite, QRect(10, 10, 100, 20), 8) > 1800, true);
    QVERIFY(Near(image.pixelColor(112, 15), page.PictureAt(QPoint(112, 15)), 8));

    text.SetAutoSize(true);
    text.SetText(u"Firmware 1.0.2"_qs);
    QCOMPARE(text.size(), text.fontMetrics().size(0, u"Firmware 1.0.2"_qs));
    QCOMPARE(text.pos(), QPoint(10, 10));
}

void TestStatics::colourButtonPaintsItsWhiteBox()
{
    PicturePage page;
    CCTLButton enable(u"Enable"_qs, &page);
    enable.setGeometry(20, 20, 15, 15);
    enable.SetBackgroundColor(MakeColorRef(255, 255, 255));
    enable.setChecked(true);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(enable.cursor().shape(), Qt::PointingHandCursor);
    const QImage image = Grab(page);
    const QRect box = enable.geometry();
    for (const QPoint corner : {box.topLeft(), box.topRight(), box.bottomLeft(), box.bottomRight()})
        QVERIFY(Near(image.pixelColor(corner), kWhite, 8));
    // The check circle is drawn inside the box.
    QVERIFY(Ink(image, kWhite, box) > 10);
    QVERIFY(Near(image.pixelColor(box.right() + 2, box.top()),
                 page.PictureAt(box.topRight() + QPoint(2, 0)), 8));
    // Transparent, the picture shows around the circle.
    enable.SetTransparent(true);
    QVERIFY(Near(Grab(page).pixelColor(box.topLeft()), page.PictureAt(box.topLeft()), 8));
}

void TestStatics::clearCaptionAndAutoSize()
{
    PicturePage page;
    CCTLButton radio(u"Disable"_qs, &page);
    radio.setGeometry(50, 50, 100, 20);
    radio.SetTransparent(true);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCoreApplication::processEvents();
    int paints = page.paints;
    radio.ClearCaption();
    QCOMPARE(radio.text(), QString());
    QTRY_VERIFY(page.paints > paints);
    paints = page.paints;
    radio.ClearCaption();
    QTest::qWait(50);
    QCOMPARE(page.paints, paints);

    radio.SetAutoSize(true);
    radio.SetCaption(u"Static IP"_qs);
    const QSize text = radio.fontMetrics().size(0, u"Static IP"_qs);
    QCOMPARE(radio.size(), QSize(text.width() + CCTLButton::kCheckMarkWidth, text.height()));
}

void TestStatics::addressFieldReadsBlanksAsZero()
{
    CIPAddressEdit address;
    QVERIFY(address.IsBlank());
    QCOMPARE(address.Text(), u"0.0.0.0"_qs);
    address.SetText(u"192.168.2.1");
    QCOMPARE(address.Text(), u"192.168.2.1"_qs);
    QCOMPARE(address.Field(0), 192);
    QCOMPARE(address.Field(3), 1);
    address.SetText(u"10..3");
    QCOMPARE(address.Text(), u"10.0.3.0"_qs);
    QVERIFY(!address.IsBlank());
    QCOMPARE(address.Field(7), 0);
    address.Clear();
    QVERIFY(address.IsBlank());
}

void TestStatics::addressFieldTyping()
{
    CIPAddressEdit address;
    address.resize(200, 23);
    address.show();
    QVERIFY(QTest::qWaitForWindowActive(&address));
    address.SetFieldFocus(0);
    QCOMPARE(address.FocusedField(), 0);
    QTest::keyClicks(QApplication::focusWidget(), u"192"_qs);
    QCOMPARE(address.FocusedField(), 1);
    QTest::keyClicks(QApplication::focusWidget(), u"16."_qs);
    QCOMPARE(address.FocusedField(), 2);
    QTest::keyClicks(QApplication::focusWidget(), u"999"_qs);
    QCOMPARE(address.FocusedField(), 3);
    QTest::keyClicks(QApplication::focusWidget(), u"x7"_qs);
    QCOMPARE(address.Text(), u"192.16.255.7"_qs);
    // Backspace through the last field and on into the one before.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    QCOMPARE(address.FocusedField(), 2);
    QCOMPARE(address.Text(), u"192.16.255.0"_qs);
    address.SetFieldFocus(3);
    QCOMPARE(address.FocusedField(), 3);
    // A dot in an empty field stays put rather than skipping a blank field.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Period);
    QCOMPARE(address.FocusedField(), 3);
}

QTEST_MAIN(TestStatics)
#include "test_statics.moc"
