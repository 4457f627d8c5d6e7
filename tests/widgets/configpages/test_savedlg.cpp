#include "configfixture.h"
#include "controls/ctlbutton.h"
#include "pages/savedlg.h"
#include "pages/summarydlg.h"
#include "platform/windowtimers.h"

#include <QPushButton>

class TestResetPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void rebootChosenOnEveryShow();
    void labelAreasSwapTheChoice();
    void handCursor();
    void apply_data();
    void apply();

private:
    void Show() { m_fixture.console->ShowPage(m_page); }
    bool RebootChecked() const
    {
        // Exactly one of the pair is checked at any time.
        return m_page->RebootRadio()->isChecked() && !m_page->FactoryResetRadio()->isChecked();
    }
    bool FactoryResetChecked() const
    {
        return m_page->FactoryResetRadio()->isChecked() && !m_page->RebootRadio()->isChecked();
    }

    CConfigFixture m_fixture;
    CTarn_SaveDlg* m_page = nullptr;
};

void TestResetPage::init()
{
    m_fixture.Init();
    m_page = G_pSaveDlg;
}

void TestResetPage::cleanup()
{
    m_fixture.Cleanup();
}

void TestResetPage::rebootChosenOnEveryShow()
{
    Show();
    QVERIFY(RebootChecked());
    QCOMPARE(m_page->RebootRadio()->geometry(), QRect(255, 165, 19, 19));
    QCOMPARE(m_page->FactoryResetRadio()->geometry(), QRect(255, 210, 19, 19));
    QVERIFY(m_page->RebootRadio()->text().isEmpty());
    QTest::mouseClick(m_page->FactoryResetRadio(), Qt::LeftButton);
    QVERIFY(FactoryResetChecked());
    m_fixture.console->ShowPage(G_pSummaryDlg);
    Show();
    QVERIFY(RebootChecked());
}

void TestResetPage::labelAreasSwapTheChoice()
{
    Show();
    // The Reboot words, twice.
    CConfigFixture::PressAt(m_page, QPoint(300, 174));
    QVERIFY(FactoryResetChecked());
    CConfigFixture::PressAt(m_page, QPoint(300, 174));
    QVERIFY(RebootChecked());
    // The Factory Reset words, twice, at the area's corners.
    CConfigFixture::PressAt(m_page, QPoint(280, 210));
    QVERIFY(FactoryResetChecked());
    CConfigFixture::PressAt(m_page, QPoint(375, 229));
    QVERIFY(RebootChecked());
    // Beside the areas: nothing.
    for (const QPoint outside :
         {QPoint(341, 174), QPoint(300, 185), QPoint(376, 220), QPoint(300, 209)}) {
        CConfigFixture::PressAt(m_page, outside);
        QVERIFY(RebootChecked());
    }
    // The boxes select their own radio.
    CConfigFixture::PressAt(m_page, QPoint(264, 219));
    QVERIFY(FactoryResetChecked());
    CConfigFixture::PressAt(m_page, QPoint(264, 174));
    QVERIFY(RebootChecked());
}

void TestResetPage::handCursor()
{
    Show();
    for (const QPoint inside :
         {QPoint(280, 165), QPoint(340, 184), QPoint(280, 210), QPoint(375, 229)})
        QCOMPARE(CConfigFixture::CursorAt(m_page, inside), Qt::PointingHandCursor);
    for (const QPoint outside :
         {QPoint(279, 165), QPoint(341, 184), QPoint(376, 229), QPoint(280, 230)})
        QCOMPARE(CConfigFixture::CursorAt(m_page, outside), Qt::ArrowCursor);
}

void TestResetPage::apply_data()
{
    QTest::addColumn<bool>("factoryReset");
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("Reboot") << false << QStringList{u"REBOOT"_qs};
    QTest::newRow("Factory Reset") << true << QStringList{u"RESETDEFAULT"_qs, u"REBOOT"_qs};
}

void TestResetPage::apply()
{
    QFETCH(bool, factoryReset);
    QFETCH(QStringList, commands);
    Show();
    if (factoryReset)
        QTest::mouseClick(m_page->FactoryResetRadio(), Qt::LeftButton);
    const auto wait =
        m_fixture.PlayWait([&] { QTest::mouseClick(m_page->ApplyButton(), Qt::LeftButton); },
                           [&] { return m_page->Timers()->IsRunning(CTarn_SaveDlg::kRebootTimer); },
                           [&] {
                               // Another id on the page's timers is no tick of the wait.
                               m_page->OnTimer(CTarn_SaveDlg::kRebootTimer + 1);
                               m_page->OnTimer(CTarn_SaveDlg::kRebootTimer);
                           });
    QVERIFY(wait.timerRunning);
    QCOMPARE(wait.text, u"Rebooting...."_qs);
    QCOMPARE(wait.queuedAtStart, commands);
    QCOMPARE(m_fixture.Commands(), commands);
    if (factoryReset)
        QCOMPARE(m_fixture.queued.first().strData.section(u"\r\n\r\n"_qs, 1),
                 u"command=COMMAND+flash+default&getID=\r\n"_qs);
    QCOMPARE(wait.bitmaps, kWholeWaitBitmaps);
    QCOMPARE(m_page->m_nRebootTicks, 11);
    QVERIFY(!m_page->Timers()->IsRunning(CTarn_SaveDlg::kRebootTimer));
    QVERIFY(!m_fixture.console->isVisible());
    QVERIFY(m_fixture.messages.isEmpty());
    // Their answers mean nothing to the console.
    m_fixture.console->show();
    m_fixture.Finish(u"RESETDEFAULT"_qs, 4, u"HTTP/1.1 200 OK"_qs);
    m_fixture.Finish(u"REBOOT"_qs, 5, QString());
    QVERIFY(m_fixture.console->isVisible());
    QVERIFY(m_fixture.messages.isEmpty());
}


QTEST_MAIN(TestResetPage)
#include "test_savedlg.moc"
