#include "pages/savedlg.h"

#include "controls/ctlbutton.h"
#include "pages/configpages.h"
#include "pages/pageaccessible.h"
#include "platform/windowtimers.h"
#include "protocol/commands.h"

#include <QButtonGroup>
#include <QPushButton>

namespace
{

constexpr PageSkin kSkin = {138, 1154, 1038, 1182, 1194, 1195, Skin::Reset};

constexpr int kRebootRect = 194;
constexpr int kFactoryResetRect = 195;
constexpr int kApplyRect = 233;
constexpr int kRebootArea = 561;
constexpr int kFactoryResetArea = 562;

constexpr COLORREF kRadioBackground = MakeColorRef(255, 255, 255);

CCTLButton* MakeRadio(QWidget* page, int controlId, QButtonGroup* group)
{
    auto* radio = new CCTLButton(page);
    radio->setObjectName(QString::number(controlId));
    radio->SetBackgroundColor(kRadioBackground);
    group->addButton(radio);
    return radio;
}

} // namespace

CTarn_SaveDlg::CTarn_SaveDlg(QWidget* parent) : CSkinnedPage(parent, kSkin)
{
    setObjectName(u"CTarn_SaveDlg"_qs);
    m_timers = new CWindowTimers(this);
    auto* choice = new QButtonGroup(this);
    m_pReboot = MakeRadio(this, kReboot, choice);
    m_pFactoryReset = MakeRadio(this, kFactoryReset, choice);
    m_pApply = new QPushButton(u"Apply"_qs, this);
    m_pApply->setObjectName(QString::number(kApply));
    m_pApply->setAutoDefault(false);
    connect(m_pApply, &QPushButton::clicked, this, &CTarn_SaveDlg::OnApply);

    m_pReboot->setAccessibleName(u"Reboot"_qs);
    m_pFactoryReset->setAccessibleName(u"Factory Reset"_qs);
    PageAccessibility::DescribePage(this, PageText::kReset);
    SetContentTabOrder({m_pReboot, m_pFactoryReset, m_pApply});

    OnInitDialog();
    new CLabelAreaWatcher(
        this, [this](QPoint pos) { return OnSetCursor(pos); },
        [this](QPoint pos) { OnMouseActivate(pos); });
}

void CTarn_SaveDlg::LayoutControls()
{
    CSkinnedPage::LayoutControls();
    // Every showing starts from "Reboot": a factory reset is never left chosen by accident.
    m_pReboot->ClearCaption();
    Skin::PlaceControl(m_pReboot, kRebootRect);
    m_pReboot->setChecked(true);
    m_pFactoryReset->ClearCaption();
    Skin::PlaceControl(m_pFactoryReset, kFactoryResetRect);
    Skin::PlaceControl(m_pApply, kApplyRect);
    m_rebootArea = LabelArea::FromString(kRebootArea);
    m_factoryResetArea = LabelArea::FromString(kFactoryResetArea);
}

void CTarn_SaveDlg::OnPageHidden()
{
    ConfigPages::StopWait(m_timers, kRebootTimer);
}

bool CTarn_SaveDlg::OnSetCursor(QPoint pos) const
{
    return m_rebootArea.Contains(pos) || m_factoryResetArea.Contains(pos);
}

void CTarn_SaveDlg::OnMouseActivate(QPoint pos)
{
    const bool reboot = LabelAreas::RebootCheckedAfterPress(m_rebootArea, m_factoryResetArea, pos,
                                                            m_pReboot->isChecked());
    // In an exclusive group checking one unchecks the other.
    (reboot ? m_pReboot : m_pFactoryReset)->setChecked(true);
}

void CTarn_SaveDlg::OnApply()
{
    if (!m_pReboot->isChecked())
        QueueResetDefault(QString(), QString());
    // Apply stays enabled: the modal wait keeps it from being pressed again.
    StartRebootWait();
}

void CTarn_SaveDlg::StartRebootWait()
{
    m_timers->SetTimer(kRebootTimer, kRebootPeriodMs, [this](unsigned id) { OnTimer(id); });
    m_nRebootTicks = 0;
    QueueReboot(QString(), QString());
    ConfigPages::RunProgress(u"Rebooting...."_qs);
}

void CTarn_SaveDlg::OnTimer(unsigned id)
{
    if (id == kRebootTimer)
        ConfigPages::WaitTick(m_nRebootTicks, kRebootLastTick, m_timers, kRebootTimer,
                              Navigation());
}
