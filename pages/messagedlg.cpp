#include "pages/messagedlg.h"

#include "controls/dialogservices.h"
#include "controls/ptbutton.h"
#include "controls/xhtmlstatic.h"
#include "pages/pageaccessible.h"
#include "pages/skin.h"

#include <QAccessible>
#include <QPainter>

namespace
{
constexpr int kBackground = 160;
constexpr int kOkRect = 545;
constexpr int kTextRect = 546;
} // namespace

CTarn_MessageDlg::CTarn_MessageDlg(QWidget* parent) : COverlayDialog(parent, {kWidth, kHeight})
{
    setObjectName(u"CTarn_MessageDlg"_qs);
    setAttribute(Qt::WA_OpaquePaintEvent);
    MakeProgramDialog(this, true);
    m_background.LoadId(kBackground);

    m_ok = new CPTButton(this, kOkButton);
    m_ok->setObjectName(QString::number(kOkButton));
    Skin::PlaceControl(m_ok, kOkRect);
    m_ok->SetPictures(168, 162, 168);
    m_ok->setAccessibleName(u"OK"_qs);
    connect(m_ok, &CPTButton::clicked, this, [this] { done(1); });

    m_text = new CXHTMLStatic(this);
    m_text->setObjectName(QString::number(kMessageText));
    Skin::PlaceControl(m_text, kTextRect);
    m_text->SetTransparent(true);
    m_text->Reset();
    m_text->EnableToolTips(false);
    m_text->SetWindowText(m_strMessage);
    PageAccessibility::Install();
}

QPoint CTarn_MessageDlg::OffsetInAnchor() const
{
    const QWidget* console = Anchor();
    return console ? QPoint((console->width() - kWidth) / 2, (console->height() - kHeight) / 2)
                   : QPoint();
}

void CTarn_MessageDlg::OnRunShown()
{
    // The object is reused: each run shows the text its caller set for it.
    m_text->Reset();
    m_text->SetWindowText(m_strMessage);
    m_text->RedrawNow();
    // A screen reader reads the alert's text as it appears, then the button the keys act on.
    m_ok->setFocus(Qt::OtherFocusReason);
    if (QAccessible::isActive()) {
        QAccessibleEvent alert(this, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

void CTarn_MessageDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_background.Draw(painter))
        painter.fillRect(rect(), Qt::white);
}
