#include "controls/ctlbutton.h"
#include "controls/hmxstatic.h"
#include "controls/ipaddressedit.h"
#include "controls/ptbutton.h"
#include "controls/ptlabel.h"
#include "controls/ptpicture.h"
#include "controls/xhtmlstatic.h"
#include "pixels.h"
#include "platform/stringtable.h"

#include <QButtonGroup>
#include <QPushButton>
#include <QTest>

using namespace Pixels;

namespace
{

// A page as the pages paint themselves: the background picture, then the controls on top.
class SkinPage : public QWidget
{
public:
    SkinPage(int backgroundId, QSize size)
    {
        resize(size);
        setFont(QFont(u"Verdana"_qs, 9));
        loaded = background.LoadId(backgroundId);
    }
    CPTPicture background;
    bool loaded = false;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        background.Draw(painter);
    }
};

void Place(QWidget* control, int rectId)
{
    int x = 0, y = 0, w = 0, h = 0;
    QVERIFY2(GetLayoutRect(rectId, x, y, w, h), qPrintable(QString::number(rectId)));
    control->setGeometry(x, y, w, h);
}

void Save(const QImage& image, const QString& name, int zoom = 1)
{
    const QString dir = QStringLiteral(KELDA_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    const QImage scaled = zoom == 1 ? image : image.scaled(image.size() * zoom);
    QVERIFY(scaled.save(dir + u'/' + name + u".png"_qs));
}

struct Step {
    int rectId;
    int otherPicture;
    int ownPicture;
};
// Locate, Repeater, IPAddress, Wireless, Firmware, Password, Reset.
constexpr Step kSteps[] = {{183, 214, 220}, {184, 223, 224}, {185, 218, 219}, {186, 227, 215},
                           {187, 216, 217}, {188, 221, 222}, {189, 225, 226}};

struct Chrome {
    std::vector<CPTButton*> steps;
    CPTButton* minimize = nullptr;
    CPTButton* close = nullptr;
};

Chrome AddChrome(QWidget* page, int ownStep, bool stepsEnabled = true)
{
    Chrome chrome;
    for (int i = 0; i < 7; ++i) {
        auto* button = new CPTButton(page, 1119 + i);
        const int picture = i == ownStep ? kSteps[i].ownPicture : kSteps[i].otherPicture;
        button->SetPictures(picture, picture, picture);
        Place(button, kSteps[i].rectId);
        button->setEnabled(stepsEnabled || i == ownStep);
        chrome.steps.push_back(button);
    }
    chrome.minimize = new CPTButton(page, 1183);
    chrome.minimize->SetPictures(146, 147, 146);
    Place(chrome.minimize, 502);
    chrome.close = new CPTButton(page, 1046);
    chrome.close->SetPictures(150, 151, 150);
    Place(chrome.close, 503);
    return chrome;
}

void AddDeviceLabels(QWidget* page)
{
    auto* mac = new CHMXStatic(page);
    Place(mac, 206);
    mac->SetTextColor(MakeColorRef(20, 50, 90));
    mac->SetText(u"00:1A:2B:3C:4D:5E"_qs);
    auto* ip = new CHMXStatic(page);
    Place(ip, 205);
    ip->SetTextColor(MakeColorRef(20, 50, 90));
    ip->SetText(u"192.168.77.10"_qs);
}

CXHTMLStatic* AddValue(QWidget* page, int rectId, const QString& text)
{
    auto* value = new CXHTMLStatic(page);
    Place(value, rectId);
    value->SetTransparent(true);
    value->SetTextColor(MakeColorRef(0, 0, 0));
    value->Reset();
    value->SetWindowText(text);
    return value;
}

// The grab of `control` is its picture, pixel for pixel.
bool ShowsPicture(QWidget& page, QWidget* control, int pictureId)
{
    CPTPicture picture;
    if (!picture.LoadId(pictureId))
        return false;
    const QImage shown = Grab(page).copy(control->geometry());
    const QImage expected = picture.Image().convertToFormat(QImage::Format_RGB32);
    return shown == expected;
}

} // namespace

class TestScreenshots : public QObject
{
    Q_OBJECT
private slots:
    void everySkinPictureLoads();
    void summaryPage();
    void locatePage();
    void ipAddressPage();
    void messageAndProgressDialogs();
    void controlStates();
};

void TestScreenshots::everySkinPictureLoads()
{
    std::vector<int> ids{128, 133, 134, 136, 137, 138, 140, 141, 153, 154, 155, 156,
                         157, 160, 162, 167, 168, 169, 170, 182, 183, 184, 185, 248};
    for (int id = 146; id <= 151; ++id)
        ids.push_back(id);
    for (int id = 214; id <= 227; ++id)
        ids.push_back(id);
    for (const int id : ids) {
        CPTPicture picture;
        QVERIFY2(picture.LoadId(id), qPrintable(QString::number(id)));
        const QSize size = picture.Image().size();
        if (id == 133 || id == 134 || (id >= 136 && id <= 141 && id != 139))
            QCOMPARE(size, QSize(700, 500));
        else if (id >= 214 && id <= 227)
            QCOMPARE(size, QSize(175, 33));
        else if (id >= 146 && id <= 151 && id != 148 && id != 149)
            QCOMPARE(size, QSize(18, 18));
        else if (id == 170)
            QCOMPARE(size, QSize(748, 500));
    }
    for (int id = 171; id <= 181; ++id) {
        CPTPicture frame;
        QVERIFY(frame.LoadId(id, u"BITMAP"));
        QCOMPARE(frame.Image().size(), QSize(128, 49));
    }
    for (const int id : {133, 134, 136, 137, 138, 140, 141, 160, 248, 170}) {
        CPTPicture picture;
        picture.LoadId(id);
        Save(picture.Image(), u"background_"_qs + QString::number(id));
    }
}

void TestScreenshots::summaryPage()
{
    SkinPage page(140, QSize(700, 500));
    QVERIFY(page.loaded);
    const Chrome chrome = AddChrome(&page, 1);
    AddDeviceLabels(&page);
    const std::pair<int, const char16_t*> values[] = {
        {200, u"00:1A:2B:3C:4D:5E"}, {242, u"1.0.12"},      {243, u"192.168.77.10"},
        {244, u"255.255.255.0"},     {246, u"Repeater"},    {247, u"WPA2-PSK"},
        {248, u"10.77.0.20"},        {249, u"HomeNetwork"}, {250, u"255.255.255.0"},
        {251, u"10.77.0.1"},         {252, u"10.77.0.1"},   {253, u"0.0.0.0"},
    };
    for (const auto& [rectId, text] : values)
        AddValue(&page, rectId, QString::fromUtf16(text));
    int x = 0, y = 0, w = 0, h = 0;
    GetLayoutRect(245, x, y, w, h);
    auto* group = new QButtonGroup(&page);
    auto* enable = new CCTLButton(u"Enable"_qs, &page);
    auto* disable = new CCTLButton(u"Disable"_qs, &page);
    for (auto* radio : {enable, disable}) {
        radio->ClearCaption();
        radio->SetBackgroundColor(MakeColorRef(255, 255, 255));
        group->addButton(radio);
    }
    enable->setGeometry(x, y, 15, 15);
    disable->setGeometry(x + 70, y, 15, 15);
    enable->setChecked(true);
    disable->setEnabled(false);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QTest::mouseMove(&page, QPoint(690, 490));
    Save(Grab(page), u"page_summary"_qs);

    for (int i = 0; i < 7; ++i)
        QVERIFY(ShowsPicture(page, chrome.steps[size_t(i)],
                             i == 1 ? kSteps[i].ownPicture : kSteps[i].otherPicture));
    QVERIFY(ShowsPicture(page, chrome.close, 150));
    QTest::mouseMove(chrome.close, QPoint(9, 9));
    QVERIFY(ShowsPicture(page, chrome.close, 151));
    Save(Grab(page).copy(600, 0, 100, 30), u"title_close_hover"_qs, 4);
    QTest::mouseMove(chrome.minimize, QPoint(9, 9));
    QVERIFY(ShowsPicture(page, chrome.close, 150));
    QVERIFY(ShowsPicture(page, chrome.minimize, 147));
    Save(Grab(page).copy(600, 0, 100, 30), u"title_minimize_hover"_qs, 4);
}

void TestScreenshots::locatePage()
{
    SkinPage page(133, QSize(700, 500));
    AddChrome(&page, 0, false);
    auto* result = new CPTLabel(&page);
    Place(result, 507);
    result->SetColors(0, 0, 0, 0, 0);
    result->SetText(u"2 Smart Repeaters Found !"_qs);
    auto* scan = new QPushButton(u"Scan"_qs, &page);
    Place(scan, 190);
    auto* connect = new QPushButton(u"Connect"_qs, &page);
    Place(connect, 191);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    Save(Grab(page), u"page_locate"_qs);
    QVERIFY(CountNear(Grab(page), Qt::black, result->geometry(), 60) > 30);
}

void TestScreenshots::ipAddressPage()
{
    SkinPage page(134, QSize(700, 500));
    AddChrome(&page, 2);
    AddDeviceLabels(&page);
    AddValue(&page, 196, u"192.168.77.10"_qs);
    AddValue(&page, 197, u"255.255.255.0"_qs);
    auto* address = new CIPAddressEdit(&page);
    Place(address, 512);
    address->SetText(u"192.168.77.20");
    auto* mask = new CIPAddressEdit(&page);
    Place(mask, 513);
    mask->SetText(u"255.255.255.0");
    auto* modes = new QButtonGroup(&page);
    auto* automatic = new CCTLButton(&page);
    Place(automatic, 510);
    auto* manual = new CCTLButton(&page);
    Place(manual, 511);
    auto* dhcp = new QButtonGroup(&page);
    int x = 0, y = 0, w = 0, h = 0;
    GetLayoutRect(198, x, y, w, h);
    auto* enable = new CCTLButton(&page);
    enable->setGeometry(x, y, 15, 15);
    auto* disable = new CCTLButton(&page);
    disable->setGeometry(x + 70, y, 15, 15);
    for (auto* radio : {automatic, manual, enable, disable})
        radio->SetBackgroundColor(MakeColorRef(255, 255, 255));
    modes->addButton(automatic);
    modes->addButton(manual);
    dhcp->addButton(enable);
    dhcp->addButton(disable);
    manual->setChecked(true);
    disable->setChecked(true);
    enable->setEnabled(false);
    auto* apply = new QPushButton(u"Apply"_qs, &page);
    Place(apply, 235);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    Save(Grab(page), u"page_ipaddress"_qs);
    QVERIFY(manual->isChecked() && disable->isChecked());
}

void TestScreenshots::messageAndProgressDialogs()
{
    SkinPage message(160, QSize(260, 144));
    auto* ok = new CPTButton(&message, 1104);
    Place(ok, 545);
    ok->SetPictures(168, 162, 168);
    auto* text = new CXHTMLStatic(&message);
    Place(text, 546);
    text->SetTransparent(true);
    text->SetTextColor(MakeColorRef(0, 0, 0));
    text->SetWindowText(LoadString(142));
    message.show();
    QVERIFY(QTest::qWaitForWindowExposed(&message));
    QTest::mouseMove(&message, QPoint(2, 140));
    Save(Grab(message), u"dialog_message"_qs, 2);
    QVERIFY(ShowsPicture(message, ok, 168));
    QTest::mouseMove(ok, QPoint(40, 15));
    QVERIFY(ShowsPicture(message, ok, 162));
    Save(Grab(message), u"dialog_message_ok_hover"_qs, 2);

    SkinPage progress(248, QSize(260, 144));
    auto* status = new CXHTMLStatic(&progress);
    Place(status, 560);
    status->SetTransparent(true);
    status->SetTextColor(MakeColorRef(0, 0, 0));
    status->SetWindowText(u"<CENTER>Rebooting....</CENTER>"_qs);
    progress.show();
    QVERIFY(QTest::qWaitForWindowExposed(&progress));
    QImage strip(260 * 4, 144 * 3, QImage::Format_RGB32);
    strip.fill(Qt::black);
    QPainter painter(&strip);
    for (int n = 0; n <= 10; ++n) {
        const QImage dialog = Grab(progress);
        CPTPicture frame;
        QVERIFY(frame.LoadId(n <= 9 ? 172 + n : 171, u"BITMAP"));
        painter.drawImage(QPoint((n % 4) * 260, (n / 4) * 144), dialog);
        painter.translate((n % 4) * 260 + 70, (n / 4) * 144 + 50);
        frame.Draw(painter);
        painter.resetTransform();
    }
    painter.end();
    Save(strip, u"dialog_progress_frames"_qs);
}

void TestScreenshots::controlStates()
{
    // The label in each of its colours; the markup static with its tags.
    QWidget sheet;
    sheet.resize(520, 420);
    sheet.setAutoFillBackground(true);
    sheet.setFont(QFont(u"Verdana"_qs, 9));
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(246, 248, 251));
    sheet.setPalette(palette);
    const char16_t* states[] = {u"0 normal", u"1 hover", u"2 pressed", u"3 fixed", u"4 fixed"};
    for (int state = 0; state < 5; ++state) {
        auto* label = new CPTLabel(&sheet);
        label->setGeometry(10, 10 + state * 24, 160, 22);
        label->SetColors(MakeColorRef(0, 0, 0), MakeColorRef(0, 90, 200), MakeColorRef(200, 0, 0),
                         MakeColorRef(0, 140, 60), MakeColorRef(130, 130, 130));
        label->SetFocusRectangle(true);
        label->SetState(state);
        label->SetText(u"Label state "_qs + QString::fromUtf16(states[state]));
    }
    auto* disabled = new CPTLabel(&sheet);
    disabled->setGeometry(10, 130, 160, 22);
    disabled->SetColors(0, 1, 2, 3, MakeColorRef(130, 130, 130));
    disabled->SetText(u"Label disabled"_qs);
    disabled->setEnabled(false);
    auto* twoLines = new CPTLabel(&sheet);
    twoLines->setGeometry(10, 156, 160, 40);
    twoLines->SetText(u"Backslash-n\\nbreaks here"_qs);
    auto* columns = new CPTLabel(&sheet);
    columns->setGeometry(10, 200, 300, 22);
    columns->SetColumnCount(3);
    columns->SetColumn(0, u"QZ-8061Tr"_qs, 0, 90, MakeColorRef(0, 0, 0));
    columns->SetColumn(1, u"00:1A:2B:3C:4D:5E"_qs, 90, 230, MakeColorRef(0, 90, 200));
    columns->SetColumn(2, u"192.168.77.10"_qs, 230, 300, MakeColorRef(0, 140, 60), Qt::AlignRight);

    auto* markup = new CXHTMLStatic(&sheet);
    markup->setGeometry(190, 10, 320, 190);
    markup->SetBackgroundColor(MakeColorRef(255, 255, 255));
    markup->SetTextColor(MakeColorRef(0, 0, 0));
    markup->SetWindowText(
        u"<CENTER><B>Centred bold</B></CENTER><I>italic</I> <U>underline</U> "
        u"<STRIKE>strike</STRIKE> <BIG>big</BIG> <SMALL>small</SMALL> H<SUB>2</SUB>O "
        u"x<SUP>2</SUP><BR><FONT COLOR=\"#C00000\">red</FONT> <FONT COLOR=\"0,128,0\">green</FONT> "
        u"<FONT BGCOLOR=Navy COLOR=White>navy</FONT> <FONT SIZE=3>larger</FONT> "
        u"<CODE>code</CODE><HR SIZE=3>&lt;b&gt; &amp; &copy; &euro; &frac12; &AMP; <X> "
        u"<A HREF=\"https://example.com/\">a link</A> and a long line that wraps across the "
        u"width of the control\nafter a line feed"_qs);

    int column = 0;
    for (const bool transparent : {false, true}) {
        for (const int kind : {0, 1, 2}) {
            auto* radio = new CCTLButton(u"Radio"_qs, &sheet);
            radio->setGeometry(10 + column * 80, 240, 75, 20);
            radio->SetTransparent(transparent);
            radio->SetBackgroundColor(MakeColorRef(255, 255, 255));
            radio->setAutoExclusive(false);
            radio->setChecked(kind == 1);
            radio->setEnabled(kind != 2);
            ++column;
        }
    }
    auto* ip = new CIPAddressEdit(&sheet);
    ip->setGeometry(10, 270, 200, 23);
    ip->SetText(u"192.168..1");
    auto* opaque = new CHMXStatic(&sheet);
    opaque->setGeometry(220, 270, 160, 20);
    opaque->SetTransparent(false);
    opaque->SetBackgroundColor(MakeColorRef(255, 240, 200));
    opaque->SetText(u"opaque static"_qs);

    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QTest::mouseMove(&sheet, QPoint(515, 415));
    Save(Grab(sheet), u"controls_states"_qs, 2);

    // Title buttons in each state, enlarged.
    SkinPage band(140, QSize(700, 78));
    const Chrome chrome = AddChrome(&band, 1);
    band.show();
    QVERIFY(QTest::qWaitForWindowExposed(&band));
    QTest::mouseMove(&band, QPoint(100, 70));
    Save(Grab(band).copy(650, 0, 50, 30), u"title_normal"_qs, 6);
    chrome.close->setEnabled(false);
    chrome.minimize->setEnabled(false);
    Save(Grab(band).copy(650, 0, 50, 30), u"title_disabled"_qs, 6);
    QVERIFY(ShowsPicture(band, chrome.close, 150));
}

QTEST_MAIN(TestScreenshots)
#include "test_screenshots.moc"
