#include "pages/ipaddrdlg.h"

#include "controls/ctlbutton.h"
#include "controls/ipaddressedit.h"
#include "controls/xhtmlstatic.h"
#include "pages/configpages.h"
#include "pages/pageaccessible.h"
#include "platform/stringtable.h"
#include "platform/windowtimers.h"
#include "protocol/commands.h"
#include "protocol/statusvalues.h"
#include "rules/addressrules.h"

#include <QButtonGroup>
#include <QPointer>
#include <QPushButton>

namespace
{

constexpr PageSkin kSkin = {134, 1126, 1010, 1011, 1188, 1189, Skin::IPAddress};

constexpr int kAutoIPRect = 510;
constexpr int kStaticIPRect = 511;
constexpr int kAddressRect = 512;
constexpr int kMaskRect = 513;
constexpr int kApplyRect = 235;
constexpr int kAutoIPArea = 516;
constexpr int kStaticIPArea = 517;

struct LanSlot {
    int controlId;
    int rectId;
    const QString* value;
};
const LanSlot kLanSlots[] = {
    {CTarn_IPAddrDlg::kLanAddress, 196, &G_mstrLanIPAddress},
    {CTarn_IPAddrDlg::kLanMask, 197, &G_mstrLanSubnetMask},
    {CTarn_IPAddrDlg::kDHCPState, 198, &G_mstrDHCPServer},
};
constexpr int kDHCPIndex = 2;

constexpr COLORREF kRadioBackground = MakeColorRef(255, 255, 255);

CCTLButton* MakeRadio(QWidget* page, int controlId, QButtonGroup* group)
{
    auto* radio = new CCTLButton(page);
    radio->setObjectName(QString::number(controlId));
    group->addButton(radio);
    return radio;
}

CIPAddressEdit* MakeEntry(QWidget* page, int controlId)
{
    auto* entry = new CIPAddressEdit(page);
    entry->setObjectName(QString::number(controlId));
    // Until the first showing picks Static IP.
    entry->setEnabled(false);
    return entry;
}

AddressRules::Fields FieldsOf(const CIPAddressEdit* entry)
{
    return {entry->Field(0), entry->Field(1), entry->Field(2), entry->Field(3)};
}

} // namespace

CTarn_IPAddrDlg::CTarn_IPAddrDlg(QWidget* parent) : CSkinnedPage(parent, kSkin)
{
    setObjectName(u"CTarn_IPAddrDlg"_qs);
    m_timers = new CWindowTimers(this);

    // Two radio pairs on one page: each needs its own group.
    auto* addressing = new QButtonGroup(this);
    m_pAutoIP = MakeRadio(this, kAutoIP, addressing);
    m_pStaticIP = MakeRadio(this, kStaticIP, addressing);
    connect(m_pAutoIP, &CCTLButton::clicked, this, &CTarn_IPAddrDlg::EnableEntries);
    connect(m_pStaticIP, &CCTLButton::clicked, this, &CTarn_IPAddrDlg::EnableEntries);

    m_pAddress = MakeEntry(this, kAddress);
    m_pMask = MakeEntry(this, kMask);

    m_pApply = new QPushButton(u"Apply"_qs, this);
    m_pApply->setObjectName(QString::number(kApply));
    m_pApply->setAutoDefault(false);
    connect(m_pApply, &QPushButton::clicked, this, &CTarn_IPAddrDlg::OnApply);

    for (size_t i = 0; i < m_lanTexts.size(); ++i) {
        auto* text = new CXHTMLStatic(this);
        text->setObjectName(QString::number(kLanSlots[i].controlId));
        text->SetTransparent(true);
        text->SetTextColor(MakeColorRef(0, 0, 0));
        text->setAccessibleDescription(QString::fromUtf16(PageText::kLanLabels[i]));
        m_lanTexts[i] = text;
    }
    // Display only: they show the device's DHCP server state and take no clicks.
    auto* dhcp = new QButtonGroup(this);
    m_pDHCPEnable = MakeRadio(this, kDHCPEnable, dhcp);
    m_pDHCPDisable = MakeRadio(this, kDHCPDisable, dhcp);

    // The words beside the boxes are part of the picture.
    m_pAutoIP->setAccessibleName(u"Auto IP"_qs);
    m_pStaticIP->setAccessibleName(u"Static IP"_qs);
    m_pAddress->SetAccessibleName(u"New IP Address"_qs);
    m_pMask->SetAccessibleName(u"New Subnet Mask"_qs);
    m_pDHCPEnable->setAccessibleName(u"DHCP Server Enable"_qs);
    m_pDHCPDisable->setAccessibleName(u"DHCP Server Disable"_qs);
    PageAccessibility::DescribePage(this, PageText::kIPAddress);
    // As the page reads: address, mask, then how the address is kept.
    SetContentTabOrder({m_pAddress, m_pMask, m_pAutoIP, m_pStaticIP, m_pApply});

    OnInitDialog();
    new CLabelAreaWatcher(
        this, [this](QPoint pos) { return OnSetCursor(pos); },
        [this](QPoint pos) { OnMouseActivate(pos); });
}

CXHTMLStatic* CTarn_IPAddrDlg::LanText(int controlId) const
{
    for (size_t i = 0; i < m_lanTexts.size(); ++i) {
        if (kLanSlots[i].controlId == controlId)
            return m_lanTexts[i];
    }
    return nullptr;
}

void CTarn_IPAddrDlg::LayoutControls()
{
    CSkinnedPage::LayoutControls();
    Skin::PlaceControl(m_pAutoIP, kAutoIPRect);
    Skin::PlaceControl(m_pStaticIP, kStaticIPRect);
    Skin::PlaceControl(m_pAddress, kAddressRect);
    Skin::PlaceControl(m_pMask, kMaskRect);
    Skin::PlaceControl(m_pApply, kApplyRect);
    for (size_t i = 0; i < m_lanTexts.size(); ++i)
        Skin::PlaceControl(m_lanTexts[i], kLanSlots[i].rectId);

    for (CCTLButton* radio : {m_pAutoIP, m_pStaticIP}) {
        radio->SetBackgroundColor(kRadioBackground);
        radio->ClearCaption();
    }
    m_areas = LabelAreas::SplitIPAddressAreas(
        LabelArea::FromString(kAutoIPArea), LabelArea::FromString(kStaticIPArea), m_pStaticIP->x());

    // What the user typed last time is not kept.
    m_pAddress->SetText(u"0.0.0.0");
    m_pMask->SetText(u"255.255.255.0");

    for (CXHTMLStatic* text : m_lanTexts) {
        text->Reset();
        text->SetWindowText(QString());
        text->RedrawNow();
    }
    m_lanTexts[kDHCPIndex]->hide();

    Skin::PlaceDHCPRadios(kLanSlots[kDHCPIndex].rectId, m_pDHCPEnable, m_pDHCPDisable);
}

void CTarn_IPAddrDlg::OnPageShown()
{
    ShowLanValues();
    // Only the first showing finds neither checked; later ones keep the user's choice.
    if (!m_pAutoIP->isChecked() && !m_pStaticIP->isChecked()) {
        m_pStaticIP->setChecked(true);
        EnableEntries();
    }
}

void CTarn_IPAddrDlg::OnPageHidden()
{
    ConfigPages::StopWait(m_timers, kRebootTimer);
}

void CTarn_IPAddrDlg::ShowLanValues()
{
    for (size_t i = 0; i < m_lanTexts.size(); ++i) {
        CXHTMLStatic* text = m_lanTexts[i];
        text->Reset();
        text->SetWindowText(ConfigPages::DeviceText(*kLanSlots[i].value));
        text->RedrawNow();
    }
    m_lanTexts[kDHCPIndex]->hide();

    // The shared value itself is upper-cased, as the summary page does.
    G_mstrDHCPServer = G_mstrDHCPServer.toUpper();
    const bool enabled = G_mstrDHCPServer == u"ENABLE";
    CCTLButton* shown = enabled ? m_pDHCPEnable : m_pDHCPDisable;
    CCTLButton* other = enabled ? m_pDHCPDisable : m_pDHCPEnable;
    // In an exclusive group checking one unchecks the other.
    shown->setChecked(true);
    shown->setEnabled(true);
    other->setEnabled(false);
}

void CTarn_IPAddrDlg::EnableEntries()
{
    m_pAddress->setEnabled(true);
    m_pMask->setEnabled(true);
}

bool CTarn_IPAddrDlg::OnSetCursor(QPoint pos)
{
    return LabelAreas::IPChoiceAt(m_areas, pos) != LabelAreas::IPChoice::None;
}

void CTarn_IPAddrDlg::OnMouseActivate(QPoint pos)
{
    // A press on a radio box itself goes on to the box's own click afterwards.
    switch (LabelAreas::IPChoiceAt(m_areas, pos)) {
    case LabelAreas::IPChoice::AutoIP:
        m_pAutoIP->setChecked(true);
        EnableEntries();
        break;
    case LabelAreas::IPChoice::StaticIP:
        m_pStaticIP->setChecked(true);
        EnableEntries();
        break;
    case LabelAreas::IPChoice::None:
        break;
    }
}

void CTarn_IPAddrDlg::OnApply()
{
    const QString address = m_pAddress->Text();
    const QString mask = m_pMask->Text();
    const AddressRules::Verdict verdict =
        AddressRules::CheckLanSettings(FieldsOf(m_pAddress), FieldsOf(m_pMask));
    if (!verdict.Accepted()) {
        const QPointer<CTarn_IPAddrDlg> self(this);
        if (!ConfigPages::ShowMessage(verdict.messageId) || !self)
            return;
        switch (verdict.focus) {
        case AddressRules::Focus::AddressFirstField:
            m_pAddress->SetFieldFocus(0);
            break;
        case AddressRules::Focus::AddressFourthField:
            m_pAddress->SetFieldFocus(3);
            break;
        case AddressRules::Focus::MaskFirstField:
            m_pMask->SetFieldFocus(0);
            break;
        case AddressRules::Focus::None:
            break;
        }
        return;
    }
    const QString dhcp = m_pAutoIP->isChecked() ? u"2"_qs : u"0"_qs;
    QueueSetupIPAddress(address, mask, dhcp, QString());
    // Until the device has answered.
    m_pApply->setEnabled(false);
}

void CTarn_IPAddrDlg::OnSetupIPAddressResult()
{
    m_pApply->setEnabled(true);
    StartRebootWait();
}

void CTarn_IPAddrDlg::StartRebootWait()
{
    m_timers->SetTimer(kRebootTimer, kRebootPeriodMs, [this](unsigned id) { OnTimer(id); });
    m_nRebootTicks = 0;
    QueueReboot(QString(), QString());
    ConfigPages::RunProgress(u"Rebooting...."_qs);
}

void CTarn_IPAddrDlg::OnTimer(unsigned)
{
    ConfigPages::WaitTick(m_nRebootTicks, kRebootLastTick, m_timers, kRebootTimer);
}
