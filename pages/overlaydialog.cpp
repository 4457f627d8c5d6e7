#include "pages/overlaydialog.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QList>

struct COverlayDialog::Run {
    QPointer<COverlayDialog> dialog;
    QString message;
    QEventLoop* loop = nullptr;
    bool ended = false;
    int result = 0;
};

namespace
{

QList<COverlayDialog::Run*>& Waiting()
{
    static QList<COverlayDialog::Run*> waiting;
    return waiting;
}

COverlayDialog::Run* g_shown = nullptr;
COverlayDialog* g_shownDialog = nullptr;
bool g_closing = false;

// Holds back the user's input to every widget of the dialog's window but the dialog itself, as a
// modal window would; timers, sockets and painting go on.
class CInputHold : public QObject
{
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!g_shownDialog || !IsInput(event->type()) || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == g_shownDialog || g_shownDialog->isAncestorOf(widget))
            return false;
        return widget->window() == g_shownDialog->window();
    }

private:
    static bool IsInput(QEvent::Type type)
    {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Enter:
        case QEvent::Leave:
        case QEvent::HoverEnter:
        case QEvent::HoverLeave:
        case QEvent::HoverMove:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::TabletMove:
            return true;
        default:
            return false;
        }
    }
};

// Installed with the first run and left in place: it lets everything through while no dialog
// is shown, and is never removed from inside an event it is filtering.
void HoldInput()
{
    static QPointer<CInputHold> hold;
    if (!hold && qApp) {
        hold = new CInputHold(qApp);
        qApp->installEventFilter(hold);
    }
}

void EndRun(COverlayDialog::Run* run, int result)
{
    run->ended = true;
    run->result = result;
    if (run->loop)
        run->loop->quit();
}

} // namespace

COverlayDialog::COverlayDialog(QWidget* anchor, QSize size)
    : QWidget(anchor ? anchor->window() : nullptr), m_anchor(anchor)
{
    setFixedSize(size);
    setFocusPolicy(Qt::StrongFocus);
    hide();
}

COverlayDialog::~COverlayDialog()
{
    // Whoever waits in exec() for a run of this dialog gets it back, ended.
    QList<Run*>& waiting = Waiting();
    for (qsizetype i = waiting.size() - 1; i >= 0; --i) {
        if (waiting[i]->dialog == this)
            EndRun(waiting.takeAt(i), m_result);
    }
    if (g_shownDialog == this) {
        Run* run = g_shown;
        g_shown = nullptr;
        g_shownDialog = nullptr;
        EndRun(run, m_result);
        ShowNextRun();
    }
}

int COverlayDialog::exec()
{
    if (g_closing)
        return 0;
    Run run;
    run.dialog = this;
    // The text is this run's even when it has to wait: a later caller sets its own.
    run.message = m_strMessage;
    Waiting().append(&run);
    ShowNextRun();
    QEventLoop loop;
    if (!run.ended) {
        run.loop = &loop;
        loop.exec(QEventLoop::DialogExec);
        run.loop = nullptr;
    }
    if (!run.ended) {
        // The application quit, which ends every event loop: the run must not stay listed.
        Waiting().removeOne(&run);
        if (g_shown == &run) {
            g_shown = nullptr;
            g_shownDialog = nullptr;
        }
    }
    // `this` may be gone by now (its owner deleted it inside the loop).
    return run.result;
}

void COverlayDialog::done(int result)
{
    m_result = result;
    if (g_shownDialog == this) {
        Finish(g_shown, result);
        return;
    }
    // A run ended before its turn came is never shown: nothing would end it afterwards.
    QList<Run*>& waiting = Waiting();
    for (qsizetype i = 0; i < waiting.size(); ++i) {
        if (waiting[i]->dialog == this) {
            EndRun(waiting.takeAt(i), result);
            return;
        }
    }
}

bool COverlayDialog::IsRunning() const
{
    if (g_shownDialog == this)
        return true;
    for (const Run* run : Waiting()) {
        if (run->dialog == this)
            return true;
    }
    return false;
}

COverlayDialog* COverlayDialog::ActiveDialog()
{
    return g_shownDialog;
}

void COverlayDialog::SetClosing(bool closing)
{
    g_closing = closing;
    if (!closing)
        return;
    if (COverlayDialog* shown = g_shownDialog) {
        Run* run = g_shown;
        g_shown = nullptr;
        g_shownDialog = nullptr;
        shown->hide();
        EndRun(run, 0);
    }
    QList<Run*>& waiting = Waiting();
    while (!waiting.isEmpty())
        EndRun(waiting.takeFirst(), 0);
}

bool COverlayDialog::Closing()
{
    return g_closing;
}

bool COverlayDialog::focusNextPrevChild(bool next)
{
    const bool moved = QWidget::focusNextPrevChild(next);
    QWidget* focus = QApplication::focusWidget();
    if (focus != this && !isAncestorOf(focus))
        setFocus(Qt::TabFocusReason);
    return moved;
}

void COverlayDialog::ShowNextRun()
{
    QList<Run*>& waiting = Waiting();
    while (!g_shown && !waiting.isEmpty()) {
        Run* run = waiting.takeFirst();
        if (run->dialog)
            run->dialog->Present(run);
        else
            EndRun(run, 0);
    }
}

void COverlayDialog::Present(Run* run)
{
    g_shown = run;
    g_shownDialog = this;
    m_strMessage = run->message;
    // Placed anew for every run: the anchor may have moved in its window since the last one.
    if (QWidget* parent = parentWidget()) {
        const QPoint offset = OffsetInAnchor();
        const bool inParent = m_anchor && (m_anchor == parent || parent->isAncestorOf(m_anchor));
        move(inParent ? m_anchor->mapTo(parent, offset) : offset);
    }
    QWidget* focus = QApplication::focusWidget();
    m_focusBefore = focus && focus->window() == window() ? focus : nullptr;
    HoldInput();
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
    OnRunShown();
}

void COverlayDialog::Finish(Run* run, int result)
{
    g_shown = nullptr;
    g_shownDialog = nullptr;
    hide();
    if (m_focusBefore && m_focusBefore->isVisible())
        m_focusBefore->setFocus(Qt::OtherFocusReason);
    m_focusBefore = nullptr;
    EndRun(run, result);
    ShowNextRun();
}
