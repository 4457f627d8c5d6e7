#include "controls/ipaddressedit.h"
#include "controls/labellayout.h"
#include "controls/linktarget.h"

#include <QTest>

using namespace LabelLayout;

namespace
{

class Receiver : public QObject
{
public:
    std::vector<std::pair<unsigned, quintptr>> received;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != CAppCommandEvent::EventType())
            return QObject::event(event);
        auto* command = static_cast<CAppCommandEvent*>(event);
        received.emplace_back(command->Message(), command->WParam());
        return true;
    }
};

} // namespace

class TestControlsLogic : public QObject
{
    Q_OBJECT
private slots:
    void labelLinesBreakAtBackslashN();
    void labelIgnoresTheMouseOnlyWhenAllColoursAreEqual();
    void appCommandNames_data();
    void appCommandNames();
    void appCommandsReachTheFirstLiveWindow();
    void onlyWebAndMailLinksOpen_data();
    void onlyWebAndMailLinksOpen();
    void addressFieldsParse();
};

void TestControlsLogic::labelLinesBreakAtBackslashN()
{
    QCOMPARE(SplitLines(u"one\\ntwo"_qs), (QStringList{u"one"_qs, u"two"_qs}));
    QCOMPARE(SplitLines(u"one\ntwo"_qs), QStringList{u"one\ntwo"_qs});
    QCOMPARE(SplitLines(u"a\\n\\nb\\n"_qs), (QStringList{u"a"_qs, QString(), u"b"_qs, QString()}));
    QCOMPARE(SplitLines(u"back\\slash"_qs), QStringList{u"back\\slash"_qs});
}

void TestControlsLogic::labelIgnoresTheMouseOnlyWhenAllColoursAreEqual()
{
    QVERIFY(IgnoresMouse(Colors{}));
    QVERIFY(IgnoresMouse(Colors{0x123456, 0x123456, 0x123456, 0x123456, 0x123456}));
    QVERIFY(!IgnoresMouse(Colors{0, 0xFF, 0, 0, 0}));
    // Colours that merely add up to four times the normal one still differ from it.
    QVERIFY(!IgnoresMouse(Colors{2, 4, 0, 2, 2}));
    QVERIFY(!IgnoresMouse(Colors{0x808080, 0xFFFFFF, 0x010101, 0x808080, 0x808080}));
}

void TestControlsLogic::appCommandNames_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("isCommand");
    QTest::newRow("plain") << u"APP:Refresh"_qs << u"Refresh"_qs << true;
    QTest::newRow("any case") << u"app:Refresh"_qs << u"Refresh"_qs << true;
    QTest::newRow("quoted target") << u"\"APP:Refresh\""_qs << u"Refresh"_qs << true;
    QTest::newRow("quoted name") << u"APP:\"Refresh\""_qs << u"Refresh"_qs << true;
    QTest::newRow("empty name") << u"APP:"_qs << QString() << true;
    QTest::newRow("web") << u"http://example.com/"_qs << QString() << false;
    QTest::newRow("prefix inside") << u"xAPP:Refresh"_qs << QString() << false;
}

void TestControlsLogic::appCommandNames()
{
    QFETCH(QString, target);
    QFETCH(QString, name);
    QFETCH(bool, isCommand);
    const std::optional<QString> found = AppCommandName(target);
    QCOMPARE(found.has_value(), isCommand);
    if (found)
        QCOMPARE(*found, name);
}

void TestControlsLogic::appCommandsReachTheFirstLiveWindow()
{
    Receiver first, second;
    auto* gone = new Receiver;
    std::vector<CAppCommand> table{
        {gone, 1, 10, u"Go"_qs},
        {&first, 2, 20, u"Go"_qs},
        {&second, 3, 30, u"Go"_qs},
        {&second, 4, 40, u"Stop"_qs},
    };
    delete gone;
    QVERIFY(SendAppCommand(table, u"go"));
    QVERIFY(SendAppCommand(table, u"STOP"));
    QVERIFY(!SendAppCommand(table, u"Nope"));
    QCOMPARE(first.received, (std::vector<std::pair<unsigned, quintptr>>{{2, 20}}));
    QCOMPARE(second.received, (std::vector<std::pair<unsigned, quintptr>>{{4, 40}}));
}

void TestControlsLogic::onlyWebAndMailLinksOpen_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("openable");
    QTest::newRow("https") << u"https://example.com/help"_qs << true;
    QTest::newRow("quoted http") << u"\"http://example.com/\""_qs << true;
    QTest::newRow("bare host") << u"www.example.com"_qs << true;
    QTest::newRow("mail") << u"mailto:support@example.com"_qs << true;
    QTest::newRow("file url") << u"file:///etc/passwd"_qs << false;
    QTest::newRow("absolute path") << u"/usr/bin/xterm"_qs << false;
    QTest::newRow("desktop entry") << u"file:///tmp/x.desktop"_qs << false;
    QTest::newRow("script") << u"javascript:alert(1)"_qs << false;
    QTest::newRow("empty") << QString() << false;
}

void TestControlsLogic::onlyWebAndMailLinksOpen()
{
    QFETCH(QString, target);
    QFETCH(bool, openable);
    QCOMPARE(IsOpenableLink(target), openable);
}

void TestControlsLogic::addressFieldsParse()
{
    using Fields = std::array<std::optional<int>, 4>;
    QCOMPARE(CIPAddressEdit::ParseFields(u"192.168.0.1"), (Fields{192, 168, 0, 1}));
    QCOMPARE(CIPAddressEdit::ParseFields(u"10..3"), (Fields{10, std::nullopt, 3, std::nullopt}));
    QCOMPARE(CIPAddressEdit::ParseFields(u"300.1.x.4.5"), (Fields{255, 1, std::nullopt, 4}));
    QCOMPARE(CIPAddressEdit::ParseFields(u""), Fields{});
}

QTEST_GUILESS_MAIN(TestControlsLogic)
#include "test_logic.moc"
