// The wizard on real desktops: Xvfb with the openbox window manager, and weston (Wayland). The
// real frame runs in this process against the simulated repeater of the harness's namespaces,
// on the display tests/e2e/desktop/on_desktop started inside the PC namespace. What the user
// sees is read back from the display server itself, not from the widgets; what a screen reader
// hears, from the accessibility bus.
#include "app/windowactivation.h"
#include "controls/ctlbutton.h"
#include "controls/ipaddressedit.h"
#include "pages/ipaddrdlg.h"
#include "pages/savedlg.h"
#include "platform/singleinstance.h"
#include "resources/pagetexts.h"
#include "session/sessionvalues.h"
#include "tests/e2e/support/wizardrun.h"

#include <QGuiApplication>
#include <QScopeGuard>
#include <QScreen>
#include <QWindow>
#include <xcb/xcb.h>

namespace
{

constexpr int kRebootWaitMs = 44'000;
// Where both dialogs stand over the console.
constexpr QPoint kDialogOffset{220, 178};
// The progress animation changes between two looks; the rest of the dialog does not.
const QRect kAnimation{70, 50, 128, 49};

bool Near(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) <= 16 && std::abs(qGreen(a) - qGreen(b)) <= 16 &&
           std::abs(qBlue(a) - qBlue(b)) <= 16;
}

QImage Rgb(const QImage& image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

// The share of `part`'s pixels, outside `skip`, that the screen shows at `at`.
double Matches(const QImage& screen, QPoint at, const QImage& part, QRect skip = {})
{
    qint64 same = 0, counted = 0;
    for (int y = 0; y < part.height(); ++y) {
        for (int x = 0; x < part.width(); ++x) {
            if (skip.contains(x, y))
                continue;
            ++counted;
            const QPoint p = at + QPoint(x, y);
            same += screen.rect().contains(p) && Near(screen.pixel(p), part.pixel(x, y));
        }
    }
    return counted ? double(same) / double(counted) : 0;
}

// Where the screen shows the program window's top band (drawn as `window`), or (-1, -1). The
// band is never under a dialog and holds no button left of x = 560.
QPoint FindWindow(const QImage& screen, const QImage& window)
{
    QList<QPoint> samples;
    for (int y = 4; y < 76; y += 9)
        for (int x = 8; x < 560; x += 37)
            samples.append({x, y});
    for (int top = 0; top + window.height() <= screen.height(); ++top) {
        for (int left = 0; left + window.width() <= screen.width(); ++left) {
            bool all = true;
            for (const QPoint& s : samples) {
                if (!Near(screen.pixel(left + s.x(), top + s.y()), window.pixel(s))) {
                    all = false;
                    break;
                }
            }
            if (all)
                return {left, top};
        }
    }
    return {-1, -1};
}

// Runs a helper program while the wizard's own loops go on; true when it ended well.
bool RunAlongside(const QString& program, const QStringList& arguments,
                  const QString& directory = {})
{
    QProcess process;
    if (!directory.isEmpty())
        process.setWorkingDirectory(directory);
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return false;
    WaitFor([&] { return process.state() == QProcess::NotRunning; }, 15'000);
    if (process.state() != QProcess::NotRunning || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    return true;
}

// The whole screen as the display server composes it.
QImage ScreenShot()
{
    if (QGuiApplication::platformName() != u"wayland") {
        QScreen* screen = QGuiApplication::primaryScreen();
        return screen ? Rgb(screen->grabWindow(0).toImage()) : QImage();
    }
    // Weston hands its output to its screenshot client (allowed by --debug).
    QTemporaryDir dir;
    if (!RunAlongside(u"weston-screenshooter"_qs, {}, dir.path()))
        return {};
    const QStringList files = QDir(dir.path()).entryList({u"*.png"_qs}, QDir::Files);
    return files.isEmpty() ? QImage() : Rgb(QImage(dir.filePath(files.first())));
}

// A time of the X server now, as a launcher takes it from the click that starts a program: a
// property change on a window of a connection of our own (Qt's reads its events itself).
quint32 XServerTime()
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return 0;
    }
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t window = xcb_generate_id(connection);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME,
                        XCB_ATOM_STRING, 8, 1, "t");
    xcb_flush(connection);
    quint32 time = 0;
    while (xcb_generic_event_t* event = xcb_wait_for_event(connection)) {
        const bool property = (event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY;
        if (property)
            time = reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
        std::free(event);
        if (property)
            break;
    }
    xcb_disconnect(connection);
    return time;
}

// A window property of the root, as the window manager keeps it: "0x400006" and the like.
QStringList RootWindows(const char* property)
{
    const QString out =
        QString::fromLatin1(Run(u"xprop"_qs, {u"-root"_qs, QString::fromLatin1(property)}));
    QStringList ids;
    for (const QString& word : out.section(u'#', 1).split(u',', Qt::SkipEmptyParts))
        ids.append(word.trimmed());
    return ids;
}

QString HexId(WId id)
{
    return u"0x"_qs + QString::number(id, 16);
}

// One object of the program's accessibility tree, as a screen reader reads it over AT-SPI.
struct ReaderObject {
    QVariantMap fields;

    QString operator[](const char* field) const
    {
        return fields.value(QLatin1StringView(field)).toString();
    }
    bool Has(const char* state) const
    {
        return (*this)["states"].split(u' ').contains(QLatin1StringView(state));
    }
    bool Within(const ReaderObject& ancestor) const
    {
        return (*this)["path"].startsWith(ancestor["path"] + u'/');
    }
};

// The showing part of this program's tree, read by tests/e2e/desktop/screen_reader.py while the
// program's own loops go on; empty with a warning when it could not be read, and the test is
// skipped when pyatspi is missing.
QList<ReaderObject> ReadAsScreenReader(const QString& name, bool* missing)
{
    QProcess reader;
    reader.start(u"/usr/bin/python3"_qs, {QStringLiteral(KELDA_SCREEN_READER),
                                          QString::number(QCoreApplication::applicationPid())});
    QList<ReaderObject> objects;
    if (!reader.waitForStarted(5000))
        return objects;
    WaitFor([&] { return reader.state() == QProcess::NotRunning; }, 30'000);
    *missing = reader.exitCode() == 77;
    if (reader.state() != QProcess::NotRunning || reader.exitCode() != 0) {
        qWarning("screen reader: %s", reader.readAllStandardError().constData());
        return objects;
    }
    const QByteArray lines = reader.readAllStandardOutput();
    // Beside the screenshots: what the reader read, for whoever looks into a failure.
    QFile file(QStringLiteral(KELDA_SCREENSHOT_DIR) + u"/e2e_screen_reader_"_qs + name +
               u".jsonl"_qs);
    if (QDir().mkpath(QStringLiteral(KELDA_SCREENSHOT_DIR)) && file.open(QIODevice::WriteOnly))
        file.write(lines);
    for (const QByteArray& line : lines.split('\n')) {
        if (const QJsonObject entry = QJsonDocument::fromJson(line).object(); !entry.isEmpty())
            objects.append({entry.toVariantMap()});
    }
    return objects;
}

const ReaderObject* FindObject(const QList<ReaderObject>& tree,
                               const std::function<bool(const ReaderObject&)>& match)
{
    for (const ReaderObject& object : tree) {
        if (match(object))
            return &object;
    }
    return nullptr;
}

} // namespace

class TestDesktopEndToEnd : public CWizardTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void minimiseAndRestoreWithAWindowManager();
    void closedByTheWindowManager();
    void dialogsInPlaceOnWayland();
    void screenReaderReadsEveryText();
    void secondStartRaisesTheWindow_data();
    void secondStartRaisesTheWindow();

private:
    // A real click of the display server's pointer at `pos` of `widget`.
    bool ClickOnScreen(QWidget* widget, QPoint pos);
    bool Xdotool(const QStringList& arguments);
    QString WindowId() const { return QString::number(m_frame->winId()); }
    // The program window as the screen shows it (X11: the window manager puts it anywhere).
    QImage FrameOnScreen() const;
    // The installed program as a user starts it, its window found on the display.
    bool StartWizard(QProcess& wizard, QString& window);
    // Connects the started program to the one device, as the user would click it.
    bool ClickConnect(const QString& window);
    // Alt+F4 through the window manager; true when the program then ended within 10 s.
    bool CloseWithAltF4(QProcess& wizard, const QString& window);
};

void TestDesktopEndToEnd::init()
{
    // That case runs the program itself, which needs the discovery port to itself.
    if (QTest::currentTestFunction() != QByteArrayView("closedByTheWindowManager"))
        ShowFrame();
}

void TestDesktopEndToEnd::cleanup()
{
    m_frame.reset();
}

bool TestDesktopEndToEnd::Xdotool(const QStringList& arguments)
{
    return RunAlongside(u"xdotool"_qs, arguments);
}

bool TestDesktopEndToEnd::ClickOnScreen(QWidget* widget, QPoint pos)
{
    const QPoint at = m_frame->mapFromGlobal(widget->mapToGlobal(pos));
    return Xdotool({u"mousemove"_qs, u"--window"_qs, WindowId(), QString::number(at.x()),
                    QString::number(at.y()), u"click"_qs, u"1"_qs});
}

QImage TestDesktopEndToEnd::FrameOnScreen() const
{
    QTest::qWait(300); // lets the last paint reach the server
    const QPoint origin = m_frame->mapToGlobal(QPoint());
    return ScreenShot().copy(QRect(origin, m_frame->size()));
}

void TestDesktopEndToEnd::minimiseAndRestoreWithAWindowManager()
{
    QCOMPARE(QGuiApplication::platformName(), u"xcb"_qs);
    ConnectTo(DeviceEnv("IP"));

    // Minimize on a configuration page, then restore from the "taskbar": the window manager
    // activates the window again. The page must be the one the user left.
    ToStep(Skin::IPAddress, G_pIPAddrDlg);
    const QImage before = FrameOnScreen();
    QVERIFY(ClickOnScreen(G_pIPAddrDlg->MinimizeButton(), QPoint(9, 9)));
    QVERIFY(WaitFor([this] { return m_frame->isMinimized(); }, 5000));
    QVERIFY(Xdotool({u"windowactivate"_qs, WindowId()}));
    QVERIFY(WaitFor([this] { return !m_frame->isMinimized(); }, 5000));
    const QImage after = FrameOnScreen();
    Save(before, u"x11_ipaddress_before_minimise"_qs);
    Save(after, u"x11_ipaddress_restored"_qs);
    QVERIFY(G_pIPAddrDlg->isVisible() && !G_pSummaryDlg->isVisible());
    const double same = Matches(after, {}, before);
    QVERIFY2(same > 0.99, qPrintable(QString::number(same)));

    // The same during a reboot's wait: the wait and its dialog go on, and the Locate page still
    // comes back when the wait is over.
    ToStep(Skin::Reset, G_pSaveDlg);
    QVERIFY(G_pSaveDlg->RebootRadio()->isChecked());
    QElapsedTimer clock;
    qint64 shownAt = -1, goneAt = -1;
    QTimer poll;
    connect(&poll, &QTimer::timeout, this, [&] {
        const bool up = G_pProgress && G_pProgress->isVisible();
        if (up && shownAt < 0)
            shownAt = clock.elapsed();
        if (!up && shownAt >= 0 && goneAt < 0)
            goneAt = clock.elapsed();
    });
    bool minimised = false, restored = false, pageKept = false, waitKept = false;
    double dialogInPlace = 0;
    QTimer::singleShot(0, this, [&] {
        if (!WaitFor([&] { return shownAt >= 0; }, 10'000))
            return;
        QTest::qWait(2000);
        minimised = Xdotool({u"windowminimize"_qs, WindowId()}) &&
                    WaitFor([this] { return m_frame->isMinimized(); }, 5000);
        // At least one of the wait's 4 s ticks passes while the window is away.
        QTest::qWait(4500);
        restored = Xdotool({u"windowactivate"_qs, WindowId()}) &&
                   WaitFor([this] { return !m_frame->isMinimized(); }, 5000);
        const QImage screen = FrameOnScreen();
        Save(screen, u"x11_rebooting_restored"_qs);
        pageKept = G_pSaveDlg->isVisible() && G_pTarnDlg->isVisible();
        waitKept = G_pProgress->isVisible() &&
                   G_pSaveDlg->Timers()->IsRunning(CTarn_SaveDlg::kRebootTimer);
        dialogInPlace =
            Matches(screen, kDialogOffset, Rgb(G_pProgress->grab().toImage()), kAnimation);
    });
    clock.start();
    poll.start(5);
    QTest::mouseClick(G_pSaveDlg->ApplyButton(), Qt::LeftButton);
    QVERIFY(WaitFor([] { return G_pSearchDlg->isVisible(); }, kRebootWaitMs + 30'000));
    QTest::qWait(50);
    QVERIFY(minimised && restored);
    QVERIFY(pageKept);
    QVERIFY(waitKept);
    QVERIFY2(dialogInPlace > 0.98, qPrintable(QString::number(dialogInPlace)));
    const qint64 waited = goneAt - shownAt;
    qInfo("Rebooting.... stood %lld ms", waited);
    QVERIFY2(waited > kRebootWaitMs - 1000 && waited < kRebootWaitMs + 2500,
             qPrintable(QString::number(waited)));

    // Close, pressed for real, ends the program.
    QVERIFY(WaitFor([] { return !Scanning(); }, 10'000));
    QVERIFY(ClickOnScreen(G_pSearchDlg, QPoint(685, 15)));
    QVERIFY(WaitFor([this] { return !m_frame->isVisible(); }, 5000));
}

namespace
{

QByteArray ReadLogFile()
{
    QFile file(QDir::home().filePath(u"breviklog.txt"_qs));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The address the wizard adds in the device's subnet, while it is on the PC.
bool TemporaryAddressPresent()
{
    const QString device = DeviceEnv("IP");
    const QString prefix = device.left(device.lastIndexOf(u'.') + 1);
    return Run(u"ip"_qs, {u"-4"_qs, u"-o"_qs, u"addr"_qs, u"show"_qs})
        .contains((u"inet "_qs + prefix + u"24"_qs).toLatin1());
}

} // namespace

bool TestDesktopEndToEnd::StartWizard(QProcess& wizard, QString& window)
{
    wizard.setProcessChannelMode(QProcess::ForwardedChannels);
    wizard.start(QStringLiteral(KELDA_WIZARD), {});
    if (!wizard.waitForStarted(5000))
        return false;
    QProcess search;
    search.start(u"xdotool"_qs, {u"search"_qs, u"--sync"_qs, u"--onlyvisible"_qs, u"--pid"_qs,
                                 QString::number(wizard.processId())});
    if (!search.waitForFinished(15'000))
        return false;
    window = QString::fromLatin1(search.readAllStandardOutput()).split(u'\n').value(0).trimmed();
    return !window.isEmpty();
}

bool TestDesktopEndToEnd::ClickConnect(const QString& window)
{
    // Pressed until it takes: it is enabled once the scan has listed the device.
    return WaitFor(
        [&] {
            Xdotool({u"mousemove"_qs, u"--window"_qs, window, u"635"_qs, u"462"_qs, u"click"_qs,
                     u"1"_qs});
            return ReadLogFile().contains("G_mstrUserName=");
        },
        20'000, 500);
}

bool TestDesktopEndToEnd::CloseWithAltF4(QProcess& wizard, const QString& window)
{
    // Sent as the keyboard would: the window manager's binding, not an event to the client.
    if (!Xdotool({u"windowactivate"_qs, u"--sync"_qs, window}))
        return false;
    QElapsedTimer clock;
    clock.start();
    if (!Xdotool({u"key"_qs, u"alt+F4"_qs}))
        return false;
    const bool ended = WaitFor([&] { return wizard.state() == QProcess::NotRunning; }, 10'000);
    qInfo("ended %lld ms after Alt+F4: %s, status %d", clock.elapsed(),
          wizard.exitStatus() == QProcess::NormalExit ? "normally" : "crashed", wizard.exitCode());
    return ended && wizard.exitStatus() == QProcess::NormalExit && wizard.exitCode() == 0;
}

// Alt+F4 is how many people leave a program, whatever it shows. The process must end with all it
// set up on the PC, over "Loading...." and over a message alike, and a new start must work.
void TestDesktopEndToEnd::closedByTheWindowManager()
{
    QCOMPARE(QGuiApplication::platformName(), u"xcb"_qs);
    QCOMPARE(Env("KELDA_NETNS_TOPOLOGY"), u"other"_qs);
    const struct {
        const char* fault;
        const char* shown; // what the log holds once the window shows it
    } cases[] = {{"slow", "strID=LANINFO"}, {"reset", "dwResult=6"}};
    for (const auto& c : cases) {
        QVERIFY(Control({u"fault"_qs, QString::fromLatin1(c.fault)}));
        QFile::remove(QDir::home().filePath(u"breviklog.txt"_qs));
        QProcess wizard;
        QString window;
        QVERIFY(StartWizard(wizard, window));
        QVERIFY(ClickConnect(window));
        QVERIFY2(
            WaitFor([&] { return TemporaryAddressPresent() && ReadLogFile().contains(c.shown); },
                    40'000, 100),
            c.fault);
        QTest::qWait(300); // the message (or "Loading....") is on the screen now
        Save(ScreenShot(), u"x11_before_alt_f4_"_qs + QString::fromLatin1(c.fault));
        QVERIFY2(CloseWithAltF4(wizard, window), c.fault);
        QVERIFY2(!TemporaryAddressPresent(), c.fault);
        QVERIFY(ReadLogFile().contains("Window closed: closing"));
    }
    // Nothing of the last run stands in the way of the next.
    QVERIFY(Control({u"fault"_qs, u"none"_qs}));
    QProcess again;
    QString window;
    QVERIFY(StartWizard(again, window));
    QVERIFY(CloseWithAltF4(again, window));
}

void TestDesktopEndToEnd::dialogsInPlaceOnWayland()
{
    QCOMPARE(QGuiApplication::platformName(), u"wayland"_qs);
    // "Loading...." as the compositor shows it, once the first status page is in.
    QImage loadingScreen, loadingFrame, loadingDialog;
    QTimer look;
    connect(&look, &QTimer::timeout, this, [&] {
        if (!loadingScreen.isNull() || !G_pProgress || !G_pProgress->isVisible() ||
            G_pProgress->CurrentBitmap() != CTarn_Progress::FrameBitmap(3))
            return;
        look.stop();
        QTest::qWait(200);
        loadingFrame = Rgb(m_frame->grab().toImage());
        loadingDialog = Rgb(G_pProgress->grab().toImage());
        loadingScreen = ScreenShot();
    });
    look.start(5);
    ConnectTo(DeviceEnv("IP"));
    QVERIFY(!loadingScreen.isNull());
    Save(loadingScreen, u"wayland_loading"_qs);
    const QPoint window = FindWindow(loadingScreen, loadingFrame);
    QVERIFY(window.x() >= 0);
    const double loadingInPlace =
        Matches(loadingScreen, window + kDialogOffset, loadingDialog, kAnimation);
    QVERIFY2(loadingInPlace > 0.98, qPrintable(QString::number(loadingInPlace)));

    // A message: an address the IP Address page refuses.
    ToStep(Skin::IPAddress, G_pIPAddrDlg);
    G_pIPAddrDlg->AddressEntry()->SetText(u"0.0.0.0"_qs);
    QImage messageScreen, messageFrame, messageDialog;
    QString messageText;
    QTimer::singleShot(0, this, [&] {
        if (!WaitFor([] { return G_pMessageDlg->isVisible(); }, 5000))
            return;
        QTest::qWait(200);
        messageText = G_pMessageDlg->m_strMessage;
        messageFrame = Rgb(m_frame->grab().toImage());
        messageDialog = Rgb(G_pMessageDlg->grab().toImage());
        messageScreen = ScreenShot();
        QTest::mouseClick(G_pMessageDlg->OkButton(), Qt::LeftButton, {}, QPoint(40, 15));
    });
    QTest::mouseClick(G_pIPAddrDlg->ApplyButton(), Qt::LeftButton);
    QVERIFY(!messageScreen.isNull());
    qInfo("message: %s", qPrintable(messageText));
    Save(messageScreen, u"wayland_message"_qs);
    const QPoint windowNow = FindWindow(messageScreen, messageFrame);
    QVERIFY(windowNow.x() >= 0);
    const double messageInPlace = Matches(messageScreen, windowNow + kDialogOffset, messageDialog);
    QVERIFY2(messageInPlace > 0.98, qPrintable(QString::number(messageInPlace)));

    // Minimize takes the window off the screen; Close ends the program's run.
    const QImage page = Rgb(m_frame->grab().toImage());
    QTest::mouseClick(G_pIPAddrDlg->MinimizeButton(), Qt::LeftButton, {}, QPoint(9, 9));
    QVERIFY(WaitFor([&] { return FindWindow(ScreenShot(), page).x() < 0; }, 10'000, 200));
    QTimer::singleShot(0, this, [] {
        QTest::mouseClick(G_pIPAddrDlg->CloseButton(), Qt::LeftButton, {}, QPoint(9, 9));
    });
    QCOMPARE(m_frame->exec(), 0);
    QVERIFY(!m_frame->isVisible());
}

void TestDesktopEndToEnd::screenReaderReadsEveryText()
{
    if (qEnvironmentVariable("KELDA_E2E_ACCESSIBILITY") != u"1")
        QSKIP("no accessibility bus on this desktop");
    bool missing = false;
    auto read = [&](const QString& name) {
        const QList<ReaderObject> tree = ReadAsScreenReader(name, &missing);
        if (missing)
            qInfo("pyatspi is missing");
        return tree;
    };

    // The summary: each value a sighted user reads beside its label, the label pictured.
    ConnectTo(DeviceEnv("IP"));
    const QList<ReaderObject> summary = read(u"summary"_qs);
    if (missing)
        QSKIP("pyatspi is not installed");
    QVERIFY(!summary.isEmpty());
    const ReaderObject* page = FindObject(summary, [](const ReaderObject& o) {
        return o["name"] == QString::fromUtf16(PageText::kSummary.title);
    });
    QVERIFY(page);
    QCOMPARE((*page)["description"], QString::fromUtf16(PageText::kSummary.instructions[0]));
    const QStringList values = SummaryValues();
    QCOMPARE(values.size(), CTarn_SummaryDlg::kValueCount);
    for (int i = 0; i < CTarn_SummaryDlg::kValueCount; ++i) {
        const QString label = QString::fromUtf16(PageText::kSummaryLabels[size_t(i)]);
        if (i == 4)
            continue; // DHCP: the radios show it, and the reader reads them
        const ReaderObject* value = FindObject(summary, [&](const ReaderObject& o) {
            return o["description"] == label && o["name"] == values[i] && o["text"] == values[i] &&
                   o.Within(*page);
        });
        QVERIFY2(value, qPrintable(label + u": "_qs + values[i]));
    }
    QVERIFY(FindObject(summary, [&](const ReaderObject& o) {
        return o["name"] == DeviceEnv("IP") && o["description"] == u"IP Address"_qs;
    }));

    // A message: its text as an alert, its OK named, focused, and pressable by the reader.
    ToStep(Skin::IPAddress, G_pIPAddrDlg);
    G_pIPAddrDlg->AddressEntry()->SetText(u"0.0.0.0"_qs);
    QList<ReaderObject> message;
    QString messageText;
    QTimer::singleShot(0, this, [&] {
        if (!WaitFor([] { return G_pMessageDlg->isVisible(); }, 5000))
            return;
        messageText = G_pMessageDlg->m_strMessage;
        message = read(u"message"_qs);
        QTest::mouseClick(G_pMessageDlg->OkButton(), Qt::LeftButton, {}, QPoint(40, 15));
    });
    QTest::mouseClick(G_pIPAddrDlg->ApplyButton(), Qt::LeftButton);
    QVERIFY(!messageText.isEmpty());
    const ReaderObject* alert =
        FindObject(message, [](const ReaderObject& o) { return o["role"] == u"alert"; });
    QVERIFY(alert);
    QCOMPARE((*alert)["name"], messageText);
    const ReaderObject* ok = FindObject(message, [&](const ReaderObject& o) {
        return o["role"] == u"push button" && o.Within(*alert);
    });
    QVERIFY(ok);
    QCOMPARE((*ok)["name"], u"OK"_qs);
    QVERIFY(ok->Has("focused"));
    QVERIFY((*ok)["actions"].contains(u"Press"_qs));
    QVERIFY(FindObject(message, [&](const ReaderObject& o) {
        return o["text"] == messageText && o.Within(*alert);
    }));

    // The Locate page when the search found nothing: its instructions and the result.
    QVERIFY(Control({u"power-off"_qs}));
    const auto powerOn = qScopeGuard([] { Control({u"power-on"_qs}); });
    QTest::mouseClick(G_pIPAddrDlg->StepButton(Skin::Locate), Qt::LeftButton);
    QVERIFY(WaitFor([] { return G_pSearchDlg->isVisible() && !Scanning(); }, 10'000));
    QCOMPARE(G_pSearchDlg->m_strResult, u"Smart Repeater Not Found !"_qs);
    const QList<ReaderObject> locate = read(u"locate_not_found"_qs);
    const ReaderObject* locatePage = FindObject(locate, [](const ReaderObject& o) {
        return o["name"] == QString::fromUtf16(PageText::kLocate.title);
    });
    QVERIFY(locatePage);
    QVERIFY((*locatePage)["description"].contains(u"then click Scan."_qs));
    QVERIFY(FindObject(locate, [&](const ReaderObject& o) {
        return o["name"] == u"Smart Repeater Not Found !"_qs &&
               o["text"] == u"Smart Repeater Not Found !"_qs && o.Within(*locatePage);
    }));
}

void TestDesktopEndToEnd::secondStartRaisesTheWindow_data()
{
    QTest::addColumn<bool>("minimised");
    QTest::addColumn<bool>("fromLauncher");
    QTest::newRow("minimised, started from a terminal") << true << false;
    QTest::newRow("behind another program, started from the menu") << false << true;
}

void TestDesktopEndToEnd::secondStartRaisesTheWindow()
{
    QFETCH(bool, minimised);
    QFETCH(bool, fromLauncher);
    QCOMPARE(QGuiApplication::platformName(), u"xcb"_qs);
    // The lock and the socket main() sets up, here in the test's own runtime directory.
    CSingleInstance instance(u"Brevik Tarn Ostrel"_qs);
    QVERIFY(instance.IsFirst());
    QVERIFY(RaiseOnLaterStarts(instance, m_frame.get()));

    QProcess other;
    if (minimised) {
        QVERIFY(Xdotool({u"windowminimize"_qs, WindowId()}));
        QVERIFY(WaitFor([this] { return m_frame->isMinimized(); }, 5000));
    } else {
        // Another program's window over ours, and the user working in it.
        other.start(u"xmessage"_qs, {u"-geometry"_qs, u"900x700+0+0"_qs, u"another program"_qs});
        QVERIFY(other.waitForStarted(5000));
        QVERIFY(
            Xdotool({u"search"_qs, u"--sync"_qs, u"--onlyvisible"_qs, u"--class"_qs, u"Xmessage"_qs,
                     u"windowactivate"_qs, u"--sync"_qs, u"%1"_qs, u"mousemove"_qs, u"--window"_qs,
                     u"%1"_qs, u"40"_qs, u"40"_qs, u"click"_qs, u"1"_qs}));
        QVERIFY(WaitFor([this] { return !m_frame->isActiveWindow(); }, 5000));
    }
    const auto endOther = qScopeGuard([&] {
        other.kill();
        other.waitForFinished(2000);
    });

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"DESKTOP_STARTUP_ID"_qs);
    if (fromLauncher) {
        const quint32 now = XServerTime();
        QVERIFY(now != 0);
        environment.insert(u"DESKTOP_STARTUP_ID"_qs, u"kelda-e2e-launch_TIME%1"_qs.arg(now));
    }
    QProcess second;
    second.setProcessEnvironment(environment);
    QElapsedTimer clock;
    clock.start();
    second.start(QStringLiteral(KELDA_WIZARD), {});
    QVERIFY(second.waitForStarted(5000));
    QVERIFY(WaitFor([&] { return second.state() == QProcess::NotRunning; }, 10'000));
    qInfo("the second start ended after %lld ms", clock.elapsed());
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(second.readAllStandardOutput() + second.readAllStandardError(), QByteArray());

    // The window manager shows ours on top, with the focus.
    QVERIFY(WaitFor([this] { return m_frame->isActiveWindow() && !m_frame->isMinimized(); }, 5000));
    QVERIFY(WaitFor(
        [this] {
            return RootWindows("_NET_ACTIVE_WINDOW") == QStringList{HexId(m_frame->winId())};
        },
        5000));
    QVERIFY(WaitFor(
        [this] {
            return RootWindows("_NET_CLIENT_LIST_STACKING").endsWith(HexId(m_frame->winId()));
        },
        5000));
    QTest::qWait(300); // lets the last paint reach the server
    Save(ScreenShot(), minimised ? u"x11_raised_from_minimised"_qs : u"x11_raised_over_another"_qs);
}

int main(int argc, char* argv[])
{
    return RunWizardTest<TestDesktopEndToEnd>(argc, argv);
}

#include "desktop_e2e.moc"
