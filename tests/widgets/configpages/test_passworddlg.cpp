#include "configfixture.h"
#include "pages/passworddlg.h"
#include "pages/summarydlg.h"

#include <QLineEdit>
#include <QPushButton>

class TestPasswordPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void layout();
    void thirtyCharacters();
    void refused_data();
    void refused();
    void applySendsTheLoginPassword();
    void resultReturnsToLocate_data();
    void resultReturnsToLocate();
    void textsSurviveLeaving();
    void handArea();

private:
    void Show() { m_fixture.console->ShowPage(m_page); }
    void Type(const QString& current, const QString& fresh, const QString& confirm);

    CConfigFixture m_fixture;
    CTarn_PasswordDlg* m_page = nullptr;
};

void TestPasswordPage::init()
{
    m_fixture.Init();
    m_page = G_pPasswordDlg;
}

void TestPasswordPage::cleanup()
{
    m_fixture.Cleanup();
}

void TestPasswordPage::Type(const QString& current, const QString& fresh, const QString& confirm)
{
    QTest::keyClicks(m_page->CurrentPasswordEdit(), current);
    QTest::keyClicks(m_page->NewPasswordEdit(), fresh);
    QTest::keyClicks(m_page->ConfirmPasswordEdit(), confirm);
}

void TestPasswordPage::layout()
{
    Show();
    QCOMPARE(m_page->UserNameEdit()->text(), u"admin"_qs);
    QVERIFY(m_page->UserNameEdit()->isReadOnly());
    for (QLineEdit* edit : {m_page->CurrentPasswordEdit(), m_page->NewPasswordEdit(),
                            m_page->ConfirmPasswordEdit()}) {
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QVERIFY(edit->text().isEmpty());
    }
    QCOMPARE(m_page->CurrentPasswordEdit()->geometry(), QRect(377, 230, 207, 23));
    QCOMPARE(m_page->ConfirmPasswordEdit()->geometry(), QRect(377, 340, 207, 23));
    QCOMPARE(m_page->ApplyButton()->geometry(), QRect(610, 375, 67, 23));
}

void TestPasswordPage::thirtyCharacters()
{
    Show();
    const QString thirty = u"abcdefghij0123456789ABCDEFGHIJ"_qs;
    for (QLineEdit* edit : {m_page->CurrentPasswordEdit(), m_page->NewPasswordEdit(),
                            m_page->ConfirmPasswordEdit()}) {
        QTest::keyClicks(edit, thirty + u"K"_qs);
        QCOMPARE(edit->text(), thirty);
        // Pasted text is cut at the limit too.
        edit->clear();
        edit->insert(thirty + u"XYZ"_qs);
        QCOMPARE(edit->text(), thirty);
    }
}

void TestPasswordPage::refused_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("fresh");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("focus");
    const QString wrong = u"Login Username/Password Incorrect!"_qs;
    const QString reEnter = u"Re-Enter Password Error!"_qs;
    QTest::newRow("current in upper case")
        << u"S3CRET"_qs << u"abc"_qs << u"abc"_qs << wrong << CTarn_PasswordDlg::kCurrentPassword;
    QTest::newRow("abc and abd") << u"s3cret"_qs << u"abc"_qs << u"abd"_qs << reEnter
                                 << CTarn_PasswordDlg::kNewPassword;
    QTest::newRow("both empty") << u"s3cret"_qs << QString() << QString() << reEnter
                                << CTarn_PasswordDlg::kNewPassword;
}

void TestPasswordPage::refused()
{
    QFETCH(QString, current);
    QFETCH(QString, fresh);
    QFETCH(QString, confirm);
    QFETCH(QString, message);
    QFETCH(int, focus);
    Show();
    Type(current, fresh, confirm);
    m_page->ApplyButton()->setFocus();
    QTest::mouseClick(m_page->ApplyButton(), Qt::LeftButton);
    QCOMPARE(m_fixture.messages, QStringList{message});
    QVERIFY(m_fixture.queued.isEmpty());
    for (QLineEdit* edit :
         {m_page->CurrentPasswordEdit(), m_page->NewPasswordEdit(), m_page->ConfirmPasswordEdit()})
        QVERIFY(edit->text().isEmpty());
    QCOMPARE(m_fixture.console->focusWidget()->objectName(), QString::number(focus));
    QVERIFY(m_page->ApplyButton()->isEnabled());
}

void TestPasswordPage::applySendsTheLoginPassword()
{
    Show();
    // The new password may be the current one, and may hold what a form would misread.
    Type(u"s3cret"_qs, u"s3cret"_qs, u"s3cret"_qs);
    QTest::mouseClick(m_page->ApplyButton(), Qt::LeftButton);
    QVERIFY(m_fixture.messages.isEmpty());
    QCOMPARE(m_fixture.Commands(), QStringList{u"SETUPPASSWORD"_qs});
    QCOMPARE(m_fixture.LastBody(), u"oldpass=s3cret&newpass=s3cret&confpass=s3cret&save=Apply&"
                                   u"submit-url=%2F01_01_02_passset.asp"_qs);
    QVERIFY(!m_page->ApplyButton()->isEnabled());

    m_page->ApplyButton()->setEnabled(true);
    m_page->CurrentPasswordEdit()->setText(u"s3cret"_qs);
    m_page->NewPasswordEdit()->setText(u"a&b=c"_qs);
    m_page->ConfirmPasswordEdit()->setText(u"a&b=c"_qs);
    QTest::mouseClick(m_page->ApplyButton(), Qt::LeftButton);
    QVERIFY(m_fixture.LastBody().startsWith(
        u"oldpass=s3cret&newpass=a%26b%3Dc&confpass=a%26b%3Dc&"_qs));
}

void TestPasswordPage::resultReturnsToLocate_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("response");
    QTest::newRow("changed") << 4 << u"HTTP/1.1 200 OK\r\n\r\nThe password has been changed."_qs;
    QTest::newRow("refused") << 4 << u"HTTP/1.1 200 OK\r\n\r\nOld password is not correct!"_qs;
    QTest::newRow("timed out") << 5 << QString();
}

void TestPasswordPage::resultReturnsToLocate()
{
    QFETCH(int, result);
    QFETCH(QString, response);
    Show();
    Type(u"s3cret"_qs, u"n3w"_qs, u"n3w"_qs);
    QTest::mouseClick(m_page->ApplyButton(), Qt::LeftButton);
    m_fixture.Finish(u"SETUPPASSWORD"_qs, result, response);
    QVERIFY(m_page->ApplyButton()->isEnabled());
    QVERIFY(!m_fixture.console->isVisible());
    QVERIFY(m_fixture.messages.isEmpty());
    // The old one until the next login reads the device's reply.
    QCOMPARE(G_mstrPassword, u"s3cret"_qs);
}

void TestPasswordPage::textsSurviveLeaving()
{
    Show();
    Type(u"s3"_qs, u"ab"_qs, u"a"_qs);
    m_page->NewPasswordEdit()->setEnabled(false);
    m_page->ConfirmPasswordEdit()->setEnabled(false);
    m_fixture.console->ShowPage(G_pSummaryDlg);
    Show();
    QCOMPARE(m_page->CurrentPasswordEdit()->text(), u"s3"_qs);
    QCOMPARE(m_page->NewPasswordEdit()->text(), u"ab"_qs);
    QCOMPARE(m_page->ConfirmPasswordEdit()->text(), u"a"_qs);
    QVERIFY(m_page->NewPasswordEdit()->isEnabled() && m_page->ConfirmPasswordEdit()->isEnabled());
}

void TestPasswordPage::handArea()
{
    Show();
    QCOMPARE(CConfigFixture::CursorAt(m_page, QPoint(214, 186)), Qt::PointingHandCursor);
    QCOMPARE(CConfigFixture::CursorAt(m_page, QPoint(334, 205)), Qt::PointingHandCursor);
    QCOMPARE(CConfigFixture::CursorAt(m_page, QPoint(335, 205)), Qt::ArrowCursor);
    QCOMPARE(CConfigFixture::CursorAt(m_page, QPoint(214, 185)), Qt::ArrowCursor);
    // A press there does nothing special.
    Type(u"s3"_qs, QString(), QString());
    CConfigFixture::PressAt(m_page, QPoint(250, 195));
    QCOMPARE(m_page->CurrentPasswordEdit()->text(), u"s3"_qs);
    QVERIFY(m_fixture.queued.isEmpty());
}


QTEST_MAIN(TestPasswordPage)
#include "test_passworddlg.moc"
