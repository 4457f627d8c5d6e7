// Runs the console's loading chain against a real device, the way the Locate page's Connect
// does, and prints what came of it as JSON. Runs only inside the harness's PC namespace.
#include "app/ostreldlg.h"
#include "console/tarndlg.h"
#include "discovery/discoveryreply.h"
#include "pages/messagedlg.h"
#include "pages/progressdlg.h"
#include "platform/windowtimers.h"
#include "protocol/commands.h"
#include "protocol/statusvalues.h"
#include "session/base64.h"
#include "session/sessionvalues.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>

namespace
{

QString* const kValues[] = {&G_mstrLanMACAddress,    &G_mstrFirmwareVersion, &G_mstrLanIPAddress,
                            &G_mstrLanSubnetMask,    &G_mstrDHCPServer,      &G_mstrWirelessMode,
                            &G_mstrWirelessSecurity, &G_mstrWanIPAddress,    &G_mstrSSID,
                            &G_mstrWanSubnetMask,    &G_mstrGateway,         &G_mstrPrimaryDNS,
                            &G_mstrSecondaryDNS};
const char* const kNames[] = {"lan_mac", "firmware", "lan_ip", "lan_mask", "dhcp",
                              "mode",    "security", "wan_ip", "ssid",     "wan_mask",
                              "gateway", "dns1",     "dns2"};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{u"ip"_qs, u"device address"_qs, u"ip"_qs},
                       {u"mask"_qs, u"device subnet mask"_qs, u"mask"_qs},
                       {u"user"_qs, u"login name"_qs, u"user"_qs},
                       {u"password"_qs, u"login password"_qs, u"password"_qs},
                       {u"prefill"_qs, u"status values before the chain"_qs, u"text"_qs},
                       {u"repeater"_qs, u"then connect to SSID:CHANNEL:WPA2KEY"_qs, u"network"_qs},
                       {u"new-password"_qs, u"then change the password"_qs, u"password"_qs}});
    parser.process(app);

    COstrelDlg frame;
    frame.show();

    G_mstrUserName = parser.value(u"user"_qs);
    G_mstrPassword = parser.value(u"password"_qs);
    G_mstrIPAddress = parser.value(u"ip"_qs);
    G_mstrAuthorization = EncodeBase64(G_mstrUserName + u':' + G_mstrPassword);
    const QString ip = parser.value(u"ip"_qs);
    const QString mask = parser.value(u"mask"_qs);

    if (!frame.OpenConsole(QString::fromUtf16(kSupportedModel), ip, mask) || !G_pTarnDlg) {
        // Until the frame makes consoles itself, make one the way it will.
        auto* console = new CTarnDlg(&frame);
        G_pTarnDlg = console;
        console->SetDevice(ip, mask);
        console->show();
    }

    QueueLanInfo({}, {});
    for (QString* value : kValues)
        *value = parser.isSet(u"prefill"_qs) ? parser.value(u"prefill"_qs) : QString();

    QJsonArray bitmaps, messages;
    QTimer watch;
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, &app, [&] {
        const int bitmap = G_pProgress ? G_pProgress->CurrentBitmap() : 0;
        if (bitmap && (bitmaps.isEmpty() || bitmaps.last().toInt() != bitmap))
            bitmaps.append(bitmap);
        if (G_pMessageDlg && G_pMessageDlg->isVisible()) {
            messages.append(G_pMessageDlg->m_strMessage);
            G_pMessageDlg->done(1);
        }
    });
    watch.start();
    QTimer::singleShot(150'000, &app, [] {
        std::fputs("console_driver: no end after 150 s\n", stderr);
        std::exit(3);
    });

    QElapsedTimer elapsed;
    elapsed.start();
    G_pProgress->m_strMessage = u"Loading...."_qs;
    G_pProgress->exec();
    const qint64 loadMs = elapsed.elapsed();
    // The last picture is shown during a blocking pause, so the watch never sees it.
    if (const int last = G_pProgress ? G_pProgress->CurrentBitmap() : 0;
        last && (bitmaps.isEmpty() || bitmaps.last().toInt() != last))
        bitmaps.append(last);
    // The failure path shows its message after the progress dialog has gone.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    // Commands a page would send next, through the same console.
    QStringList sent;
    if (G_pTarnDlg && parser.isSet(u"repeater"_qs)) {
        const QStringList network = parser.value(u"repeater"_qs).split(u':');
        QueueRepeater(0, network.value(0), network.value(1), 2, 1, 0, network.value(2), 0, 0, {}, {}, {},
                      {});
        sent.append(u"REPEATER"_qs);
    }
    if (G_pTarnDlg && parser.isSet(u"new-password"_qs)) {
        QueueSetupPassword(G_mstrPassword, parser.value(u"new-password"_qs));
        sent.append(u"SETUPPASSWORD"_qs);
    }
    if (!sent.isEmpty()) {
        // The result timer stops on the first tick that finds nothing queued, after it has
        // handled what had finished.
        QElapsedTimer wait;
        wait.start();
        while (G_pTarnDlg->Timers()->IsRunning(CTarnDlg::kResultTimer) && wait.elapsed() < 90'000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    QJsonObject values;
    for (size_t i = 0; i < std::size(kValues); ++i)
        values.insert(QString::fromLatin1(kNames[i]), *kValues[i]);
    const QJsonObject result{
        {u"values"_qs, values},     {u"bitmaps"_qs, bitmaps},
        {u"messages"_qs, messages}, {u"console_visible"_qs, G_pTarnDlg && G_pTarnDlg->isVisible()},
        {u"load_ms"_qs, loadMs},    {u"sent"_qs, QJsonArray::fromStringList(sent)}};
    std::fputs(QJsonDocument(result).toJson(QJsonDocument::Compact).constData(), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
    // Leave through the frame, as the program does: it releases the route.
    delete G_pTarnDlg;
    G_pTarnDlg = nullptr;
    return 0;
}
