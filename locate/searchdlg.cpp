#include "locate/searchdlg.h"

#include "app/ostreldlg.h"
#include "console/tarndlg.h"
#include "controls/dialogservices.h"
#include "controls/ptbutton.h"
#include "controls/ptlabel.h"
#include "discovery/discoveryqueue.h"
#include "discovery/udpmanager.h"
#include "locate/devicelist.h"
#include "pages/pageaccessible.h"
#include "pages/progressdlg.h"
#include "pages/summarydlg.h"
#include "platform/codepage.h"
#include "platform/diaglog.h"
#include "platform/stringtable.h"
#include "platform/windowtimers.h"
#include "protocol/commands.h"
#include "protocol/statusvalues.h"
#include "session/base64.h"
#include "session/sessionvalues.h"

#include <QPainter>
#include <QPushButton>
#include <QShowEvent>

CSearchDlg* G_pSearchDlg = nullptr;

namespace
{

constexpr int kBackground = 133;
constexpr int kListRect = 505;
constexpr int kScanRect = 190;
constexpr int kConnectRect = 191;
constexpr int kInterfaceRole = Qt::UserRole + 1;
constexpr int kResultRect = 507;

constexpr int kSearching = 110;
constexpr int kOneFound = 111;
constexpr int kManyFound = 112;
constexpr int kNoneFound = 113;

QString WithoutLineBreaks(QString text)
{
    text.remove(u'\r');
    text.remove(u'\n');
    return text;
}

} // namespace

CSearchDlg::CSearchDlg(QWidget* parent) : QWidget(parent)
{
    setObjectName(u"CSearchDlg"_qs);
    setAttribute(Qt::WA_OpaquePaintEvent);
    MakeProgramDialog(this, true);
    m_timers = new CWindowTimers(this);

    m_list = new CDeviceList(this);
    m_list->setObjectName(QString::number(kDeviceList));
    connect(m_list, &CDeviceList::listClicked, this, &CSearchDlg::OnListClick);
    // Keys move the selection too; Connect follows it however it changes.
    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &CSearchDlg::OnListClick);

    m_resultLabel = new CPTLabel(this);
    m_resultLabel->setObjectName(QString::number(kResultLabel));

    for (int step = 0; step < Skin::kStepCount; ++step) {
        // The steps only show where the user is; there is no device to go to yet.
        auto* button = new CPTButton(this, kFirstStep + step);
        button->setObjectName(QString::number(kFirstStep + step));
        // Nothing to press here: Tab passes them by, a screen reader still reads them.
        button->setFocusPolicy(Qt::NoFocus);
        m_steps[size_t(step)] = button;
    }
    m_scan = new QPushButton(u"Scan"_qs, this);
    m_scan->setObjectName(QString::number(kScan));
    m_scan->setAutoDefault(false);
    connect(m_scan, &QPushButton::clicked, this, &CSearchDlg::OnScan);
    m_connect = new QPushButton(u"Connect"_qs, this);
    m_connect->setObjectName(QString::number(kConnect));
    m_connect->setAutoDefault(false);
    connect(m_connect, &QPushButton::clicked, this, &CSearchDlg::OnConnect);

    m_close = new CPTButton(this, kClose);
    m_close->setObjectName(QString::number(kClose));
    connect(m_close, &CPTButton::clicked, this, [] {
        if (G_pMainDlg)
            G_pMainDlg->CloseWizard();
    });
    m_minimize = new CPTButton(this, kMinimize);
    m_minimize->setObjectName(QString::number(kMinimize));
    connect(m_minimize, &CPTButton::clicked, this, [] {
        if (G_pMainDlg)
            G_pMainDlg->MinimizeWizard();
    });

    m_list->setAccessibleName(u"Smart Repeaters on your network"_qs);
    PageAccessibility::DescribePage(this, PageText::kLocate);
    Skin::NameSkinButtons(m_steps, Skin::Locate, m_minimize, m_close);
    Skin::SetTabOrder({m_scan, m_list, m_connect}, m_steps, m_minimize, m_close);

    OnInitDialog();
}

void CSearchDlg::OnInitDialog()
{
    m_background.LoadId(kBackground);

    Skin::PlaceControl(m_minimize, Skin::kMinimize.rectId);
    m_minimize->SetPictures(Skin::kMinimize.normal, Skin::kMinimize.hover,
                            Skin::kMinimize.disabled);
    Skin::PlaceControl(m_close, Skin::kClose.rectId);
    m_close->SetPictures(Skin::kClose.normal, Skin::kClose.hover, Skin::kClose.disabled);
    Skin::PlaceControl(m_list, kListRect);
    Skin::PlaceControl(m_scan, kScanRect);
    Skin::PlaceControl(m_connect, kConnectRect);
    Skin::PlaceControl(m_resultLabel, kResultRect);
    m_resultLabel->SetColors(0, 0, 0, 0, 0);
    m_resultRect = m_resultLabel->geometry();
    for (int step = 0; step < Skin::kStepCount; ++step) {
        CPTButton* button = m_steps[size_t(step)];
        const Skin::StepLook& look = Skin::kSteps[size_t(step)];
        Skin::PlaceControl(button, look.rectId);
        const int picture = step == Skin::Locate ? look.ownPicture : look.otherPicture;
        button->SetPictures(picture, picture, picture);
        button->setEnabled(step == Skin::Locate);
    }

    m_list->MakeColumns();
}

void CSearchDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_background.Draw(painter))
        painter.fillRect(rect(), Qt::white);
}

void CSearchDlg::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Restoring the minimized window is no new visit of the page.
    if (!event->spontaneous())
        OnScan();
}

void CSearchDlg::SetResult(const QString& text)
{
    m_strResult = text;
    m_resultLabel->SetText(m_strResult);
    update(m_resultRect);
}

void CSearchDlg::OnScan()
{
    SetResult(LoadString(kSearching));
    m_connect->setEnabled(false);
    QueueDiscovery(u"1"_qs);
    // Only answers to this scan's queries count: what waited before is from an older one.
    if (G_pUDPManager)
        G_pUDPManager->DiscardWaitingReplies();
    m_timers->SetTimer(kAnimationTimer, kAnimationPeriodMs, [this](unsigned) { OnTimer(); });
    m_scan->setEnabled(false);
    m_list->clear();
}

void CSearchDlg::OnTimer()
{
    SetResult(m_resultLabel->Text() + u".."_qs);
    if (!G_mUDPQueue.isEmpty())
        return;
    m_timers->KillTimer(kAnimationTimer);
    FillList();
}

void CSearchDlg::FillList()
{
    for (const _STRU_AP_INFO& device : G_mAPList) {
        m_list->AddDevice({device.strModel, device.strMAC, device.strIP, device.strSubnet,
                           device.strUserName, device.strPassword});
        m_list->topLevelItem(m_list->topLevelItemCount() - 1)
            ->setData(CDeviceList::Model, kInterfaceRole, device.dwInterfaceIndex);
    }
    const int count = m_list->topLevelItemCount();
    SetResult(ResultText(count));
    if (count > 0) {
        m_list->setCurrentItem(m_list->topLevelItem(0));
        m_list->topLevelItem(0)->setSelected(true);
        m_list->setFocus();
        m_connect->setEnabled(true);
    } else {
        m_connect->setEnabled(false);
    }
    m_scan->setEnabled(true);
}

QString CSearchDlg::ResultText(int deviceCount)
{
    if (deviceCount == 0)
        return LoadString(kNoneFound);
    if (deviceCount == 1)
        return LoadString(kOneFound);
    return QString::number(deviceCount) + u' ' + LoadString(kManyFound);
}

void CSearchDlg::OnListClick()
{
    m_connect->setEnabled(!m_list->selectedItems().isEmpty());
}

bool CSearchDlg::GetSelectedDevice(_STRU_AP_INFO& device) const
{
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty())
        return false;
    const QTreeWidgetItem* row = selected.first();
    device.strModel = WithoutLineBreaks(row->text(CDeviceList::Model));
    device.strMAC = WithoutLineBreaks(row->text(CDeviceList::MACAddress));
    device.strIP = WithoutLineBreaks(row->text(CDeviceList::IPAddress));
    device.strSubnet = WithoutLineBreaks(row->text(CDeviceList::SubnetMask));
    device.strUserName = WithoutLineBreaks(row->text(CDeviceList::UserName));
    device.strPassword = WithoutLineBreaks(row->text(CDeviceList::Password));
    device.dwInterfaceIndex = row->data(CDeviceList::Model, kInterfaceRole).toUInt();
    return true;
}

QByteArray CSearchDlg::LoginLogLine(const QString& user, const QString& password,
                                    const QString& ipAddress, const QString& macAddress)
{
    const QString line =
        u"G_mstrUserName=%1 G_mstrPassword=%2 G_mstrIPAddress=%3 G_mstrMACAddress=%4"_qs.arg(
            user, password, ipAddress, macAddress);
    return ToAnsi(line).left(kLoginLogLimit);
}

void CSearchDlg::OnConnect()
{
    _STRU_AP_INFO device;
    if (!GetSelectedDevice(device))
        return;
    G_mstrUserName = device.strUserName;
    G_mstrPassword = device.strPassword;
    G_mstrIPAddress = device.strIP;
    G_mstrMACAddress = device.strMAC;
    G_mdwInterfaceIndex = device.dwInterfaceIndex;
    WriteLog(LoginLogLine(G_mstrUserName, G_mstrPassword, G_mstrIPAddress, G_mstrMACAddress));
    G_mstrAuthorization = EncodeBase64(G_mstrUserName + u':' + G_mstrPassword);

    // Emptied before the console opens: its summary page shows at once, under the progress
    // dialog, and must not show the previous device's values meanwhile.
    ClearStatusValues();
    if (!G_pMainDlg || !G_pMainDlg->OpenConsole(device.strModel, device.strIP, device.strSubnet))
        return;
    // Every connection starts with the LAN page; the console chains the other two.
    QueueLanInfo({}, {});

    if (G_pProgress) {
        G_pProgress->m_strMessage = u"Loading...."_qs;
        // The web queue and the console's result timer run inside; the console ends it.
        G_pProgress->exec();
    }
    if (G_pSummaryDlg && !COverlayDialog::Closing())
        G_pSummaryDlg->FillSummary();
}
