#include "pages/configpages.h"

#include "app/ostreldlg.h"
#include "console/tarndlg.h"
#include "pages/messagedlg.h"
#include "pages/progressdlg.h"
#include "platform/stringtable.h"
#include "platform/windowtimers.h"

#include <QMouseEvent>
#include <QWidget>

namespace ConfigPages
{

bool ShowMessage(int stringId)
{
    if (G_pMessageDlg) {
        G_pMessageDlg->m_strMessage = LoadString(stringId);
        G_pMessageDlg->exec();
    }
    return !COverlayDialog::Closing();
}

QString DeviceText(QString value)
{
    return value.replace(u'<', u"&lt;"_qs);
}

bool RunProgress(const QString& text)
{
    if (G_pProgress) {
        G_pProgress->m_strMessage = text;
        G_pProgress->exec();
    }
    return !COverlayDialog::Closing();
}

bool WaitTick(int& ticks, int lastTick, CWindowTimers* timers, unsigned timerId)
{
    ++ticks;
    if (G_pProgress)
        G_pProgress->SetFrame(ticks % kProgressFrames);
    if (ticks <= lastTick)
        return false;
    timers->KillTimer(timerId);
    if (G_pProgress)
        G_pProgress->done(0);
    // The device is back after its restart; the Locate page finds it again.
    if (G_pMainDlg)
        G_pMainDlg->ShowLocatePage();
    else if (G_pTarnDlg)
        G_pTarnDlg->hide();
    return true;
}

void StopWait(CWindowTimers* timers, unsigned timerId)
{
    if (!timers->IsRunning(timerId))
        return;
    timers->KillTimer(timerId);
    if (G_pProgress && G_pProgress->IsRunning())
        G_pProgress->done(0);
}

} // namespace ConfigPages

CLabelAreaWatcher::CLabelAreaWatcher(QWidget* page, HandTest hand, PressHandler press)
    : QObject(page), m_page(page), m_hand(std::move(hand)), m_press(std::move(press))
{
    page->setMouseTracking(true);
    page->installEventFilter(this);
    if (m_press) {
        for (QWidget* control : page->findChildren<QWidget*>())
            control->installEventFilter(this);
    }
}

bool CLabelAreaWatcher::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress &&
        type != QEvent::MouseButtonDblClick)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget)
        return false;
    const QPoint pos =
        widget->mapTo(m_page, static_cast<QMouseEvent*>(event)->position().toPoint());
    if (type == QEvent::MouseMove) {
        // Controls keep their own cursors; only the page's own surface changes here.
        if (widget == m_page) {
            if (m_hand(pos))
                m_page->setCursor(Qt::PointingHandCursor);
            else
                m_page->unsetCursor();
        }
        return false;
    }
    if (m_press)
        m_press(pos);
    return false;
}
