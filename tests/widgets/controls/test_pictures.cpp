#include "controls/ptbutton.h"
#include "controls/ptlabel.h"
#include "controls/ptpicture.h"
#include "pixels.h"

#include <QSignalSpy>
#include <QTest>

using namespace Pixels;

namespace
{

const QColor kRed(220, 30, 30), kGreen(30, 200, 60), kBlue(30, 60, 220), kWhite(Qt::white);

// Counts the paints a widget receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
};

void MoveTo(QWidget* widget, QPoint pos)
{
    QTest::mouseMove(widget, pos);
    QCoreApplication::processEvents();
}

// A window that appears under the test's cursor gets an enter with no matching leave; one
// pass in and out of `widget` gives every test the same start.
void Settle(QWidget* widget, QWidget* page)
{
    MoveTo(widget, QPoint(1, 1));
    MoveTo(page, QPoint(page->width() - 1, page->height() - 1));
}

} // namespace

class TestPictureControls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void pictureLoadsAndScalesWithTheTarget();
    void missingPictureDrawsNothing();
    void buttonShowsHoverThenNormal();
    void disabledPictureWinsOverHover();
    void clicksReachThePage();
    void labelBreaksAtBackslashNOnly();
    void labelColoursFollowTheMouse();
    void labelWithEqualColoursIgnoresTheMouse();
    void labelKeepsItsFixedStates();
    void labelColumnsTakeTheirOwnColours();

private:
    std::unique_ptr<PictureFolder> m_pictures;
};

void TestPictureControls::initTestCase()
{
    m_pictures = std::make_unique<PictureFolder>();
    m_pictures->Add(901, QSize(40, 20), kRed, kWhite);
    m_pictures->Add(902, QSize(40, 20), kGreen);
    m_pictures->Add(903, QSize(40, 20), kBlue);
}

void TestPictureControls::pictureLoadsAndScalesWithTheTarget()
{
    CPTPicture picture;
    QVERIFY(picture.Load(u"#901", u"JPEG"));
    QCOMPARE(picture.Image().size(), QSize(40, 20));
    QCOMPARE(picture.DrawnSize(96, 96), QSize(40, 20));
    QCOMPARE(picture.DrawnSize(192, 144), QSize(80, 30));

    for (const int dpi : {96, 192}) {
        QImage target(200, 100, QImage::Format_RGB32);
        target.fill(Qt::black);
        target.setDotsPerMeterX(qRound(dpi / 0.0254));
        target.setDotsPerMeterY(qRound(dpi / 0.0254));
        {
            QPainter painter(&target);
            QVERIFY(picture.Draw(painter));
        }
        const int w = 40 * dpi / 96, h = 20 * dpi / 96;
        QVERIFY(Near(target.pixelColor(w - 1, h - 1), kRed));
        QVERIFY(Near(target.pixelColor(0, 0), kWhite));
        QVERIFY(Near(target.pixelColor(w * 3 / 4, h / 4), kRed));
        QCOMPARE(target.pixelColor(w + 1, h + 1), QColor(Qt::black));
    }
    // Reloading replaces the picture.
    QVERIFY(picture.LoadId(902));
    QVERIFY(Near(picture.Image().pixelColor(0, 0), kGreen));
}

void TestPictureControls::missingPictureDrawsNothing()
{
    CPTPicture picture;
    QVERIFY(picture.LoadId(901));
    QVERIFY(!picture.Load(u"#999", u"JPEG"));
    QVERIFY(!picture.IsLoaded());
    QVERIFY(!picture.LoadId(901, u"BITMAP"));
    QImage target(10, 10, QImage::Format_RGB32);
    target.fill(Qt::black);
    QPainter painter(&target);
    QVERIFY(!picture.Draw(painter));
    painter.end();
    QCOMPARE(target.pixelColor(5, 5), QColor(Qt::black));
}

void TestPictureControls::buttonShowsHoverThenNormal()
{
    QWidget page;
    page.resize(200, 100);
    CPTButton button(&page);
    button.setGeometry(10, 10, 40, 20);
    button.SetPictures(901, 902, 903);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QCOMPARE(button.cursor().shape(), Qt::PointingHandCursor);

    MoveTo(&page, QPoint(150, 80));
    QVERIFY(Near(Grab(button).pixelColor(30, 15), kRed));

    PaintCounter counter(&button);
    MoveTo(&button, QPoint(20, 10));
    QVERIFY(button.IsHover());
    QVERIFY(button.IsTracking());
    QVERIFY(Near(Grab(button).pixelColor(30, 15), kGreen));
    const int paintsAfterHover = counter.paints;
    QVERIFY(paintsAfterHover >= 1);
    // Moving about inside the button is one stay: no new hover, no repaint storm.
    for (int x = 21; x < 35; ++x)
        MoveTo(&button, QPoint(x, 12));
    QCOMPARE(counter.paints, paintsAfterHover);

    MoveTo(&page, QPoint(150, 80));
    QVERIFY(!button.IsHover());
    QVERIFY(!button.IsTracking());
    QVERIFY(Near(Grab(button).pixelColor(30, 15), kRed));

    // A second stay starts a new hover.
    MoveTo(&button, QPoint(5, 5));
    QVERIFY(Near(Grab(button).pixelColor(30, 15), kGreen));
}

void TestPictureControls::disabledPictureWinsOverHover()
{
    QWidget page;
    page.resize(200, 100);
    CPTButton button(&page);
    button.setGeometry(10, 10, 40, 20);
    button.SetPictures(901, 902, 903);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    MoveTo(&button, QPoint(20, 10));
    QVERIFY(Near(Grab(button).pixelColor(30, 15), kGreen));
    button.setEnabled(false);
    QVERIFY(Near(Grab(button).pixelColor(30, 15), kBlue));
    MoveTo(&button, QPoint(25, 12));
    QVERIFY(Near(Grab(button).pixelColor(30, 15), kBlue));
    button.setEnabled(true);
    QVERIFY(!Near(Grab(button).pixelColor(30, 15), kBlue));
}

void TestPictureControls::clicksReachThePage()
{
    QWidget page;
    page.resize(200, 100);
    CPTButton button(&page, 1110);
    button.setGeometry(10, 10, 40, 20);
    button.SetPictures(901, 902, 903);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QSignalSpy commands(&button, &CPTButton::command);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(commands.size(), 1);
    QCOMPARE(commands[0][0].toInt(), 1110);
    QTest::mouseClick(&button, Qt::RightButton, {}, QPoint(20, 10));
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(commands.size(), 1);
}

void TestPictureControls::labelBreaksAtBackslashNOnly()
{
    CPTLabel label;
    label.resize(200, 60);
    label.SetColors(0, 0, 0, 0, 0);
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::white);
    label.setPalette(palette);
    label.setAutoFillBackground(true);

    label.SetText(u"Upper\\nLower"_qs);
    QCOMPARE(InkBands(Grab(label), kWhite), 2);
    label.SetText(u"Upper\nLower"_qs);
    QCOMPARE(InkBands(Grab(label), kWhite), 1);
    label.SetText(u"Upper Lower"_qs);
    const QImage single = Grab(label);
    QCOMPARE(InkBands(single, kWhite), 1);
    // A lone line sits in the middle of the label.
    const QRect ink = InkBounds(single, kWhite);
    QVERIFY2(std::abs(ink.center().y() - 30) <= 3, qPrintable(QString::number(ink.center().y())));
    // The lines of a backslash-n text are one text height plus a pixel apart.
    label.SetText(u"Upper\\nUpper"_qs);
    const QImage two = Grab(label);
    const int top = InkBounds(two, kWhite).top();
    const QRect firstLine =
        InkBounds(two.copy(0, 0, 200, top + label.fontMetrics().height()), kWhite);
    QCOMPARE(InkBounds(two, kWhite).bottom() - firstLine.bottom(),
             label.fontMetrics().height() + 1);
}

void TestPictureControls::labelColoursFollowTheMouse()
{
    QWidget page;
    page.resize(300, 100);
    page.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::white);
    page.setPalette(palette);
    CPTLabel label(&page);
    label.setGeometry(10, 10, 200, 30);
    label.SetText(u"Smart Repeater Found"_qs);
    label.SetColors(MakeColorRef(0, 0, 0), FromQColor(kRed), FromQColor(kBlue), 0,
                    FromQColor(kGreen));
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    const QRect area(10, 10, 200, 30);
    auto inkOf = [&](QColor color) { return CountNear(Grab(page), color, area, 50); };
    Settle(&label, &page);

    QVERIFY(inkOf(Qt::black) > 20);
    MoveTo(&label, QPoint(20, 10));
    QCOMPARE(label.State(), 1);
    QVERIFY(inkOf(kRed) > 20);
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(label.State(), 2);
    QVERIFY(inkOf(kBlue) > 20);
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(label.State(), 0);
    QTest::mousePress(&label, Qt::RightButton, {}, QPoint(20, 10));
    QCOMPARE(label.State(), 2);
    QTest::mouseRelease(&label, Qt::RightButton, {}, QPoint(20, 10));
    MoveTo(&page, QPoint(280, 90));
    QCOMPARE(label.State(), 0);
    QVERIFY(!label.IsTracking());
    label.setEnabled(false);
    QVERIFY(inkOf(kGreen) > 20);
    QCOMPARE(inkOf(Qt::black), 0);
}

void TestPictureControls::labelWithEqualColoursIgnoresTheMouse()
{
    QWidget page;
    page.resize(300, 100);
    CPTLabel label(&page);
    label.setGeometry(10, 10, 200, 30);
    label.SetText(u"Searching."_qs);
    label.SetColors(0, 0, 0, 0, 0);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    Settle(&label, &page);
    PaintCounter counter(&page);
    MoveTo(&label, QPoint(20, 10));
    QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(20, 10));
    QCOMPARE(label.State(), 0);
    QVERIFY(!label.IsTracking());
    QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(20, 10));
    MoveTo(&page, QPoint(280, 90));
    QCOMPARE(counter.paints, 0);
    QCOMPARE(label.cursor().shape(), Qt::ArrowCursor);
    label.SetHandCursor(true);
    QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
}

void TestPictureControls::labelKeepsItsFixedStates()
{
    QWidget page;
    page.resize(300, 100);
    CPTLabel label(&page);
    label.setGeometry(10, 10, 200, 30);
    label.SetText(u"Fixed"_qs);
    label.SetColors(0, 1, 2, 3, 4);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    Settle(&label, &page);
    for (const int fixed : {3, 4}) {
        label.SetState(fixed);
        MoveTo(&label, QPoint(20, 10));
        QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(20, 10));
        QCOMPARE(label.State(), fixed);
        QTest::mouseRelease(&label, Qt::LeftButton, {}, QPoint(20, 10));
        MoveTo(&page, QPoint(280, 90));
        QCOMPARE(label.State(), fixed);
    }
}

void TestPictureControls::labelColumnsTakeTheirOwnColours()
{
    CPTLabel label;
    label.resize(300, 30);
    label.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::white);
    label.setPalette(palette);
    label.SetColors(0, FromQColor(kBlue), 0, 0, 0);
    label.SetColumnCount(2);
    label.SetColumn(0, u"MMMMMMMMMMMMMMMMMMMMMMMM"_qs, 0, 100, FromQColor(kRed));
    label.SetColumn(1, u"MMMM"_qs, 100, 200, FromQColor(kGreen), Qt::AlignRight);
    const QImage image = Grab(label);
    QVERIFY(CountNear(image, kRed, QRect(0, 0, 95, 30)) > 20);
    // Cut short before the gap, with an ellipsis, not spilling into the next column.
    QCOMPARE(CountNear(image, kRed, QRect(95, 0, 205, 30)), 0);
    // The last column reaches the right edge and is right-aligned there.
    QVERIFY(CountNear(image, kGreen, QRect(250, 0, 50, 30)) > 20);
    QCOMPARE(CountNear(image, kGreen, QRect(0, 0, 200, 30)), 0);
    label.SetState(1);
    const QImage hover = Grab(label);
    QCOMPARE(CountNear(hover, kRed), 0);
    QVERIFY(CountNear(hover, kBlue) > 40);
}

QTEST_MAIN(TestPictureControls)
#include "test_pictures.moc"
