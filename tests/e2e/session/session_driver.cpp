// Drives the real web session (queue, pump, route preparation, the Linux netconfig and its
// helper) against the simulated repeater, from inside the PC namespace of scripts/netns.
// Prints one JSON object per line: state changes of the head command, results, the end.
//
//   session_driver [--ip IP] [--mask MASK] [--get PATH]... [--upload FILE]
//                  [--helper PATH | --no-helper] [--lifetime SECONDS] [--hold] [--out DIR]
//
// --hold keeps the route after the last result (prints "holding") until a stop signal.

#include "platform/netconfig.h"
#include "platform/windowtimers.h"
#include "session/base64.h"
#include "session/shutdownsignals.h"
#include "session/webmanager.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {

QElapsedTimer g_clock;

void Emit(QJsonObject object)
{
    object.insert(u"t"_qs, double(g_clock.elapsed()) / 1000.0);
    std::printf("%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);
}

QString Env(const char* name, const QString& fallback = QString())
{
    const QByteArray value = qgetenv(name);
    return value.isEmpty() ? fallback : QString::fromLocal8Bit(value);
}

QString Headers(const QString& ip, const QString& auth)
{
    return u"Host: %1\r\nConnection: Keep-Alive\r\nAuthorization: Basic %2\r\n\r\n"_qs.arg(ip, auth);
}

QString GetRequest(const QString& path, const QString& ip, const QString& auth)
{
    return u"GET %1 HTTP/1.1\r\nAccept: */*\r\n"_qs.arg(path) + Headers(ip, auth);
}

// Without the file, which goes in at fileOffset.
QString UploadRequest(qint64 fileSize, const QString& ip, const QString& auth,
                      qsizetype& fileOffset)
{
    const QString boundary = u"---------------------------7d9222c1903be"_qs;
    const QString before =
        u"--"_qs + boundary + u"\r\n"_qs +
        u"Content-Disposition: form-data; name=\"binary\"; filename=\"c:\\1.bin\"\r\n"_qs +
        u"Content-Type: text/plain\r\n\r\n"_qs;
    const QString after = u"\r\n--"_qs + boundary + u"\r\nContent-Disposition: form-data; "_qs +
                          u"name=\"submit-url\"\r\n\r\n03_02_firmware_b.asp\r\n--"_qs + boundary +
                          u"--\r\n"_qs;
    const QString head =
        u"POST /goform/formUpload HTTP/1.1\r\nContent-Type: multipart/form-data; "_qs +
        u"boundary=%1\r\ncontent-Length: %2\r\n"_qs.arg(boundary).arg(before.size() + fileSize +
                                                                      after.size()) +
        Headers(ip, auth) + before;
    fileOffset = head.size();
    return head + after;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    g_clock.start();
    QString ip = Env("KELDA_DEV_IP");
    QString mask = Env("KELDA_DEV_MASK", u"255.255.255.0"_qs);
    QStringList gets;
    QString upload;
    QString helper;
    bool useHelperPath = false;
    bool hold = false;
    QString outDir;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const auto next = [&] { return i + 1 < args.size() ? args.at(++i) : QString(); };
        if (arg == u"--ip")
            ip = next();
        else if (arg == u"--mask")
            mask = next();
        else if (arg == u"--get")
            gets << next();
        else if (arg == u"--upload")
            upload = next();
        else if (arg == u"--helper")
            helper = next(), useHelperPath = true;
        else if (arg == u"--no-helper")
            helper.clear(), useHelperPath = true;
        else if (arg == u"--lifetime")
            SetAddressLifetimeForTest(next().toUInt());
        else if (arg == u"--hold")
            hold = true;
        else if (arg == u"--out")
            outDir = next();
        else {
            std::fprintf(stderr, "unknown argument %s\n", qPrintable(arg));
            return 2;
        }
    }
    const QString auth =
        EncodeBase64(Env("KELDA_DEV_USER", u"admin"_qs) + u':' + Env("KELDA_DEV_PASSWORD"));

    QObject frame;
    auto* timers = new CWindowTimers(&frame);
    CWEBManager* web = nullptr;
    CShutdownSignals* signals_ = nullptr;
    if (useHelperPath) {
        web = new CWEBManager(&frame, CreateSystemNetConfig(helper));
        signals_ = new CShutdownSignals(
            [web](int) {
                web->ReleaseRoute();
                QCoreApplication::exit(0);
            },
            &frame);
    } else {
        web = new CWEBManager(&frame);
    }
    G_pWEBManager = web;
    Emit({{u"event"_qs, u"started"_qs}, {u"pid"_qs, qint64(::getpid())}});

    QStringList requests;
    for (const QString& path : gets) {
        requests << GetRequest(path, ip, auth);
        web->AddCommand(u"GET"_qs, requests.last(), ip, mask);
    }
    if (!upload.isEmpty()) {
        const qint64 size = QFileInfo(upload).size();
        qsizetype fileOffset = -1;
        const QString request = UploadRequest(size, ip, auth, fileOffset);
        web->AddCommand(u"UPLOAD"_qs, request, ip, mask, upload, fileOffset, size);
        // For the check: a question mark where each byte of the file goes.
        requests << request.left(fileOffset) + QString(size, u'?') + request.mid(fileOffset);
    }
    if (!outDir.isEmpty()) {
        QDir().mkpath(outDir);
        for (int n = 0; n < requests.size(); ++n) {
            QFile file(outDir + u"/request-%1.txt"_qs.arg(n));
            if (file.open(QIODevice::WriteOnly))
                file.write(requests.at(n).toLatin1());
        }
    }

    const int expected = int(requests.size());
    int results = 0;
    QString lastHead;
    qint32 lastState = -1;
    timers->SetTimer(CWEBManager::kQueueTimer, 800, PumpQueue);
    // The console's result timer, and a watch on the head's state for the checks.
    timers->SetTimer(1, 200, [&](unsigned) {
        if (!G_mWebQueue.isEmpty()) {
            const _STRU_WEB_DATA& head = G_mWebQueue.first();
            const QString id = head.strID + QString::number(expected - G_mWebQueue.size());
            if (id != lastHead || head.dwResult != lastState) {
                lastHead = id;
                lastState = head.dwResult;
                Emit({{u"event"_qs, u"state"_qs}, {u"index"_qs, expected - G_mWebQueue.size()},
                      {u"state"_qs, head.dwResult}, {u"queued"_qs, G_mWebQueue.size()}});
            }
        }
        qint32 result = 0;
        QString data;
        for (QString id = web->TakeResult(0, result, data); !id.isEmpty();
             id = web->TakeResult(0, result, data)) {
            if (!outDir.isEmpty()) {
                QFile file(outDir + u"/response-%1.txt"_qs.arg(results));
                if (file.open(QIODevice::WriteOnly))
                    file.write(data.toLatin1());
            }
            Emit({{u"event"_qs, u"result"_qs}, {u"index"_qs, results}, {u"id"_qs, id},
                  {u"result"_qs, result}, {u"length"_qs, data.size()},
                  {u"head"_qs, data.left(200)}, {u"local_ip"_qs, G_mstrLocalIP},
                  {u"adapter"_qs, web->Adapter().name}});
            ++results;
        }
        if (results == expected && !hold) {
            timers->KillTimer(1);
            QTimer::singleShot(0, &app, [] { QCoreApplication::exit(0); });
        } else if (results == expected && hold) {
            timers->KillTimer(1);
            Emit({{u"event"_qs, u"holding"_qs}});
        }
    });
    const int code = app.exec();
    timers->KillTimer(CWEBManager::kQueueTimer);
    delete signals_;
    web->ReleaseRoute();
    delete web;
    G_pWEBManager = nullptr;
    Emit({{u"event"_qs, u"done"_qs}, {u"results"_qs, results}});
    return code;
}
