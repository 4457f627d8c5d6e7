#include "pages/messagedlg.h"

#include <QLabel>
#include <QPushButton>

CTarn_MessageDlg::CTarn_MessageDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(u"CTarn_MessageDlg"_qs);
    setFixedSize(260, 144);
    m_text = new QLabel(this);
    m_text->setObjectName(u"1105"_qs);
    m_text->setWordWrap(true);
    m_text->setGeometry(7, 20, 252, 80);
    auto* ok = new QPushButton(u"OK"_qs, this);
    ok->setObjectName(QString::number(kOkButton));
    ok->setGeometry(86, 100, 88, 34);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void CTarn_MessageDlg::showEvent(QShowEvent* event)
{
    m_text->setText(m_strMessage);
    if (parentWidget())
        move(parentWidget()->mapToGlobal(parentWidget()->rect().center()) - rect().center());
    QDialog::showEvent(event);
}
