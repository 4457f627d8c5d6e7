#include "pages/modedlg.h"

#include "app/ostreldlg.h"
#include "console/tarndlg.h"
#include "controls/xhtmlstatic.h"
#include "pages/configpages.h"
#include "pages/pageaccessible.h"
#include "platform/windowtimers.h"
#include "protocol/commands.h"
#include "protocol/statusvalues.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace
{

constexpr PageSkin kSkin = {136, 1147, 1028, 1180, 1190, 1191, Skin::Firmware};

constexpr int kFileEditRect = 230;
constexpr int kBrowseRect = 231;
constexpr int kApplyRect = 232;
constexpr int kVersionRect = 199;

constexpr int kNoFileMessage = 204;
constexpr int kInvalidFileMessage = 254;
constexpr int kNoAnswerMessage = 139;

// What the device's page says when it refuses the file.
constexpr char16_t kRefusal[] = u"Invalid file format!";

QPushButton* MakeButton(QWidget* page, int controlId, const QString& text)
{
    auto* button = new QPushButton(text, page);
    button->setObjectName(QString::number(controlId));
    button->setAutoDefault(false);
    return button;
}

} // namespace

CTarn_ModeDlg::CTarn_ModeDlg(QWidget* parent) : CSkinnedPage(parent, kSkin)
{
    setObjectName(u"CTarn_ModeDlg"_qs);
    m_timers = new CWindowTimers(this);

    m_pFileEdit = new QLineEdit(this);
    m_pFileEdit->setObjectName(QString::number(kFileEdit));
    m_pBrowse = MakeButton(this, kBrowse, u"Browse"_qs);
    connect(m_pBrowse, &QPushButton::clicked, this, &CTarn_ModeDlg::OnBrowse);
    m_pApply = MakeButton(this, kApply, u"Apply"_qs);
    connect(m_pApply, &QPushButton::clicked, this, &CTarn_ModeDlg::OnApply);

    m_pVersion = new CXHTMLStatic(this);
    m_pVersion->setObjectName(QString::number(kVersionText));
    m_pVersion->SetTransparent(true);
    m_pVersion->SetTextColor(MakeColorRef(0, 0, 0));

    m_pFileEdit->setAccessibleName(u"Firmware file"_qs);
    m_pVersion->setAccessibleDescription(QString::fromUtf16(PageText::kFirmwareVersion));
    PageAccessibility::DescribePage(this, PageText::kFirmware);
    SetContentTabOrder({m_pFileEdit, m_pBrowse, m_pApply});

    OnInitDialog();
}

void CTarn_ModeDlg::LayoutControls()
{
    CSkinnedPage::LayoutControls();
    // The file edit keeps its path: a user who comes back finds it still chosen.
    Skin::PlaceControl(m_pFileEdit, kFileEditRect);
    Skin::PlaceControl(m_pBrowse, kBrowseRect);
    Skin::PlaceControl(m_pApply, kApplyRect);
    Skin::PlaceControl(m_pVersion, kVersionRect);
}

void CTarn_ModeDlg::OnPageShown()
{
    m_pVersion->Reset();
    m_pVersion->SetWindowText(ConfigPages::DeviceText(G_mstrFirmwareVersion));
    m_pVersion->RedrawNow();
}

void CTarn_ModeDlg::OnPageHidden()
{
    ConfigPages::StopWait(m_timers, kUpgradeTimer);
}

void CTarn_ModeDlg::OnBrowse()
{
    const QString path =
        QFileDialog::getOpenFileName(this, QString(), QString(), QString::fromUtf16(kFileFilter));
    if (!path.isEmpty())
        m_pFileEdit->setText(path);
}

void CTarn_ModeDlg::Refuse(int stringId)
{
    const QPointer<CTarn_ModeDlg> self(this);
    if (ConfigPages::ShowMessage(stringId) && self)
        m_pFileEdit->clear();
}

void CTarn_ModeDlg::OnApply()
{
    const QString path = m_pFileEdit->text();
    if (path.isEmpty()) {
        Refuse(kNoFileMessage);
        return;
    }
    // The page only makes sure the file can be read; the upload reads it when it is sent.
    if (FirmwareFileSize(path) < 0) {
        Refuse(kInvalidFileMessage);
        return;
    }
    QueueUpload(QString(), QString(), path);
    // Until the device has answered.
    m_pApply->setEnabled(false);
}

void CTarn_ModeDlg::OnUploadResult(const QString& response, bool accepted)
{
    m_pApply->setEnabled(true);
    if (!accepted) {
        // No connection, a time-out, an answer cut short or one of another kind: whatever the
        // device got, it did not say it took the image.
        Refuse(kNoAnswerMessage);
        return;
    }
    if (response.contains(kRefusal)) {
        Refuse(kInvalidFileMessage);
        return;
    }
    if (!StartUpgradeWait())
        return;
    if (G_pMainDlg)
        G_pMainDlg->ShowLocatePage();
    else if (G_pTarnDlg)
        G_pTarnDlg->hide();
}

bool CTarn_ModeDlg::StartUpgradeWait()
{
    m_timers->SetTimer(kUpgradeTimer, kUpgradePeriodMs, [this](unsigned id) { OnTimer(id); });
    m_nRebootTicks = 0;
    QueueReboot(QString(), QString());
    return ConfigPages::RunProgress(u"Upgrading...."_qs);
}

void CTarn_ModeDlg::OnTimer(unsigned)
{
    ConfigPages::WaitTick(m_nRebootTicks, kUpgradeLastTick, m_timers, kUpgradeTimer);
}
