#include "controls/syscolors.h"
#include "controls/xhtmlstatic.h"
#include "pixels.h"

#include <QDesktopServices>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <QUrl>

using namespace Pixels;

namespace
{

const QColor kWhite(Qt::white);

class Receiver : public QObject
{
public:
    std::vector<std::pair<unsigned, quintptr>> received;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != CAppCommandEvent::EventType())
            return QObject::event(event);
        auto* command = static_cast<CAppCommandEvent*>(event);
        received.emplace_back(command->Message(), command->WParam());
        return true;
    }
};

class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void Open(const QUrl& url) { urls.append(url); }
};

// A white, opaque static in black text, as the message dialog uses it.
struct Static {
    explicit Static(const QString& text, QSize size = QSize(252, 90))
    {
        control.resize(size);
        control.SetTextColor(MakeColorRef(0, 0, 0));
        control.SetBackgroundColor(MakeColorRef(255, 255, 255));
        control.SetWindowText(text);
    }
    QImage Image() { return Grab(control); }
    CXHTMLStatic control;
};

QImage Render(const QString& text, QSize size = QSize(252, 90))
{
    return Static(text, size).Image();
}

int InkOf(const QString& text)
{
    return Ink(Render(text), kWhite);
}

int InkWidth(const QString& text)
{
    return InkBounds(Render(text), kWhite).width();
}

} // namespace

class TestXhtmlStatic : public QObject
{
    Q_OBJECT
private slots:
    void centredMessageSitsInTheFirstLine();
    void boldUnderlineAndEntitiesDraw();
    void unknownTagsAndNonEntitiesDrawAsText();
    void colourTextsOfTheFontTag_data();
    void colourTextsOfTheFontTag();
    void backgroundsOpaqueAndTransparent();
    void settersReturnThePreviousColour();
    void appLinkSendsItsRegisteredMessage();
    void webLinksOpenAndOthersDoNot();
    void handCursorAndToolTipsOverLinks();
    void rendersIntoAnyPainter();
};

void TestXhtmlStatic::centredMessageSitsInTheFirstLine()
{
    Static message(u"<CENTER>Message</CENTER>"_qs, QSize(240, 15 * 3));
    const QImage image = message.Image();
    const QRect ink = InkBounds(image, kWhite);
    QVERIFY(!ink.isNull());
    QVERIFY2(std::abs((ink.left() + ink.right() + 1) / 2 - 120) <= 2,
             qPrintable(QStringLiteral("%1..%2").arg(ink.left()).arg(ink.right())));
    QVERIFY(ink.bottom() < message.control.fontMetrics().height());
    // Left-aligned, the same word starts at the left edge.
    QVERIFY(InkBounds(Render(u"Message"_qs), kWhite).left() <= 2);
    // Multi-line centred messages centre every line.
    Static wrapped(
        u"<CENTER>Invalid IP address range in 1st digit. It should be 1-223</CENTER>"_qs);
    const QImage lines = wrapped.Image();
    const int lineHeight = wrapped.control.fontMetrics().height();
    for (int line = 0; line < 2; ++line) {
        const int top = line * (lineHeight + lineHeight / 4);
        const QRect band = InkBounds(lines.copy(0, top, 252, lineHeight), kWhite);
        QVERIFY(!band.isNull());
        QVERIFY(std::abs(band.left() - (251 - band.right())) <= 3);
    }
}

void TestXhtmlStatic::boldUnderlineAndEntitiesDraw()
{
    const int plain = InkOf(u"Repeater Settings"_qs);
    QVERIFY(InkOf(u"<B>Repeater Settings</B>"_qs) > plain * 11 / 10);
    QVERIFY(InkOf(u"<U>Repeater Settings</U>"_qs) > plain);
    // The entities give characters, and "&lt;b&gt;" gives no bold.
    const int escaped = InkOf(u"&lt;b&gt;Repeater"_qs);
    QVERIFY(std::abs(escaped - InkOf(u"<B>&lt;b&gt;Repeater</B>"_qs)) > escaped / 10);
    const QFontMetrics metrics = Static(QString()).control.fontMetrics();
    QVERIFY(std::abs(InkWidth(u"&lt;b&gt;Repeater"_qs) -
                     metrics.horizontalAdvance(u"<b>Repeater"_qs)) <= 3);
    QVERIFY(InkOf(u"&copy;"_qs) > 0);
    QCOMPARE(InkOf(u"&nbsp;"_qs), 0);
}

void TestXhtmlStatic::unknownTagsAndNonEntitiesDrawAsText()
{
    const QFontMetrics metrics = Static(QString()).control.fontMetrics();
    QVERIFY(std::abs(InkWidth(u"<BLINK>Go"_qs) - metrics.horizontalAdvance(u"<BLINK>Go"_qs)) <= 3);
    QVERIFY(InkWidth(u"&AMP;"_qs) > InkWidth(u"&amp;"_qs) * 3);
    QCOMPARE(InkOf(u"<B></B><I></I><BR>"_qs), 0);
}

void TestXhtmlStatic::colourTextsOfTheFontTag_data()
{
    QTest::addColumn<QString>("color");
    QTest::addColumn<QColor>("expected");
    QTest::newRow("hex") << u"\"#FF0000\""_qs << QColor(255, 0, 0);
    QTest::newRow("three digit hex is black") << u"\"#F00\""_qs << QColor(0, 0, 0);
    QTest::newRow("two numbers") << u"\"255,0\""_qs << QColor(255, 0, 0);
    QTest::newRow("name") << u"Lime"_qs << QColor(0, 255, 0);
    QTest::newRow("unknown name is black") << u"Blurple"_qs << QColor(0, 0, 0);
    QTest::newRow("desktop name") << u"windowtext"_qs << ToQColor(GetSysColor(kColorWindowText));
}

void TestXhtmlStatic::colourTextsOfTheFontTag()
{
    QFETCH(QString, color);
    QFETCH(QColor, expected);
    Static text(u"<FONT COLOR="_qs + color + u"><B>MMMMMM</B></FONT>"_qs);
    text.control.SetTextColor(MakeColorRef(0, 0, 255));
    const QImage image = text.Image();
    QVERIFY(CountNear(image, expected, QRect(), 30) > 30);
    if (expected != QColor(0, 0, 255))
        QCOMPARE(CountNear(image, QColor(0, 0, 255), QRect(), 30), 0);
}

void TestXhtmlStatic::backgroundsOpaqueAndTransparent()
{
    // BGCOLOR paints behind its own text only.
    Static marked(u"<FONT BGCOLOR=\"0,0,255\">MM</FONT>"_qs);
    const QImage image = marked.Image();
    const QRect piece = marked.control.LastLayout().pieces.at(0).rect;
    QVERIFY(Near(image.pixelColor(piece.left() + 1, piece.top() + 1), QColor(0, 0, 255)));
    QVERIFY(Near(image.pixelColor(piece.right() + 5, piece.top() + 1), kWhite));

    // Transparent: the parent's picture shows around and behind the text.
    QWidget page;
    page.resize(300, 100);
    page.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(255, 200, 0));
    page.setPalette(palette);
    CXHTMLStatic value(&page);
    value.setGeometry(10, 10, 200, 25);
    value.SetTransparent(true);
    value.SetWindowText(u"<FONT BGCOLOR=Blue>00:11:22</FONT>"_qs);
    const QImage over = Grab(page);
    QVERIFY(Near(over.pixelColor(205, 30), QColor(255, 200, 0)));
    QCOMPARE(CountNear(over, QColor(0, 0, 255), QRect(), 20), 0);
    value.SetTransparent(false);
    QVERIFY(CountNear(Grab(page), QColor(0, 0, 255), QRect(), 20) > 20);
}

void TestXhtmlStatic::settersReturnThePreviousColour()
{
    CXHTMLStatic control;
    QCOMPARE(control.TextColor(), GetSysColor(kColorWindowText));
    QCOMPARE(control.BackgroundColor(), GetSysColor(kColorWindow));
    QCOMPARE(control.SetTextColor(u"Red"), GetSysColor(kColorWindowText));
    QCOMPARE(control.SetTextColor(MakeColorRef(1, 2, 3)), MakeColorRef(255, 0, 0));
    QCOMPARE(control.SetBackgroundColor(u"#000080"), GetSysColor(kColorWindow));
    QCOMPARE(control.BackgroundColor(), MakeColorRef(0, 0, 0x80));
}

void TestXhtmlStatic::appLinkSendsItsRegisteredMessage()
{
    Receiver page;
    Static text(u"See <A HREF=\"APP:Refresh\">refresh</A> or <A HREF=APP:Nope>nothing</A>"_qs);
    text.control.AddAppCommand(&page, 0x8001, 7, u"refresh"_qs);
    text.control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&text.control));
    const auto& links = text.control.LastLayout().links;
    QCOMPARE(links.size(), size_t(2));
    QTest::mouseClick(&text.control, Qt::LeftButton, {}, links[1].rect.center());
    QVERIFY(page.received.empty());
    QTest::mouseClick(&text.control, Qt::LeftButton, {}, links[0].rect.center());
    QCOMPARE(page.received, (std::vector<std::pair<unsigned, quintptr>>{{0x8001, 7}}));
    // Clicks beside the links do nothing.
    QTest::mouseClick(&text.control, Qt::LeftButton, {}, QPoint(2, 80));
    QCOMPARE(page.received.size(), size_t(1));
}

void TestXhtmlStatic::webLinksOpenAndOthersDoNot()
{
    UrlCatcher catcher;
    for (const char* scheme : {"https", "http", "file"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "Open");
    Static text(u"<A HREF=\"https://example.com/help\">help</A> <A HREF=file:///bin/sh>sh</A> "
                u"<A HREF=/usr/bin/xterm>xterm</A>"_qs);
    text.control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&text.control));
    const auto& links = text.control.LastLayout().links;
    QCOMPARE(links.size(), size_t(3));
    for (int i = 2; i >= 0; --i)
        QTest::mouseClick(&text.control, Qt::LeftButton, {}, links[size_t(i)].rect.center());
    QCOMPARE(catcher.urls, QList<QUrl>{QUrl(u"https://example.com/help"_qs)});
    for (const char* scheme : {"https", "http", "file"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

void TestXhtmlStatic::handCursorAndToolTipsOverLinks()
{
    QWidget page;
    page.resize(300, 120);
    CXHTMLStatic text(&page);
    text.setGeometry(0, 0, 300, 100);
    text.SetWindowText(u"Visit <A HREF=https://example.com/>us</A> or <A HREF=APP:Go>go</A>"_qs);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    const auto links = text.LastLayout().links;
    QTest::mouseMove(&text, links[0].rect.center());
    QCOMPARE(text.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(&text, QPoint(2, 90));
    QVERIFY(!text.testAttribute(Qt::WA_SetCursor));

    auto toolTipAt = [&](QPoint pos) {
        // A hidden tip fades out for a moment; a new one must not be mistaken for it.
        QToolTip::hideText();
        for (int i = 0; i < 50 && QToolTip::isVisible(); ++i)
            QTest::qWait(20);
        QHelpEvent help(QEvent::ToolTip, pos, text.mapToGlobal(pos));
        QCoreApplication::sendEvent(&text, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    QCOMPARE(toolTipAt(links[0].rect.center()), QString());
    text.EnableToolTips(true);
    QCOMPARE(toolTipAt(links[0].rect.center()), u"https://example.com/"_qs);
    QCOMPARE(toolTipAt(links[1].rect.center()), QString());
    QCOMPARE(toolTipAt(QPoint(2, 90)), QString());
    QToolTip::hideText();
}

void TestXhtmlStatic::rendersIntoAnyPainter()
{
    Static text(u"<HR SIZE=3>Printed"_qs);
    QImage target(252, 90, QImage::Format_RGB32);
    target.fill(Qt::red);
    {
        QPainter painter(&target);
        text.control.Render(painter, target.rect());
    }
    QVERIFY(Near(target.pixelColor(100, 1), QColor(0, 0, 0)));
    QVERIFY(Near(target.pixelColor(250, 80), kWhite));
    QCOMPARE(text.control.RuleWidth(), 3);
    text.control.Reset();
    QCOMPARE(text.control.RuleWidth(), 2);
    QVERIFY(text.control.LastLayout().links.empty());
}

QTEST_MAIN(TestXhtmlStatic)
#include "test_xhtmlstatic.moc"
