#pragma once

// The base of a widget test of the whole window: the application's key filter and font, as the
// wizard's start sets them, a frame of a test function's own, and a console opened on the test
// device as a Connect opens it.
#include "app/ostreldlg.h"
#include "controls/dialogservices.h"

#include <QApplication>
#include <QTest>
#include <memory>

class CFrameTest : public QObject
{
protected:
    CFrameTest()
    {
        qApp->installEventFilter(&m_keyFilter);
        QApplication::setFont(QFont(u"Verdana"_qs, 9));
    }

    void ShowFrame()
    {
        m_frame = std::make_unique<COstrelDlg>();
        m_frame->move(60, 40);
        m_frame->show();
        QVERIFY(QTest::qWaitForWindowActive(m_frame.get()));
    }

    // On `frame`, or else the test function's own.
    bool OpenConsole(const QString& ip = u"192.168.77.10"_qs, COstrelDlg* frame = nullptr)
    {
        return (frame ? frame : m_frame.get())
            ->OpenConsole(u"QZ-8061Tr"_qs, ip, u"255.255.255.0"_qs);
    }

    std::unique_ptr<COstrelDlg> m_frame;

private:
    CEnterEscFilter m_keyFilter;
};
