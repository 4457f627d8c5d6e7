#include "pages/summarydlg.h"

#include "console/tarndlg.h"
#include "controls/ctlbutton.h"
#include "controls/xhtmlstatic.h"
#include "pages/pageaccessible.h"
#include "platform/stringtable.h"
#include "protocol/statusvalues.h"

#include <QButtonGroup>

namespace
{

constexpr PageSkin kSkin = {140, 1119, 1046, 1183, 1187, 1186, Skin::Repeater};

struct ValueSlot {
    int rectId;
    const QString* value;
};
// In control order, 1126 to 1138.
const ValueSlot kValueSlots[CTarn_SummaryDlg::kValueCount] = {
    {200, &G_mstrLanMACAddress},    {242, &G_mstrFirmwareVersion}, {243, &G_mstrLanIPAddress},
    {244, &G_mstrLanSubnetMask},    {245, &G_mstrDHCPServer},      {246, &G_mstrWirelessMode},
    {247, &G_mstrWirelessSecurity}, {248, &G_mstrWanIPAddress},    {249, &G_mstrSSID},
    {250, &G_mstrWanSubnetMask},    {251, &G_mstrGateway},         {252, &G_mstrPrimaryDNS},
    {253, &G_mstrSecondaryDNS},
};
constexpr int kDHCPIndex = CTarn_SummaryDlg::kDHCPValue - CTarn_SummaryDlg::kFirstValue;

CCTLButton* MakeRadio(QWidget* page, int controlId, QButtonGroup* group)
{
    auto* radio = new CCTLButton(page);
    radio->setObjectName(QString::number(controlId));
    group->addButton(radio);
    return radio;
}

// Values come from the device: a network name holding tags must show as typed, never open a
// link. Entities stay, so that a name the device's page writes as "Caf&eacute;" still reads
// as it did.
QString WithoutTags(QString value)
{
    return value.replace(u'<', u"&lt;"_qs);
}

} // namespace

CTarn_SummaryDlg::CTarn_SummaryDlg(QWidget* parent) : CSkinnedPage(parent, kSkin)
{
    setObjectName(u"CTarn_SummaryDlg"_qs);
    for (int i = 0; i < kValueCount; ++i) {
        auto* value = new CXHTMLStatic(this);
        value->setObjectName(QString::number(kFirstValue + i));
        value->SetTransparent(true);
        value->SetTextColor(MakeColorRef(0, 0, 0));
        value->setAccessibleDescription(QString::fromUtf16(PageText::kSummaryLabels[size_t(i)]));
        m_values[size_t(i)] = value;
    }
    auto* dhcp = new QButtonGroup(this);
    m_enable = MakeRadio(this, kDHCPEnable, dhcp);
    m_disable = MakeRadio(this, kDHCPDisable, dhcp);
    m_enable->setAccessibleName(u"DHCP Enable"_qs);
    m_disable->setAccessibleName(u"DHCP Disable"_qs);
    PageAccessibility::DescribePage(this, PageText::kSummary);
    OnInitDialog();
}

CXHTMLStatic* CTarn_SummaryDlg::Value(int controlId) const
{
    const int index = controlId - kFirstValue;
    return index >= 0 && index < kValueCount ? m_values[size_t(index)] : nullptr;
}

void CTarn_SummaryDlg::LayoutControls()
{
    CSkinnedPage::LayoutControls();
    for (int i = 0; i < kValueCount; ++i) {
        CXHTMLStatic* value = m_values[size_t(i)];
        Skin::PlaceControl(value, kValueSlots[i].rectId);
        value->Reset();
        value->SetWindowText(QString());
        value->RedrawNow();
    }
    m_values[kDHCPIndex]->hide();

    Skin::PlaceDHCPRadios(kValueSlots[kDHCPIndex].rectId, m_enable, m_disable);
}

void CTarn_SummaryDlg::OnPageShown()
{
    FillSummary();
}

void CTarn_SummaryDlg::ShowValue(int index)
{
    CXHTMLStatic* value = m_values[size_t(index)];
    value->Reset();
    value->SetWindowText(WithoutTags(*kValueSlots[index].value));
    value->RedrawNow();
}

void CTarn_SummaryDlg::FillSummary()
{
    for (int i = 0; i <= kDHCPIndex; ++i)
        ShowValue(i);
    m_values[kDHCPIndex]->hide();

    // The shared value itself is upper-cased: the other pages read it that way afterwards.
    G_mstrDHCPServer = G_mstrDHCPServer.toUpper();
    const bool enabled = G_mstrDHCPServer == u"ENABLE";
    CCTLButton* shown = enabled ? m_enable : m_disable;
    CCTLButton* other = enabled ? m_disable : m_enable;
    shown->setChecked(true);
    shown->setEnabled(true);
    other->setEnabled(false);

    for (int i = kDHCPIndex + 1; i < kValueCount; ++i)
        ShowValue(i);
    if (G_pTarnDlg)
        G_pTarnDlg->repaint();
}
