// Drives discovery the way the Locate page does, for the end-to-end checks: one command a line
// on standard input, one JSON line an answer on standard output.
//   scan       queue a job, answer when the queue has run empty
//   list       the found-device list as it is now
//   wait MS    let the event loop run for MS milliseconds
//   quit
#include "discovery/discoveryqueue.h"
#include "discovery/udpmanager.h"
#include "platform/tickcount.h"
#include "platform/windowtimers.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The wizard's socket broadcasts: this program runs only in a namespace of the test network, that
// is one that differs from PID 1's or, where PID 1 is out of sight, one that "ip netns" named.
bool InTestNetworkNamespace()
{
    struct stat own{}, other{};
    if (stat("/proc/self/ns/net", &own) != 0)
        return false;
    if (stat("/proc/1/ns/net", &other) == 0)
        return own.st_ino != other.st_ino || own.st_dev != other.st_dev;
    const QStringList names = QDir(u"/run/netns"_qs).entryList(QDir::Files | QDir::System);
    for (const QString& name : names) {
        const QByteArray path = QFile::encodeName(u"/run/netns/"_qs + name);
        if (stat(path.constData(), &other) == 0 && own.st_ino == other.st_ino &&
            own.st_dev == other.st_dev)
            return true;
    }
    return false;
}

QJsonArray Devices()
{
    QJsonArray devices;
    for (const _STRU_AP_INFO& device : G_mAPList) {
        devices.append(QJsonObject{{u"model"_qs, device.strModel},
                                   {u"mac"_qs, device.strMAC},
                                   {u"ip"_qs, device.strIP},
                                   {u"subnet"_qs, device.strSubnet},
                                   {u"user"_qs, device.strUserName},
                                   {u"password"_qs, device.strPassword}});
    }
    return devices;
}

void Answer(QJsonObject answer)
{
    answer.insert(u"state"_qs, G_pUDPManager->State());
    answer.insert(u"open"_qs, G_pUDPManager->IsOpen());
    answer.insert(u"devices"_qs, Devices());
    const QByteArray line = QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n';
    std::fwrite(line.constData(), 1, line.size(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (!InTestNetworkNamespace()) {
        std::fputs("discovery_driver: refusing to broadcast in the machine's own network\n",
                   stderr);
        return 2;
    }
    QCoreApplication app(argc, argv);
    CWindowTimers timers;
    G_pUDPManager = new CUDPManager(1, nullptr, &timers);
    timers.SetTimer(CUDPManager::kDiscoveryTimer, 300, DiscoveryTimerProc);

    QTimer scanWatch;
    scanWatch.setInterval(20);
    std::uint32_t scanStart = 0;
    int scans = 0;
    QObject::connect(&scanWatch, &QTimer::timeout, &app, [&] {
        if (!G_mUDPQueue.isEmpty())
            return;
        scanWatch.stop();
        Answer({{u"scan"_qs, scans}, {u"ms"_qs, qint64(GetTickCount() - scanStart)}});
    });

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            app.quit();
            return;
        }
        pending.append(buffer, got);
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QList<QByteArray> words = pending.left(end).trimmed().split(' ');
            pending.remove(0, end + 1);
            const QByteArray& command = words.first();
            if (command == "scan") {
                ++scans;
                scanStart = GetTickCount();
                QueueDiscovery(u"1"_qs);
                scanWatch.start();
            } else if (command == "list") {
                Answer({});
            } else if (command == "wait" && words.size() == 2) {
                const int ms = words[1].toInt();
                QTimer::singleShot(ms, &app, [ms] { Answer({{u"waited"_qs, ms}}); });
            } else if (command == "quit") {
                app.quit();
            } else {
                Answer({{u"error"_qs, QString::fromLatin1(command)}});
            }
        }
    });
    const int status = app.exec();
    delete G_pUDPManager;
    G_pUDPManager = nullptr;
    return status;
}
