#include "pages/progressdlg.h"

#include "controls/dialogservices.h"
#include "controls/xhtmlstatic.h"
#include "pages/pageaccessible.h"
#include "pages/skin.h"
#include "platform/stringtable.h"

#include <QPainter>

namespace
{
constexpr int kBackground = 248;
constexpr int kTextRect = 560;
// Only the width and height of this rectangle count; the frame always stands at (70, 50).
constexpr int kFrameSizeRect = 557;
constexpr QPoint kFrameOrigin{70, 50};
} // namespace

CTarn_Progress::CTarn_Progress(QWidget* parent) : COverlayDialog(parent, {kWidth, kHeight})
{
    setObjectName(u"CTarn_Progress"_qs);
    setAttribute(Qt::WA_OpaquePaintEvent);
    MakeProgramDialog(this, false);
    m_background.LoadId(kBackground);

    int x = 0, y = 0, w = 128, h = 49;
    GetLayoutRect(kFrameSizeRect, x, y, w, h);
    m_frameRect = QRect(kFrameOrigin, QSize(w, h));

    m_text = new CXHTMLStatic(this);
    m_text->setObjectName(QString::number(kMessageText));
    Skin::PlaceControl(m_text, kTextRect);
    m_text->SetTransparent(true);
    PageAccessibility::Install();
}

int CTarn_Progress::FrameBitmap(int frame)
{
    return frame >= 0 && frame <= 9 ? 172 + frame : 171;
}

void CTarn_Progress::SetFrame(int frame)
{
    m_nBitmap = FrameBitmap(frame);
    m_framePicture.LoadId(m_nBitmap, u"BITMAP");
    repaint();
    PageAccessibility::NotifyProgress(this);
}

void CTarn_Progress::OnRunShown()
{
    m_text->Reset();
    m_text->SetWindowText(u"<CENTER>"_qs + m_strMessage + u"</CENTER>"_qs);
    m_text->RedrawNow();
    SetFrame(0);
}

void CTarn_Progress::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_background.Draw(painter))
        painter.fillRect(rect(), Qt::white);
    // The twice-sized frame on a high-density screen, in the same place.
    if (const QImage& frame = m_framePicture.ImageFor(devicePixelRatioF()); !frame.isNull())
        painter.drawImage(m_frameRect, frame);
}
