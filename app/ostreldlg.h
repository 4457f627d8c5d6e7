#pragma once

#include <QDialog>
#include <QString>

class CWindowTimers;

// The frame: the program's only top-level window, borderless 700 x 500. It owns the
// program-wide objects and hosts the Locate page and the device console as children.
class COstrelDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kWidth = 700;
    static constexpr int kHeight = 500;
    static constexpr unsigned kDiscoveryTimer = 9997;
    static constexpr unsigned kQueueTimer = 9999;

    explicit COstrelDlg(QWidget* parent = nullptr);
    ~COstrelDlg() override;

    // Replaces the Locate page by a new console for the device; false when the model is not
    // ours or the console cannot be made (the program then ends).
    bool OpenConsole(const QString& model, const QString& ipAddress, const QString& subnetMask);
    void ShowLocatePage();
    void CloseWizard();
    void MinimizeWizard();

    // However the program is left (Close, the window manager, a signal), it ends the same way:
    // the window goes, every modal run ends, nothing more reaches the device, and the clean-up
    // follows once the frame's run has returned. `why` goes into the log's closing line.
    void EndProgram(const QString& why, int result = 0);
    bool Closing() const { return m_closing; }
    void done(int result) override;

    CWindowTimers* Timers() const { return m_timers; }

protected:
    void closeEvent(QCloseEvent* event) override;
    // The session manager's "die" at logout arrives as the application's quit.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnDestroy();

    CWindowTimers* m_timers = nullptr;
    bool m_closing = false;
    bool m_destroyed = false;
};

// The frame, while it lives.
extern COstrelDlg* G_pMainDlg;
