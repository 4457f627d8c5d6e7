#include "pages/surveydlg.h"

#include "app/ostreldlg.h"
#include "console/tarndlg.h"
#include "controls/gridrowdelegate.h"
#include "controls/xhtmlstatic.h"
#include "pages/messagedlg.h"
#include "pages/pageaccessible.h"
#include "pages/progressdlg.h"
#include "platform/stringtable.h"
#include "platform/windowtimers.h"
#include "protocol/commands.h"
#include "protocol/statusvalues.h"
#include "rules/surveykeys.h"
#include "rules/surveyparser.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

namespace
{

constexpr PageSkin kSkin = {141, 1140, 1178, 1184, 1196, 1197, Skin::Wireless};

constexpr int kListRect = 528;
constexpr int kScanRect = 530;
constexpr int kConnectRect = 192;
constexpr int kKeyEditRect = 229;
constexpr int kDefaultKeyRect = 540;

constexpr int kWepKeyLimit = 26;
constexpr int kPreSharedKeyLimit = 64;

// The row picture only gives the rows their height.
constexpr int kRowPicture = 250;
constexpr int kFallbackRowHeight = 20;

struct ValueSlot {
    int rectId;
    const QString* value;
};
// In control order, 1172 to 1177.
const ValueSlot kValueSlots[CTarn_SurveyDlg::kValueCount] = {
    {236, &G_mstrSSID},          {237, &G_mstrWirelessSecurity}, {238, &G_mstrWanIPAddress},
    {239, &G_mstrWanSubnetMask}, {240, &G_mstrGateway},          {241, &G_mstrPrimaryDNS},
};

// Report style without a header, one row per access point, grid lines, full-row selection.
class CSurveyList : public QTreeWidget
{
public:
    explicit CSurveyList(QWidget* parent) : QTreeWidget(parent)
    {
        CGridRowDelegate::SetUpList(this, kRowPicture, kFallbackRowHeight);
    }

    // For the list's present width: SSID 55 %, Encrypt 40 %, the rest carry values unseen.
    void MakeColumns()
    {
        setColumnCount(CTarn_SurveyDlg::kColumnCount);
        setHeaderLabels({LoadString(130), LoadString(129), LoadString(128), LoadString(131),
                         LoadString(132), LoadString(133), u"VALUE"_qs});
        header()->setStretchLastSection(false);
        header()->setMinimumSectionSize(0);
        const int width = this->width();
        const int widths[CTarn_SurveyDlg::kColumnCount] = {
            0, int(width * 0.55), 0, int(width * 0.4), 0, 0, 0};
        for (int column = 0; column < CTarn_SurveyDlg::kColumnCount; ++column) {
            header()->resizeSection(column, widths[column]);
            setColumnHidden(column, widths[column] == 0);
        }
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        // As in a list view: a press on no row leaves no row selected.
        if (!indexAt(event->position().toPoint()).isValid()) {
            clearSelection();
            setCurrentIndex(QModelIndex());
        }
        QTreeWidget::mousePressEvent(event);
    }
};

QTreeWidgetItem* SelectedRow(const QTreeWidget* list)
{
    const QList<QTreeWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

// Values come from the device: a network name holding tags must show as typed, never open a
// link. Entities stay, as on the summary page.
QString WithoutTags(QString value)
{
    return value.replace(u'<', u"&lt;"_qs);
}

bool Is(QStringView keyword, QStringView name)
{
    return keyword.compare(name, Qt::CaseInsensitive) == 0;
}

} // namespace

CTarn_SurveyDlg::CTarn_SurveyDlg(QWidget* parent) : CSkinnedPage(parent, kSkin)
{
    setObjectName(u"CTarn_SurveyDlg"_qs);
    m_timers = new CWindowTimers(this);

    for (int i = 0; i < kValueCount; ++i) {
        auto* value = new CXHTMLStatic(this);
        value->setObjectName(QString::number(kFirstValue + i));
        value->SetTransparent(true);
        value->SetTextColor(MakeColorRef(0, 0, 0));
        value->setAccessibleDescription(
            QString::fromUtf16(PageText::kWirelessLabels[size_t(i)]));
        m_values[size_t(i)] = value;
    }

    m_pScan = new QPushButton(u"Scan"_qs, this);
    m_pScan->setObjectName(QString::number(kScan));
    m_pScan->setAutoDefault(false);
    connect(m_pScan, &QPushButton::clicked, this, &CTarn_SurveyDlg::OnScan);
    m_pConnect = new QPushButton(u"Connect"_qs, this);
    m_pConnect->setObjectName(QString::number(kConnect));
    m_pConnect->setAutoDefault(false);
    connect(m_pConnect, &QPushButton::clicked, this, &CTarn_SurveyDlg::OnConnect);

    auto* list = new CSurveyList(this);
    list->setObjectName(QString::number(kAccessPointList));
    m_pList = list;
    // Keys and clicks alike: the key box follows the selection however it changes.
    connect(m_pList, &QTreeWidget::itemSelectionChanged, this, &CTarn_SurveyDlg::OnListItemChanged);

    m_pKeyEdit = new QLineEdit(this);
    m_pKeyEdit->setObjectName(QString::number(kKeyEdit));
    m_pDefaultKey = new QComboBox(this);
    m_pDefaultKey->setObjectName(QString::number(kDefaultKey));

    m_pList->setAccessibleName(u"Wireless networks"_qs);
    m_pKeyEdit->setAccessibleName(u"Security Key"_qs);
    m_pDefaultKey->setAccessibleName(u"Default key"_qs);
    PageAccessibility::DescribePage(this, PageText::kWireless);
    SetContentTabOrder({m_pScan, m_pList, m_pKeyEdit, m_pDefaultKey, m_pConnect});

    OnInitDialog();
    list->MakeColumns();
}

CXHTMLStatic* CTarn_SurveyDlg::Value(int controlId) const
{
    const int index = controlId - kFirstValue;
    return index >= 0 && index < kValueCount ? m_values[size_t(index)] : nullptr;
}

void CTarn_SurveyDlg::LayoutControls()
{
    CSkinnedPage::LayoutControls();
    Skin::PlaceControl(m_pList, kListRect);
    Skin::PlaceControl(m_pScan, kScanRect);
    Skin::PlaceControl(m_pConnect, kConnectRect);
    Skin::PlaceControl(m_pKeyEdit, kKeyEditRect);
    // The rectangle's height is that of the opened list; closed, the choice is as high as the
    // key box beside it.
    Skin::PlaceControl(m_pDefaultKey, kDefaultKeyRect);
    m_pDefaultKey->resize(m_pDefaultKey->width(), m_pKeyEdit->height());
    for (int i = 0; i < kValueCount; ++i) {
        CXHTMLStatic* value = m_values[size_t(i)];
        Skin::PlaceControl(value, kValueSlots[i].rectId);
        value->SetWindowText(QString());
        value->RedrawNow();
    }
    m_pDefaultKey->clear();
    m_pDefaultKey->addItems({u"Key 1"_qs, u"Key 2"_qs, u"Key 3"_qs, u"Key 4"_qs});
    m_pDefaultKey->setCurrentIndex(0);
    m_pDefaultKey->hide();
}

void CTarn_SurveyDlg::OnPageShown()
{
    ShowStatusValues();
    // The layout hid the default key choice; a WEP network chosen before still needs it.
    if (Is(SelectedKeyword(), u"WEP"))
        m_pDefaultKey->show();
    if (m_pList->topLevelItemCount() == 0)
        OnScan();
}

void CTarn_SurveyDlg::OnPageHidden()
{
    if (!m_timers->IsRunning(kRebootTimer))
        return;
    m_timers->KillTimer(kRebootTimer);
    // Nothing else would end the wait's dialog, and the program would stay blocked behind it.
    if (G_pProgress && G_pProgress->IsRunning())
        G_pProgress->done(0);
}

void CTarn_SurveyDlg::ShowStatusValues()
{
    for (int i = 0; i < kValueCount; ++i) {
        CXHTMLStatic* value = m_values[size_t(i)];
        value->Reset();
        value->SetWindowText(WithoutTags(*kValueSlots[i].value));
        value->RedrawNow();
    }
}

void CTarn_SurveyDlg::SetConnectEnabled(bool enabled)
{
    m_pConnect->setEnabled(enabled);
    m_pKeyEdit->setEnabled(enabled);
}

void CTarn_SurveyDlg::OnScan()
{
    // A survey is under way already.
    if (!m_pScan->isEnabled())
        return;
    m_pScan->setEnabled(false);
    SetConnectEnabled(false);
    m_pList->clear();
    QueueSiteSurvey();
}

void CTarn_SurveyDlg::OnSurveyFailed()
{
    m_pScan->setEnabled(true);
    m_pConnect->setEnabled(false);
}

void CTarn_SurveyDlg::ParseSurvey(const QString& response)
{
    const int count = Survey::ParseSurveyCells(response, G_mSurveyCells);
    m_pList->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qMax(count, 0));
    for (int r = 0; r < count; ++r) {
        const auto cell = [r](int i) {
            return G_mSurveyCells[qsizetype(r) * Survey::kCellsPerAccessPoint + i];
        };
        const Survey::Security security =
            Survey::ClassifySecurity(cell(Survey::Cipher), cell(Survey::WPAMode));
        auto* row = new QTreeWidgetItem;
        row->setText(BSSID, cell(Survey::BSSID));
        row->setText(SSID, cell(Survey::SSID));
        row->setText(Channel, cell(Survey::Channel));
        row->setText(Keyword, security.keyword.toString());
        row->setText(Encrypt, Survey::SecurityText(security));
        row->setText(Signal, cell(Survey::Signal));
        row->setText(Mode, cell(Survey::Mode));
        rows.append(row);
    }
    m_pList->addTopLevelItems(rows);
    m_pScan->setEnabled(true);
    if (count > 0) {
        QTreeWidgetItem* first = m_pList->topLevelItem(0);
        m_pList->setCurrentItem(first);
        first->setSelected(true);
        SetConnectEnabled(true);
    } else {
        SetConnectEnabled(false);
    }
    UpdateKeyEntry();
}

QString CTarn_SurveyDlg::SelectedKeyword() const
{
    const QTreeWidgetItem* row = SelectedRow(m_pList);
    return row ? row->text(Keyword) : QString();
}

void CTarn_SurveyDlg::OnListItemChanged()
{
    m_pKeyEdit->clear();
    UpdateKeyEntry();
}

void CTarn_SurveyDlg::UpdateKeyEntry()
{
    if (!SelectedRow(m_pList))
        return;
    const QString keyword = SelectedKeyword();
    m_pKeyEdit->setEnabled(true);
    m_pDefaultKey->hide();
    if (Is(keyword, u"WEP")) {
        m_pKeyEdit->setMaxLength(kWepKeyLimit);
        m_pDefaultKey->show();
    } else if (Is(keyword, u"TKIP") || Is(keyword, u"AES")) {
        m_pKeyEdit->setMaxLength(kPreSharedKeyLimit);
    } else {
        // No security, or one this wizard cannot set up: no key to type.
        m_pKeyEdit->setEnabled(false);
    }
    m_pConnect->setEnabled(true);
}

void CTarn_SurveyDlg::OnConnect()
{
    const QTreeWidgetItem* row = SelectedRow(m_pList);
    if (!row)
        return;
    const QString keyword = row->text(Keyword);
    const Survey::ConnectDecision decision =
        Survey::DecideConnect(keyword, row->text(SSID), row->text(Channel), m_pKeyEdit->text(),
                              m_pDefaultKey->currentIndex());
    m_strSSID = decision.settings.ssid;
    m_strChannel = decision.settings.channel;
    if (!decision.send) {
        if (decision.messageId)
            ShowMessage(decision.messageId);
        return;
    }
    const RepeaterSettings& s = decision.settings;
    QueueRepeater(s.defaultKeyIndex, m_strSSID, m_strChannel, s.securityType, s.wpaCipher,
                  s.pskFormat, s.pskKey, s.wepKeyLength, s.wepKeyFormat, s.wepKeys[0], s.wepKeys[1],
                  s.wepKeys[2], s.wepKeys[3]);
    m_pConnect->setEnabled(false);
}

void CTarn_SurveyDlg::ShowMessage(int stringId)
{
    if (!G_pMessageDlg)
        return;
    G_pMessageDlg->m_strMessage = LoadString(stringId);
    G_pMessageDlg->exec();
}

void CTarn_SurveyDlg::OnRepeaterResult()
{
    SetConnectEnabled(true);
    m_pKeyEdit->clear();
    StartRebootWait();
}

void CTarn_SurveyDlg::StartRebootWait()
{
    m_timers->SetTimer(kRebootTimer, kRebootPeriodMs, [this](unsigned id) { OnTimer(id); });
    m_nRebootTicks = 0;
    QueueReboot({}, {});
    if (!G_pProgress)
        return;
    G_pProgress->m_strMessage = u"Rebooting...."_qs;
    G_pProgress->exec();
}

void CTarn_SurveyDlg::OnTimer(unsigned)
{
    ++m_nRebootTicks;
    if (G_pProgress)
        G_pProgress->SetFrame(m_nRebootTicks % 11);
    if (m_nRebootTicks <= kRebootLastTick)
        return;
    m_timers->KillTimer(kRebootTimer);
    if (G_pProgress)
        G_pProgress->done(0);
    // The device comes back after its reboot; the Locate page finds it again.
    if (G_pMainDlg)
        G_pMainDlg->ShowLocatePage();
    else if (G_pTarnDlg)
        G_pTarnDlg->hide();
}
