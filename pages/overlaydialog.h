#pragma once

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

class QEventLoop;

// A modal dialog drawn inside the program window rather than as a window of its own: a window
// system may not let a client place its windows (Wayland), and the dialogs must stand at a fixed
// place over the console. exec() runs a local event loop, so timers and socket notifications go
// on inside it, while input to every other widget of the window is held back.
//
// One run is shown at a time, program-wide. A run asked for while another is up waits its turn
// and is shown, with the text its caller set, once the earlier one ends; its exec() returns only
// after it has been shown and ended (or withdrawn by done() before its turn came).
class COverlayDialog : public QWidget
{
    Q_OBJECT
public:
    // `anchor` is what the dialog is placed over (the console); the dialog lives in the anchor's
    // window, so that it shows whichever page of that window is up.
    COverlayDialog(QWidget* anchor, QSize size);
    ~COverlayDialog() override;

    // Set by the caller before each run.
    QString m_strMessage;

    int exec();
    // Ends this dialog's run: the one shown, or else the oldest one still waiting.
    void done(int result);
    int result() const { return m_result; }

    // True while one of its runs is shown or waiting.
    bool IsRunning() const;
    // The dialog shown now, program-wide; null when none is.
    static COverlayDialog* ActiveDialog();

    // The program is closing: every run, shown or waiting, ends now, and every later exec()
    // returns at once. A caller whose run returns must check Closing() before it goes on.
    static void SetClosing(bool closing);
    static bool Closing();

    // One exec() call: shown, or waiting for its turn.
    struct Run;

protected:
    QWidget* Anchor() const { return m_anchor; }
    // Tab stays among the dialog's own controls while it is up.
    bool focusNextPrevChild(bool next) override;
    // Where the dialog's top-left corner stands in the anchor.
    virtual QPoint OffsetInAnchor() const = 0;
    // Called as a run comes to be shown, with m_strMessage holding that run's text.
    virtual void OnRunShown() {}

private:
    static void ShowNextRun();
    void Present(Run* run);
    void Finish(Run* run, int result);

    QPointer<QWidget> m_anchor;
    QPointer<QWidget> m_focusBefore;
    int m_result = 0;
};
