#pragma once

#include "pages/skinnedpage.h"

class CWindowTimers;
class CXHTMLStatic;
class QLineEdit;
class QPushButton;

// The "Firmware" step: the version the device reported, a firmware file to choose, and Apply,
// which uploads it. A file the device accepts is followed by its reboot and the upgrade wait.
class CTarn_ModeDlg : public CSkinnedPage
{
    Q_OBJECT
public:
    explicit CTarn_ModeDlg(QWidget* parent);

    static constexpr int kFileEdit = 1003;
    static constexpr int kBrowse = 1163;
    static constexpr int kApply = 1164;
    static constexpr int kVersionText = 1173;

    static constexpr unsigned kUpgradeTimer = 200;
    static constexpr int kUpgradePeriodMs = 12000;
    // The wait ends on the tick that takes the count past this.
    static constexpr int kUpgradeLastTick = 10;

    // The one filter of the file-open dialog. "*" and not "*.*": on Linux a firmware image often
    // has no dot in its name, and "*.*" would hide it.
    static constexpr char16_t kFileFilter[] = u"All File (*)";

    // The upload has ended; `response` is whatever the device answered, `accepted` whether it
    // came back whole with status 200.
    void OnUploadResult(const QString& response, bool accepted);

    void OnBrowse();
    void OnApply();
    // One tick of the upgrade wait.
    void OnTimer(unsigned id);

    QLineEdit* FileEdit() const { return m_pFileEdit; }
    QPushButton* BrowseButton() const { return m_pBrowse; }
    QPushButton* ApplyButton() const { return m_pApply; }
    CXHTMLStatic* VersionText() const { return m_pVersion; }
    CWindowTimers* Timers() const { return m_timers; }

    int m_nRebootTicks = 0;

protected:
    void LayoutControls() override;
    void OnPageShown() override;
    void OnPageHidden() override;

private:
    // False when the program closed during the wait.
    bool StartUpgradeWait();
    void Refuse(int stringId);

    QLineEdit* m_pFileEdit = nullptr;
    QPushButton* m_pBrowse = nullptr;
    QPushButton* m_pApply = nullptr;
    CXHTMLStatic* m_pVersion = nullptr;
    CWindowTimers* m_timers = nullptr;
};
