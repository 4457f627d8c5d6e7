// The wizard without a mouse: Tab walks every page in reading order, every stop has a name a
// screen reader can say, Space presses the picture buttons, Enter and Esc still do nothing. And
// what a screen reader reads beyond the controls: the pictures' words, the dialogs.

#include "console/tarndlg.h"
#include "controls/ptbutton.h"
#include "locate/searchdlg.h"
#include "pages/ipaddrdlg.h"
#include "pages/messagedlg.h"
#include "pages/modedlg.h"
#include "pages/passworddlg.h"
#include "pages/progressdlg.h"
#include "pages/savedlg.h"
#include "pages/skinnedpage.h"
#include "pages/summarydlg.h"
#include "pages/surveydlg.h"
#include "session/sessionvalues.h"
#include "tests/widgets/controls/pixels.h"
#include "tests/widgets/support/frametest.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QTimer>

using namespace Pixels;

namespace
{

// What a screen reader says for the widget: its own name, else what Qt derives (a button's
// text). A combo box on Linux reports its current text as its name and its own name apart.
QString AccessibleName(QWidget* widget)
{
    if (!widget->accessibleName().isEmpty())
        return widget->accessibleName();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString();
}

QWidget* PageNamed(const QString& name)
{
    const QList<QWidget*> pages = {G_pSearchDlg, G_pSummaryDlg,  G_pIPAddrDlg, G_pSurveyDlg,
                                   G_pModeDlg,   G_pPasswordDlg, G_pSaveDlg};
    for (QWidget* page : pages) {
        if (page && page->objectName() == name)
            return page;
    }
    return nullptr;
}

bool IsPaintedText(const QWidget* widget)
{
    return widget->inherits("CXHTMLStatic") || widget->inherits("CHMXStatic") ||
           widget->inherits("CPTLabel");
}

const QStringList kConsoleTail = {u"Locate"_qs,   u"Repeater"_qs, u"IP Address"_qs,
                                  u"Wireless"_qs, u"Firmware"_qs, u"Password"_qs,
                                  u"Reset"_qs,    u"Minimize"_qs, u"Close"_qs};

} // namespace

class TestKeyboard : public CFrameTest
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_frame.reset(); }
    void tabWalksThePageInReadingOrder_data();
    void tabWalksThePageInReadingOrder();
    void spacePressesAPictureButtonEnterAndEscDoNot();
    void focusIsShownAndLeavesNoTrace();
    void firstTabShowsAnUnseenFocus();
    void screenReaderCanPressAPictureButton();
    void messageIsReadAsAnAlertAndItsOkTakesTheKeys();
    void progressIsReadAsAProgressBar_data();
    void progressIsReadAsAProgressBar();

private:
    // Tab from nothing focused until the focus comes round again; the widgets in order.
    QList<QWidget*> WalkTab();
};

void TestKeyboard::init()
{
    G_mstrIPAddress = u"192.168.77.10"_qs;
    G_mstrMACAddress = u"00:1A:2B:3C:4D:5E"_qs;
    ShowFrame();
}

QList<QWidget*> TestKeyboard::WalkTab()
{
    if (QWidget* focused = QApplication::focusWidget())
        focused->clearFocus();
    QList<QWidget*> visited;
    for (int i = 0; i < 40; ++i) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget()
                                                      : static_cast<QWidget*>(m_frame.get());
        QTest::keyClick(target, Qt::Key_Tab);
        QWidget* focused = QApplication::focusWidget();
        if (!focused || (!visited.isEmpty() && focused == visited.first()))
            break;
        visited.append(focused);
    }
    return visited;
}

void TestKeyboard::tabWalksThePageInReadingOrder_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QStringList>("order");
    // Connect waits for a device to be chosen; the simulated network here has none.
    QTest::newRow("locate") << u"CSearchDlg"_qs
                            << QStringList{u"Scan"_qs, u"Smart Repeaters on your network"_qs,
                                           u"Minimize"_qs, u"Close"_qs};
    QTest::newRow("repeater") << u"CTarn_SummaryDlg"_qs << kConsoleTail;
    // One stop for a pair of radio buttons, at the first; the arrows move between them.
    QTest::newRow("IP address") << u"CTarn_IPAddrDlg"_qs
                                << QStringList{u"New IP Address"_qs, u"New Subnet Mask"_qs,
                                               u"Auto IP"_qs, u"Apply"_qs} +
                                       kConsoleTail;
    QTest::newRow("wireless") << u"CTarn_SurveyDlg"_qs
                              << QStringList{u"Scan"_qs, u"Wireless networks"_qs,
                                             u"Security Key"_qs, u"Default key"_qs, u"Connect"_qs} +
                                     kConsoleTail;
    QTest::newRow("firmware") << u"CTarn_ModeDlg"_qs
                              << QStringList{u"Firmware file"_qs, u"Browse"_qs, u"Apply"_qs} +
                                     kConsoleTail;
    QTest::newRow("password") << u"CTarn_PasswordDlg"_qs
                              << QStringList{u"User Name"_qs, u"Current Password"_qs,
                                             u"New Password"_qs, u"Confirm Password"_qs,
                                             u"Apply"_qs} +
                                     kConsoleTail;
    QTest::newRow("reset") << u"CTarn_SaveDlg"_qs
                           << QStringList{u"Reboot"_qs, u"Apply"_qs} + kConsoleTail;
}

void TestKeyboard::tabWalksThePageInReadingOrder()
{
    QFETCH(QString, page);
    QFETCH(QStringList, order);
    if (page != u"CSearchDlg"_qs) {
        QVERIFY(OpenConsole());
        G_pTarnDlg->ShowPage(PageNamed(page));
    }
    QWidget* shown = PageNamed(page);
    QVERIFY(shown && shown->isVisible());
    if (page == u"CTarn_SurveyDlg"_qs) {
        // As after a survey with a WEP network chosen: every control of the page in use.
        for (const char* type : {"QPushButton", "QLineEdit", "QComboBox"}) {
            for (QWidget* control : shown->findChildren<QWidget*>()) {
                if (control->parentWidget() == shown && control->inherits(type)) {
                    control->setEnabled(true);
                    control->show();
                }
            }
        }
    }
    if (page == u"CSearchDlg"_qs) {
        // Scan is back once the start-up search has run its course.
        auto* scan = shown->findChild<QWidget*>(QString::number(CSearchDlg::kScan));
        QVERIFY(scan);
        QTRY_VERIFY_WITH_TIMEOUT(scan->isEnabled(), 10000);
    }

    const QList<QWidget*> visited = WalkTab();
    QStringList names;
    for (QWidget* widget : visited) {
        // Never into a page that is not shown.
        QVERIFY2(shown->isAncestorOf(widget), qPrintable(widget->objectName()));
        names.append(AccessibleName(widget));
    }
    QVERIFY2(names == order, qPrintable(names.join(u" | "_qs)));

    // Nothing the user could reach by Tab is left out or nameless. Grouped radio buttons share one
    // stop (the arrows move between them), so they count as reached through their checked one.
    for (QWidget* widget : shown->findChildren<QWidget*>()) {
        if (!widget->isVisible() || !widget->isEnabled() ||
            !(widget->focusPolicy() & Qt::TabFocus) || widget->focusProxy())
            continue;
        QVERIFY2(!AccessibleName(widget).isEmpty(),
                 qPrintable(u"no name: "_qs +
                            QString::fromLatin1(widget->metaObject()->className()) + u' ' +
                            widget->objectName()));
        const bool groupedRadio = widget->inherits("QRadioButton");
        QVERIFY2(groupedRadio || visited.contains(widget) ||
                     (widget->parentWidget() != shown && visited.contains(widget->parentWidget())),
                 qPrintable(u"not reached by Tab: "_qs + AccessibleName(widget)));
    }

    // What the picture says and every painted text reach a screen reader too.
    QAccessibleInterface* described = QAccessible::queryAccessibleInterface(shown);
    QVERIFY(!described->text(QAccessible::Name).isEmpty());
    QVERIFY(!described->text(QAccessible::Description).isEmpty());
    QStringList texts;
    for (QWidget* widget : shown->findChildren<QWidget*>()) {
        if (!widget->isVisible() || !IsPaintedText(widget))
            continue;
        QAccessibleInterface* text = QAccessible::queryAccessibleInterface(widget);
        QCOMPARE(text->role(), QAccessible::StaticText);
        QAccessibleTextInterface* words = text->textInterface();
        QVERIFY(words);
        QCOMPARE(words->text(0, words->characterCount()), text->text(QAccessible::Name));
        texts.append(text->text(QAccessible::Name) + u" / "_qs +
                     text->text(QAccessible::Description));
    }
    const QString expected = page == u"CSearchDlg"_qs ? G_pSearchDlg->m_strResult + u" / "_qs
                                                      : G_mstrIPAddress + u" / IP Address"_qs;
    QVERIFY2(texts.contains(expected), qPrintable(texts.join(u" | "_qs)));
}

void TestKeyboard::spacePressesAPictureButtonEnterAndEscDoNot()
{
    QVERIFY(OpenConsole());
    auto* summary = static_cast<CSkinnedPage*>(G_pSummaryDlg);
    CPTButton* wireless = summary->StepButton(Skin::Wireless);
    wireless->setFocus(Qt::TabFocusReason);
    QVERIFY(wireless->hasFocus());
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        QTest::keyClick(wireless, key);
        QVERIFY(G_pSummaryDlg->isVisible());
        QVERIFY(m_frame->isVisible());
    }
    QTest::keyClick(wireless, Qt::Key_Space);
    QVERIFY(G_pSurveyDlg->isVisible());
    QVERIFY(!G_pSummaryDlg->isVisible());

    // A release without its press (the press went to another control) is no click.
    auto* survey = static_cast<CSkinnedPage*>(G_pSurveyDlg);
    CPTButton* firmware = survey->StepButton(Skin::Firmware);
    firmware->setFocus(Qt::TabFocusReason);
    QTest::keyRelease(firmware, Qt::Key_Space);
    QVERIFY(G_pSurveyDlg->isVisible());

    CPTButton* minimize = survey->MinimizeButton();
    minimize->setFocus(Qt::TabFocusReason);
    QTest::keyClick(minimize, Qt::Key_Escape);
    QVERIFY(!m_frame->isMinimized());
    QTest::keyClick(minimize, Qt::Key_Space);
    QVERIFY(m_frame->isMinimized());
}

void TestKeyboard::focusIsShownAndLeavesNoTrace()
{
    CSearchDlg* locate = G_pSearchDlg;
    QWidget* close = locate->findChild<CPTButton*>(QString::number(CSearchDlg::kClose));
    QVERIFY(close);
    // A mouse click leaves the skin as drawn: only the keyboard shows the focus.
    QCOMPARE(close->focusPolicy(), Qt::TabFocus);
    const QImage before = Grab(*close);
    // As after a Tab in the window.
    m_frame->setAttribute(Qt::WA_KeyboardFocusChange);
    close->setFocus(Qt::TabFocusReason);
    const QImage focused = Grab(*close);
    QCOMPARE(focused.size(), before.size());
    int changed = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x)
            changed += !Near(before.pixelColor(x, y), focused.pixelColor(x, y), 40);
    // A dotted frame round the inside: about half of its perimeter, none of the face inside.
    QVERIFY2(changed >= 12, qPrintable(QString::number(changed)));
    QCOMPARE(focused.copy(4, 4, 10, 10), before.copy(4, 4, 10, 10));
    close->clearFocus();
    QCOMPARE(Grab(*close), before);
}

void TestKeyboard::firstTabShowsAnUnseenFocus()
{
    // The window hands a picture button the focus when nothing else takes it (the Repeater page
    // has no control of its own): unseen until the keyboard is used, and then the first Tab
    // shows it where it is rather than moving on unseen.
    QVERIFY(OpenConsole());
    auto* summary = static_cast<CSkinnedPage*>(G_pSummaryDlg);
    CPTButton* first = summary->StepButton(Skin::Locate);
    m_frame->setAttribute(Qt::WA_KeyboardFocusChange, false);
    first->setFocus(Qt::ActiveWindowFocusReason);
    QVERIFY(first->hasFocus() && !first->ShowsFocus());
    QTest::keyClick(first, Qt::Key_Tab);
    QVERIFY(first->hasFocus() && first->ShowsFocus());
    QTest::keyClick(first, Qt::Key_Tab);
    QVERIFY(summary->StepButton(Skin::Repeater)->ShowsFocus());
}

void TestKeyboard::screenReaderCanPressAPictureButton()
{
    QVERIFY(OpenConsole());
    auto* summary = static_cast<CSkinnedPage*>(G_pSummaryDlg);
    QAccessibleInterface* step =
        QAccessible::queryAccessibleInterface(summary->StepButton(Skin::Password));
    QVERIFY(step);
    QCOMPARE(step->role(), QAccessible::Button);
    QVERIFY(step->state().focusable);
    QAccessibleActionInterface* actions = step->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
    actions->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(G_pPasswordDlg->isVisible());
    // The page it stands on says which step is current.
    QAccessibleInterface* own =
        QAccessible::queryAccessibleInterface(summary->StepButton(Skin::Repeater));
    QCOMPARE(own->text(QAccessible::Description), u"Current step"_qs);
}

void TestKeyboard::messageIsReadAsAnAlertAndItsOkTakesTheKeys()
{
    QVERIFY(OpenConsole());
    CTarn_MessageDlg* message = G_pMessageDlg;
    message->m_strMessage = u"Invalid &lt;IP&gt; address"_qs;
    QWidget* focus = nullptr;
    QString name;
    QAccessible::Role role = QAccessible::NoRole;
    QString okName;
    bool stayedUp = true;
    QTimer::singleShot(0, this, [&] {
        focus = QApplication::focusWidget();
        QAccessibleInterface* alert = QAccessible::queryAccessibleInterface(message);
        role = alert->role();
        name = alert->text(QAccessible::Name);
        okName =
            QAccessible::queryAccessibleInterface(message->OkButton())->text(QAccessible::Name);
        // The keys act on the focused OK: Enter and Esc still close nothing, Space presses it.
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(QApplication::focusWidget(), key);
            stayedUp = stayedUp && message->isVisible();
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    });
    QCOMPARE(message->exec(), 1);
    QCOMPARE(focus, message->OkButton());
    QCOMPARE(role, QAccessible::AlertMessage);
    QCOMPARE(name, u"Invalid <IP> address"_qs);
    QCOMPARE(okName, u"OK"_qs);
    QVERIFY(stayedUp);
}

void TestKeyboard::progressIsReadAsAProgressBar_data()
{
    QTest::addColumn<int>("frame");
    QTest::addColumn<int>("percent");
    QTest::newRow("first") << 0 << 0;
    QTest::newRow("Loading, LAN page read") << 3 << 30;
    QTest::newRow("last of the wait") << 9 << 90;
    QTest::newRow("finished") << 10 << 100;
}

void TestKeyboard::progressIsReadAsAProgressBar()
{
    QFETCH(int, frame);
    QFETCH(int, percent);
    QVERIFY(OpenConsole());
    CTarn_Progress* progress = G_pProgress;
    progress->m_strMessage = u"Rebooting...."_qs;
    QAccessibleInterface* bar = nullptr;
    QVariant value;
    QTimer::singleShot(0, this, [&] {
        progress->SetFrame(frame);
        bar = QAccessible::queryAccessibleInterface(progress);
        value = bar->valueInterface() ? bar->valueInterface()->currentValue() : QVariant();
        QCOMPARE(bar->text(QAccessible::Name), u"Rebooting...."_qs);
        progress->done(0);
    });
    progress->exec();
    QVERIFY(bar);
    QCOMPARE(bar->role(), QAccessible::ProgressBar);
    QCOMPARE(value.toInt(), percent);
    QCOMPARE(bar->valueInterface()->maximumValue().toInt(), 100);
}

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
