#pragma once

// A live console with its pages, offscreen, whose builders queue into a list instead of the
// network (unless told otherwise), and whose message dialogs are answered at once and noted.
#include "console/tarndlg.h"
#include "pages/messagedlg.h"
#include "pages/progressdlg.h"
#include "protocol/commands.h"
#include "protocol/statusvalues.h"
#include "session/sessionvalues.h"
#include "session/webmanager.h"

#include <QDir>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

struct Queued {
    QString strID;
    QString strData;
    QString strFileName;
    qsizetype fileOffset = -1;
    qint64 fileSize = -1;
};

class CConfigFixture : public QObject
{
public:
    // With `queueForTest`, the builders' commands go to `queued` and never to the session.
    void Init(bool queueForTest = true)
    {
        G_mWebQueue.clear();
        G_mWebDone.clear();
        G_pWEBManager = new CWEBManager(nullptr);
        G_mstrAuthorization = u"YWRtaW46czNjcmV0"_qs;
        G_mstrPassword = u"s3cret"_qs;
        ClearStatusValues();
        queued.clear();
        if (queueForTest)
            SetAddCommandForTest([this](const QString& strID, const QString& strData,
                                        const QString&, const QString&, const QString& strFileName,
                                        qsizetype fileOffset, qint64 fileSize) {
                queued.append({strID, strData, strFileName, fileOffset, fileSize});
            });
        console = std::make_unique<CTarnDlg>(nullptr);
        G_pTarnDlg = console.get();
        console->SetDevice(u"192.168.77.10"_qs, u"255.255.255.0"_qs);
        console->show();
        messages.clear();
        m_messageWatch.setInterval(10);
        connect(&m_messageWatch, &QTimer::timeout, this, [this] {
            if (G_pMessageDlg && G_pMessageDlg->isVisible()) {
                messages.append(G_pMessageDlg->m_strMessage);
                G_pMessageDlg->done(1);
            }
        });
        m_messageWatch.start();
    }

    void Cleanup()
    {
        m_messageWatch.stop();
        m_messageWatch.disconnect();
        SetAddCommandForTest({});
        G_pTarnDlg = nullptr;
        console.reset();
        delete G_pWEBManager;
        G_pWEBManager = nullptr;
        G_mWebQueue.clear();
        G_mWebDone.clear();
    }

    QStringList Commands() const
    {
        QStringList ids;
        for (const Queued& q : queued)
            ids.append(q.strID);
        return ids;
    }

    // The body of the last request: what follows the header block.
    QString LastBody() const
    {
        return queued.isEmpty() ? QString() : queued.last().strData.section(u"\r\n\r\n"_qs, 1);
    }

    // A finished command handed to the console's result timer.
    void Finish(const QString& strID, qint32 dwResult, const QString& response)
    {
        _STRU_WEB_DATA record;
        record.strID = strID;
        record.dwResult = dwResult;
        record.strData = response;
        record.dwConsole = console->ConsoleId();
        G_mWebDone.append(record);
        console->OnResultTimer();
    }

    // What a timed wait showed: run `start` (which runs the progress dialog modally) while
    // `tick` plays the wait's timer, at most `maxTicks` times.
    struct Wait {
        bool timerRunning = false;
        QString text;
        QStringList queuedAtStart;
        QList<int> bitmaps;
    };
    Wait PlayWait(const std::function<void()>& start, const std::function<bool()>& timerRunning,
                  const std::function<void()>& tick, int maxTicks = 12)
    {
        Wait wait;
        QTimer::singleShot(0, this, [&] {
            wait.timerRunning = timerRunning();
            wait.text = G_pProgress->m_strMessage;
            wait.queuedAtStart = Commands();
            wait.bitmaps.append(G_pProgress->CurrentBitmap());
            for (int i = 0; i < maxTicks && G_pProgress->isVisible(); ++i) {
                tick();
                wait.bitmaps.append(G_pProgress->CurrentBitmap());
            }
            // Never leave a test blocked behind a wait that did not end.
            if (G_pProgress->isVisible())
                G_pProgress->done(99);
        });
        start();
        return wait;
    }

    // A press with the left button at `pos` of `page`, delivered to whichever control is there.
    static void PressAt(QWidget* page, QPoint pos)
    {
        QWidget* target = page->childAt(pos);
        if (!target)
            target = page;
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(page, pos));
    }

    // The cursor shape after the mouse moved to `pos` over the page's own surface.
    static Qt::CursorShape CursorAt(QWidget* page, QPoint pos)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(pos), page->mapToGlobal(QPointF(pos)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(page, &move);
        return page->cursor().shape();
    }

    std::unique_ptr<CTarnDlg> console;
    QList<Queued> queued;
    QStringList messages;

private:
    QTimer m_messageWatch;
};

// The bitmaps of a whole wait: frame 0 at the start, then 1 to 10, then 0 on the 11th tick.
inline const QList<int> kWholeWaitBitmaps = {172, 173, 174, 175, 176, 177,
                                             178, 179, 180, 181, 171, 172};
