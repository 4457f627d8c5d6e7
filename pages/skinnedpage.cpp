#include "pages/skinnedpage.h"

#include "app/ostreldlg.h"
#include "console/tarndlg.h"
#include "controls/dialogservices.h"
#include "controls/hmxstatic.h"
#include "controls/ptbutton.h"
#include "pages/ipaddrdlg.h"
#include "pages/modedlg.h"
#include "pages/pageaccessible.h"
#include "pages/passworddlg.h"
#include "pages/savedlg.h"
#include "pages/summarydlg.h"
#include "pages/surveydlg.h"
#include "session/sessionvalues.h"

#include <QPainter>
#include <QShowEvent>

namespace
{

// Dark blue of the skin's own captions, so the values read as part of the picture.
constexpr COLORREF kDeviceLabelColor = MakeColorRef(20, 50, 90);

CHMXStatic* MakeDeviceLabel(QWidget* page, int controlId)
{
    auto* label = new CHMXStatic(page);
    label->setObjectName(QString::number(controlId));
    label->SetTextColor(kDeviceLabelColor);
    return label;
}

} // namespace

CSkinnedPage::CSkinnedPage(QWidget* parent, const PageSkin& skin) : QWidget(parent), m_skin(skin)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    MakeProgramDialog(this, true);
    for (int step = 0; step < Skin::kStepCount; ++step) {
        auto* button = new CPTButton(this, m_skin.firstStepId + step);
        button->setObjectName(QString::number(button->ControlId()));
        connect(button, &CPTButton::clicked, this,
                [this, step] { OnStepClicked(Skin::Step(step)); });
        m_steps[size_t(step)] = button;
    }
    m_close = new CPTButton(this, m_skin.closeId);
    m_close->setObjectName(QString::number(m_skin.closeId));
    connect(m_close, &CPTButton::clicked, this, [] {
        if (G_pMainDlg)
            G_pMainDlg->CloseWizard();
    });
    m_minimize = new CPTButton(this, m_skin.minimizeId);
    m_minimize->setObjectName(QString::number(m_skin.minimizeId));
    connect(m_minimize, &CPTButton::clicked, this, [] {
        if (G_pMainDlg)
            G_pMainDlg->MinimizeWizard();
    });
    m_macLabel = MakeDeviceLabel(this, m_skin.macLabelId);
    m_ipLabel = MakeDeviceLabel(this, m_skin.ipLabelId);
    // The captions above them are part of the picture.
    m_macLabel->setAccessibleDescription(QString::fromUtf16(PageText::kDeviceMACAddress));
    m_ipLabel->setAccessibleDescription(QString::fromUtf16(PageText::kDeviceIPAddress));
    Skin::NameSkinButtons(m_steps, m_skin.ownStep, m_minimize, m_close);
    SetContentTabOrder({});
}

void CSkinnedPage::SetContentTabOrder(std::initializer_list<QWidget*> content)
{
    Skin::SetTabOrder(content, m_steps, m_minimize, m_close);
}

void CSkinnedPage::OnInitDialog()
{
    m_background.LoadId(m_skin.background);
    LayoutControls();
}

void CSkinnedPage::LayoutControls()
{
    for (int step = 0; step < Skin::kStepCount; ++step) {
        CPTButton* button = m_steps[size_t(step)];
        Skin::PlaceControl(button, Skin::kSteps[size_t(step)].rectId);
        const int picture = step == m_skin.ownStep ? Skin::kSteps[size_t(step)].ownPicture
                                                   : Skin::kSteps[size_t(step)].otherPicture;
        button->SetPictures(picture, picture, picture);
    }
    Skin::PlaceControl(m_minimize, Skin::kMinimize.rectId);
    m_minimize->SetPictures(Skin::kMinimize.normal, Skin::kMinimize.hover,
                            Skin::kMinimize.disabled);
    Skin::PlaceControl(m_close, Skin::kClose.rectId);
    m_close->SetPictures(Skin::kClose.normal, Skin::kClose.hover, Skin::kClose.disabled);
    Skin::PlaceControl(m_ipLabel, Skin::kIPLabelRect);
    Skin::PlaceControl(m_macLabel, Skin::kMACLabelRect);
    m_ipLabel->SetText(G_mstrIPAddress);
    m_macLabel->SetText(G_mstrMACAddress);
}

void CSkinnedPage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_background.Draw(painter))
        painter.fillRect(rect(), Qt::white);
}

void CSkinnedPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A restore of the minimized program window is no new showing of the page.
    if (event->spontaneous())
        return;
    if (m_skin.layoutOnShow)
        LayoutControls();
    OnPageShown();
}

void CSkinnedPage::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        OnPageHidden();
}

void CSkinnedPage::OnStepClicked(Skin::Step step)
{
    if (step == Skin::Locate) {
        if (G_pMainDlg)
            G_pMainDlg->ShowLocatePage();
        return;
    }
    if (!G_pTarnDlg)
        return;
    if (QWidget* page = ConsolePageForStep(step))
        G_pTarnDlg->ShowPage(page);
}

QWidget* ConsolePageForStep(Skin::Step step)
{
    switch (step) {
    case Skin::Repeater:
        return G_pSummaryDlg;
    case Skin::IPAddress:
        return G_pIPAddrDlg;
    case Skin::Wireless:
        return G_pSurveyDlg;
    case Skin::Firmware:
        return G_pModeDlg;
    case Skin::Password:
        return G_pPasswordDlg;
    case Skin::Reset:
        return G_pSaveDlg;
    default:
        return nullptr;
    }
}
