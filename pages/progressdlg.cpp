#include "pages/progressdlg.h"

#include <QLabel>
#include <QPixmap>

CTarn_Progress::CTarn_Progress(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(u"CTarn_Progress"_qs);
    setFixedSize(260, 144);
    m_frame = new QLabel(this);
    m_frame->setGeometry(70, 50, 128, 49);
    m_text = new QLabel(this);
    m_text->setObjectName(u"1174"_qs);
    m_text->setAlignment(Qt::AlignCenter);
    m_text->setGeometry(12, 110, 240, 15);
}

int CTarn_Progress::FrameBitmap(int frame)
{
    return frame >= 0 && frame <= 9 ? 172 + frame : 171;
}

void CTarn_Progress::SetFrame(int frame)
{
    m_nBitmap = FrameBitmap(frame);
    m_frame->setPixmap(QPixmap(u":/BITMAP/%1"_qs.arg(m_nBitmap)));
    repaint();
}

void CTarn_Progress::showEvent(QShowEvent* event)
{
    if (parentWidget())
        move(parentWidget()->mapToGlobal(QPoint(220, 178)));
    m_text->setText(m_strMessage);
    SetFrame(0);
    QDialog::showEvent(event);
}
