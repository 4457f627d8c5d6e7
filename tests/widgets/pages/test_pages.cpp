#include "console/tarndlg.h"
#include "controls/ctlbutton.h"
#include "controls/hmxstatic.h"
#include "controls/ptbutton.h"
#include "controls/xhtmlstatic.h"
#include "locate/searchdlg.h"
#include "pages/ipaddrdlg.h"
#include "pages/messagedlg.h"
#include "pages/modedlg.h"
#include "pages/passworddlg.h"
#include "pages/progressdlg.h"
#include "pages/savedlg.h"
#include "pages/summarydlg.h"
#include "pages/surveydlg.h"
#include "platform/stringtable.h"
#include "protocol/statusvalues.h"
#include "session/sessionvalues.h"
#include "tests/widgets/controls/pixels.h"
#include "tests/widgets/support/frametest.h"

#include <QTimer>

using namespace Pixels;

namespace
{

// The part of `widget` in `area` is picture `pictureId`, pixel for pixel.
bool Shows(QWidget* widget, const QRect& area, int pictureId, QStringView type = u"JPEG")
{
    CPTPicture picture;
    if (!picture.LoadId(pictureId, type))
        return false;
    return Grab(*widget).copy(area) == picture.Image().convertToFormat(QImage::Format_RGB32);
}

bool Shows(QWidget* page, QWidget* control, int pictureId)
{
    return Shows(page, control->geometry(), pictureId);
}

CSkinnedPage* PageOf(const QString& name)
{
    const QList<QWidget*> pages = {G_pIPAddrDlg, G_pModeDlg,     G_pSummaryDlg,
                                   G_pSurveyDlg, G_pPasswordDlg, G_pSaveDlg};
    for (QWidget* page : pages) {
        if (page->objectName() == name)
            return static_cast<CSkinnedPage*>(page);
    }
    return nullptr;
}

} // namespace

class TestPages : public CFrameTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyPageWearsItsSkin_data();
    void everyPageWearsItsSkin();
    void layoutOnEveryShowingButThePasswordPage();
    void stepsCloseAndMinimize();
    void messageDialog();
    void progressDialog_data();
    void progressDialog();
    void summaryDHCPRule_data();
    void summaryDHCPRule();
    void summaryValues();

private:
    std::unique_ptr<CTarnDlg> m_console;
};

void TestPages::init()
{
    G_mstrIPAddress = u"192.168.77.10"_qs;
    G_mstrMACAddress = u"00:1A:2B:3C:4D:5E"_qs;
    m_console = std::make_unique<CTarnDlg>(nullptr);
    G_pTarnDlg = m_console.get();
    m_console->move(100, 80);
    m_console->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_console.get()));
}

void TestPages::cleanup()
{
    G_pTarnDlg = nullptr;
    m_console.reset();
}

void TestPages::everyPageWearsItsSkin_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<int>("background");
    QTest::addColumn<int>("ownStep");
    QTest::newRow("summary") << u"CTarn_SummaryDlg"_qs << 140 << int(Skin::Repeater);
    QTest::newRow("IP address") << u"CTarn_IPAddrDlg"_qs << 134 << int(Skin::IPAddress);
    QTest::newRow("wireless") << u"CTarn_SurveyDlg"_qs << 141 << int(Skin::Wireless);
    QTest::newRow("firmware") << u"CTarn_ModeDlg"_qs << 136 << int(Skin::Firmware);
    QTest::newRow("password") << u"CTarn_PasswordDlg"_qs << 137 << int(Skin::Password);
    QTest::newRow("reset") << u"CTarn_SaveDlg"_qs << 138 << int(Skin::Reset);
}

void TestPages::everyPageWearsItsSkin()
{
    QFETCH(QString, page);
    QFETCH(int, background);
    QFETCH(int, ownStep);
    CSkinnedPage* shown = PageOf(page);
    QVERIFY(shown);
    m_console->ShowPage(shown);
    QVERIFY(shown->isVisible());
    for (int step = 0; step < Skin::kStepCount; ++step) {
        CPTButton* button = shown->StepButton(Skin::Step(step));
        const Skin::StepLook& look = Skin::kSteps[size_t(step)];
        int x = 0, y = 0, w = 0, h = 0;
        GetLayoutRect(look.rectId, x, y, w, h);
        QCOMPARE(button->geometry(), QRect(x, y, w, h));
        QCOMPARE(button->ControlId(), shown->Skin().firstStepId + step);
        QVERIFY2(Shows(shown, button, step == ownStep ? look.ownPicture : look.otherPicture),
                 qPrintable(QString::number(step)));
    }
    QCOMPARE(shown->CloseButton()->geometry(), QRect(676, 6, 18, 18));
    QCOMPARE(shown->MinimizeButton()->geometry(), QRect(658, 6, 18, 18));
    QVERIFY(Shows(shown, shown->CloseButton(), 150));
    QVERIFY(Shows(shown, shown->MinimizeButton(), 146));
    QCOMPARE(shown->IPLabel()->geometry(), QRect(25, 465, 160, 20));
    QCOMPARE(shown->MACLabel()->geometry(), QRect(25, 430, 160, 20));
    QCOMPARE(shown->IPLabel()->Text(), G_mstrIPAddress);
    QCOMPARE(shown->MACLabel()->Text(), G_mstrMACAddress);
    // The device's address is drawn on the picture, in the skin's dark blue.
    QVERIFY(CountNear(Grab(*shown), QColor(20, 50, 90), shown->IPLabel()->geometry(), 40) > 20);
    // Where no control stands, the page is its picture.
    CPTPicture picture;
    QVERIFY(picture.LoadId(background));
    const QRect corner(190, 0, 300, 70);
    QVERIFY(Grab(*shown).copy(corner) ==
            picture.Image().convertToFormat(QImage::Format_RGB32).copy(corner));
}

void TestPages::layoutOnEveryShowingButThePasswordPage()
{
    G_mstrIPAddress = u"10.1.2.3"_qs;
    m_console->ShowPage(G_pSaveDlg);
    QCOMPARE(G_pSaveDlg->IPLabel()->Text(), u"10.1.2.3"_qs);
    m_console->ShowPage(G_pPasswordDlg);
    // Laid out once, when it was made: what the user typed there stays.
    QCOMPARE(G_pPasswordDlg->IPLabel()->Text(), u"192.168.77.10"_qs);
}

void TestPages::stepsCloseAndMinimize()
{
    COstrelDlg frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QVERIFY(OpenConsole(u"192.168.77.10"_qs, &frame));
    QVERIFY(G_pSummaryDlg->isVisible() && !G_pSearchDlg->isVisible());
    const QList<QWidget*> pages = {G_pSummaryDlg, G_pIPAddrDlg,   G_pSurveyDlg,
                                   G_pModeDlg,    G_pPasswordDlg, G_pSaveDlg};
    for (int step = Skin::Repeater; step < Skin::kStepCount; ++step) {
        // From a page other than the target's own.
        CSkinnedPage* from = G_pSummaryDlg;
        if (step == Skin::Repeater)
            from = G_pSaveDlg;
        G_pTarnDlg->ShowPage(from);
        QTest::mouseClick(from->StepButton(Skin::Step(step)), Qt::LeftButton);
        for (int i = 0; i < pages.size(); ++i)
            QCOMPARE(pages[i]->isVisible(), i == step - 1);
    }
    auto* reset = static_cast<CSkinnedPage*>(G_pSaveDlg);
    QTest::mouseClick(reset->StepButton(Skin::Reset), Qt::LeftButton);
    QVERIFY(G_pSaveDlg->isVisible());

    CTarnDlg* console = G_pTarnDlg;
    QTest::mouseClick(reset->StepButton(Skin::Locate), Qt::LeftButton);
    QVERIFY(G_pSearchDlg->isVisible());
    QVERIFY(!console->isVisible());
    QCOMPARE(G_pTarnDlg, console); // hidden, not destroyed

    QVERIFY(OpenConsole(u"192.168.77.10"_qs, &frame));
    QTest::mouseClick(G_pSummaryDlg->MinimizeButton(), Qt::LeftButton, {}, QPoint(9, 9));
    QVERIFY(frame.isMinimized());
    frame.showNormal();
    QTimer::singleShot(0, &frame, [] {
        QTest::mouseClick(G_pSummaryDlg->CloseButton(), Qt::LeftButton, {}, QPoint(9, 9));
    });
    QCOMPARE(frame.exec(), 0);
    m_console.release(); // the frame's console replaced ours, which OpenConsole deleted
}

void TestPages::messageDialog()
{
    CTarn_MessageDlg* message = G_pMessageDlg;
    // Part of the console's window, so no window system can place it elsewhere.
    QVERIFY(!message->isWindow() && message->window() == m_console->window());
    QCOMPARE(message->size(), QSize(260, 144));
    QCOMPARE(message->OkButton()->geometry(), QRect(86, 100, 88, 34));
    QCOMPARE(message->MessageText()->geometry(), QRect(7, 20, 252, 90));
    // The same object shows each text its caller set; Enter and Esc do not end it.
    for (const QString& text : QStringList{LoadString(207), LoadString(139)}) {
        message->m_strMessage = text;
        QString shown;
        QPoint position;
        int ink = 0;
        QTimer::singleShot(50, message, [&] {
            shown = message->MessageText()->GetWindowText();
            position = m_console->mapFromGlobal(message->mapToGlobal(QPoint()));
            ink = Ink(Grab(*message), Qt::white, message->MessageText()->geometry());
            QTest::keyClick(message, Qt::Key_Escape);
            QTest::keyClick(message, Qt::Key_Return);
            QVERIFY(message->isVisible());
            QVERIFY(Shows(message, message->OkButton(), 168));
            QTest::mouseClick(message->OkButton(), Qt::LeftButton, {}, QPoint(40, 15));
        });
        QCOMPARE(message->exec(), 1);
        QCOMPARE(shown, text);
        QCOMPARE(position, QPoint(220, 178));
        QVERIFY(ink > 50);
    }
}

void TestPages::progressDialog_data()
{
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("bitmap");
    QTest::newRow("first") << 0 << 172;
    QTest::newRow("LAN page read") << 3 << 175;
    QTest::newRow("ninth") << 9 << 181;
    QTest::newRow("last") << 10 << 171;
}

void TestPages::progressDialog()
{
    QFETCH(int, frame);
    QFETCH(int, bitmap);
    CTarn_Progress* progress = G_pProgress;
    // Wherever the program window has been dragged to, the wait stands over its middle.
    m_console->move(140, 60);
    progress->m_strMessage = u"Upgrading...."_qs;
    QString composed;
    QPoint position;
    bool framePainted = false, firstPainted = false;
    QRect ink;
    QTimer::singleShot(50, progress, [&] {
        composed = progress->MessageText()->GetWindowText();
        position = progress->pos();
        // Each run starts on the first frame.
        firstPainted = Shows(progress, progress->FrameRect(), 172, u"BITMAP");
        progress->SetFrame(frame);
        framePainted = Shows(progress, QRect(70, 50, 128, 49), bitmap, u"BITMAP");
        const QImage shown = Grab(*progress);
        QImage text = shown.copy(progress->MessageText()->geometry());
        ink = InkBounds(text, text.pixelColor(0, 0));
        progress->done(0);
    });
    QCOMPARE(progress->exec(), 0);
    QCOMPARE(composed, u"<CENTER>Upgrading....</CENTER>"_qs);
    QCOMPARE(position, QPoint(220, 178));
    QVERIFY(firstPainted);
    QCOMPARE(progress->CurrentBitmap(), bitmap);
    QVERIFY(framePainted);
    // Centred in its 240-pixel line.
    QVERIFY2(std::abs(ink.center().x() - 120) <= 3, qPrintable(QString::number(ink.center().x())));
}

void TestPages::summaryDHCPRule_data()
{
    QTest::addColumn<QString>("dhcp");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("Enable") << u"Enable"_qs << true;
    QTest::newRow("lower case") << u"enable"_qs << true;
    QTest::newRow("mixed") << u"eNaBlE"_qs << true;
    QTest::newRow("Disable") << u"Disable"_qs << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("longer word") << u"Enabled"_qs << false;
}

void TestPages::summaryDHCPRule()
{
    QFETCH(QString, dhcp);
    QFETCH(bool, enabled);
    G_mstrDHCPServer = dhcp;
    CTarn_SummaryDlg* summary = G_pSummaryDlg;
    summary->FillSummary();
    QCOMPARE(summary->EnableRadio()->isChecked(), enabled);
    QCOMPARE(summary->EnableRadio()->isEnabled(), enabled);
    QCOMPARE(summary->DisableRadio()->isChecked(), !enabled);
    QCOMPARE(summary->DisableRadio()->isEnabled(), !enabled);
    QCOMPARE(G_mstrDHCPServer, dhcp.toUpper());
    QVERIFY(!summary->Value(CTarn_SummaryDlg::kDHCPValue)->isVisible());
    // The enabled radio takes no click away from the state it shows.
    QTest::mouseClick(enabled ? summary->EnableRadio() : summary->DisableRadio(), Qt::LeftButton);
    QCOMPARE(summary->EnableRadio()->isChecked(), enabled);
}

void TestPages::summaryValues()
{
    QString* const values[] = {&G_mstrLanMACAddress,    &G_mstrFirmwareVersion, &G_mstrLanIPAddress,
                               &G_mstrLanSubnetMask,    &G_mstrDHCPServer,      &G_mstrWirelessMode,
                               &G_mstrWirelessSecurity, &G_mstrWanIPAddress,    &G_mstrSSID,
                               &G_mstrWanSubnetMask,    &G_mstrGateway,         &G_mstrPrimaryDNS,
                               &G_mstrSecondaryDNS};
    const QStringList texts = {u"00:1A:2B:3C:4D:5E"_qs,
                               u"1.0.4"_qs,
                               u"192.168.77.10"_qs,
                               u"255.255.255.0"_qs,
                               u"Enable"_qs,
                               u"Repeater"_qs,
                               u"WPA2-PSK (AES)"_qs,
                               u"192.168.103.57"_qs,
                               u"<A HREF=x>Home</A> &amp; Work"_qs,
                               u"255.255.255.0"_qs,
                               u"192.168.103.1"_qs,
                               QString(),
                               u"8.8.4.4"_qs};
    for (int i = 0; i < CTarn_SummaryDlg::kValueCount; ++i)
        *values[i] = texts[i];
    CTarn_SummaryDlg* summary = G_pSummaryDlg;
    for (int showing = 0; showing < 2; ++showing) {
        m_console->ShowPage(G_pSaveDlg);
        m_console->ShowPage(summary);
        QVERIFY(!summary->Value(CTarn_SummaryDlg::kDHCPValue)->isVisible());
        int checked = 0;
        for (int i = 0; i < CTarn_SummaryDlg::kValueCount; ++i) {
            CXHTMLStatic* value = summary->Value(CTarn_SummaryDlg::kFirstValue + i);
            if (!value->isVisible())
                continue;
            ++checked;
            // A network name with tags shows as typed and opens no link.
            QCOMPARE(value->GetWindowText(), QString(texts[i]).replace(u'<', u"&lt;"_qs));
            QCOMPARE(value->x(), 400);
        }
        // Every value but the DHCP one, which the radio buttons show.
        QCOMPARE(checked, CTarn_SummaryDlg::kValueCount - 1);
        QVERIFY(summary->Value(1134)->LastLayout().links.empty());
        QVERIFY(summary->EnableRadio()->isChecked());
    }
    int x = 0, y = 0, w = 0, h = 0;
    GetLayoutRect(245, x, y, w, h);
    QCOMPARE(summary->EnableRadio()->geometry(), QRect(x, y, 15, 15));
    QCOMPARE(summary->DisableRadio()->geometry(), QRect(x + 70, y, 15, 15));
    QVERIFY(summary->EnableRadio()->text().isEmpty());
}

QTEST_MAIN(TestPages)
#include "test_pages.moc"
