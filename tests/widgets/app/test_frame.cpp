#include "app/windowactivation.h"
#include "controls/ptbutton.h"
#include "discovery/udpmanager.h"
#include "platform/windowtimers.h"
#include "session/webmanager.h"
#include "tests/widgets/support/frametest.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

class TestFrame : public CFrameTest
{
    Q_OBJECT
private slots:
    void frameShapeAndObjects();
    void enterAndEscDoNothing();
    void dragBandMovesTheFrame_data();
    void dragBandMovesTheFrame();
    void pictureButtonInTheBandKeepsItsPress();
    void destructionClearsTheObjects();
    void secondStartEndsSilently();
    void startupIdGivesTimeAndEndsItsLaunch_data();
    void startupIdGivesTimeAndEndsItsLaunch();
};

void TestFrame::frameShapeAndObjects()
{
    COstrelDlg frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QCOMPARE(frame.size(), QSize(700, 500));
    QVERIFY(frame.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(frame.windowTitle(), u"Kelda Support Utility"_qs);
    QTRY_VERIFY(!frame.windowIcon().isNull());
    QCOMPARE(G_pMainDlg, &frame);
    QVERIFY(G_pUDPManager && G_pWEBManager);
    QVERIFY(frame.Timers()->IsRunning(9997));
    QVERIFY(frame.Timers()->IsRunning(9999));
}

void TestFrame::enterAndEscDoNothing()
{
    COstrelDlg frame;
    auto* edit = new QLineEdit(&frame);
    auto* button = new QPushButton(u"OK"_qs, &frame);
    button->setDefault(true);
    int clicks = 0, returns = 0;
    connect(button, &QPushButton::clicked, this, [&] { ++clicks; });
    connect(edit, &QLineEdit::returnPressed, this, [&] { ++returns; });
    int result = -1;
    QTimer::singleShot(0, this, [&] {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Escape);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(&frame, Qt::Key_Enter);
        QTest::keyClick(&frame, Qt::Key_Escape);
        QTest::keyClicks(edit, u"ok"_qs);
        result = frame.isVisible() ? 1 : 0;
        frame.done(7);
    });
    const int code = frame.exec();
    QCOMPARE(result, 1); // still open after every Enter and Esc
    QCOMPARE(code, 7);   // ended only by our own done()
    QCOMPARE(clicks, 0);
    QCOMPARE(returns, 0);
    QCOMPARE(edit->text(), u"ok"_qs); // other keys pass
}

void TestFrame::dragBandMovesTheFrame_data()
{
    QTest::addColumn<int>("pressY");
    QTest::addColumn<bool>("moves");
    QTest::newRow("top row") << 0 << true;
    QTest::newRow("last row of the band") << 77 << true;
    QTest::newRow("first row below it") << 78 << false;
}

void TestFrame::dragBandMovesTheFrame()
{
    QFETCH(int, pressY);
    QFETCH(bool, moves);
    COstrelDlg frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.move(100, 100);
    // A child page: presses it does not take reach the page and then the frame's band.
    auto* page = new QWidget(&frame);
    page->setGeometry(0, 0, 700, 500);
    page->show();
    int pageClicks = 0;
    struct ClickCounter : QObject {
        int* count;
        bool eventFilter(QObject*, QEvent* e) override
        {
            if (e->type() == QEvent::MouseButtonPress)
                ++*count;
            return false;
        }
    } counter;
    counter.count = &pageClicks;
    page->installEventFilter(&counter);
    MakeProgramDialog(page, true); // its filter runs first, as the page's own handling would

    const QPoint start(300, pressY);
    QTest::mousePress(page, Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, QPointF(start + QPoint(40, 25)),
                     QPointF(page->mapToGlobal(start + QPoint(40, 25))), Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(page, &move);
    QTest::mouseRelease(page, Qt::LeftButton, {}, start + QPoint(40, 25));
    if (moves) {
        QCOMPARE(frame.pos(), QPoint(140, 125));
        QCOMPARE(pageClicks, 0);
    } else {
        QCOMPARE(frame.pos(), QPoint(100, 100));
        QCOMPARE(pageClicks, 1);
    }
}

void TestFrame::pictureButtonInTheBandKeepsItsPress()
{
    COstrelDlg frame;
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.move(100, 100);
    auto* page = new QWidget(&frame);
    page->setGeometry(0, 0, 700, 500);
    MakeProgramDialog(page, true);
    // Where Close and Minimize stand: in the band.
    auto* button = new CPTButton(page, 1);
    button->setGeometry(640, 10, 20, 20);
    page->show();
    int clicks = 0;
    connect(button, &CPTButton::clicked, this, [&] { ++clicks; });

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(9, 9), QPointF(button->mapToGlobal(QPoint(9, 9))),
                     Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(button, &move);
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(9, 9));
    QCOMPARE(frame.pos(), QPoint(100, 100));
    QCOMPARE(clicks, 1);
    // Beside the button the band still moves the frame.
    QVERIFY(!CDragBand::OnPictureButton(page, QPoint(600, 20)));
    QVERIFY(CDragBand::OnPictureButton(page, QPoint(645, 15)));
}

void TestFrame::destructionClearsTheObjects()
{
    {
        COstrelDlg frame;
        QVERIFY(G_pUDPManager);
    }
    QVERIFY(!G_pUDPManager);
    QVERIFY(!G_pWEBManager);
}

void TestFrame::secondStartEndsSilently()
{
    // This test runs in a private network namespace (tests/tools/isolated): the wizard
    // broadcasts once it runs, and must never do so onto a real network.
    QProcess first;
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(QStringLiteral(KELDA_WIZARD_BINARY), {});
    QVERIFY(first.waitForStarted());
    QVERIFY(!first.waitForFinished(1500)); // it keeps running

    QProcess second;
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QStringLiteral(KELDA_WIZARD_BINARY), {});
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(second.readAll(), QByteArray());

    QCOMPARE(first.state(), QProcess::Running); // untouched
    first.terminate();
    QVERIFY(first.waitForFinished(5000));
}

void TestFrame::startupIdGivesTimeAndEndsItsLaunch_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<quint32>("time");
    QTest::addColumn<QByteArray>("message");
    QTest::newRow("launcher") << QByteArray("menu-1234-host-kelda_TIME987654") << 987654u
                              << QByteArray("remove: ID=menu-1234-host-kelda_TIME987654");
    QTest::newRow("the last time counts")
        << QByteArray("a_TIME1_TIME2") << 2u << QByteArray("remove: ID=a_TIME1_TIME2");
    QTest::newRow("no time") << QByteArray("terminal-42") << 0u
                             << QByteArray("remove: ID=terminal-42");
    QTest::newRow("time not a number")
        << QByteArray("x_TIMEsoon") << 0u << QByteArray("remove: ID=x_TIMEsoon");
    QTest::newRow("quotes and backslashes are escaped")
        << QByteArray("a\"b\\c_TIME5") << 5u << QByteArray("remove: ID=\"a\\\"b\\\\c_TIME5\"");
}

void TestFrame::startupIdGivesTimeAndEndsItsLaunch()
{
    QFETCH(QByteArray, id);
    QFETCH(quint32, time);
    QFETCH(QByteArray, message);
    QCOMPARE(StartupIdTime(id), time);
    QCOMPARE(StartupRemoveMessage(id), message);
}

QTEST_MAIN(TestFrame)
#include "test_frame.moc"
