#include "platform/codepage.h"
#include "platform/singleinstance.h"
#include "platform/stringtable.h"
#include "platform/tickcount.h"

#include <QFile>
#include <QTest>

class TestPlatform : public QObject
{
    Q_OBJECT
private slots:
    void layoutRect_data();
    void layoutRect();
    void layoutRectMissingEntryLeavesOutputs();
    void compiledTableHoldsTheTexts();
    void codePageDecodesEveryByteAndBack();
    void codePageHighRange();
    void codePageReplacesWhatItCannotHold();
    void codePageLongTextAsItsCharacters();
    void codePageMoveConvertsInPlace();
    void tickSourceCanSitAtTheWrap();
    void secondInstanceIsRefusedUntilTheFirstEnds();
    void raiseRequestAcceptsOnlyOneWellFormedLine_data();
    void raiseRequestAcceptsOnlyOneWellFormedLine();
    void laterStartRaisesTheFirstWithItsToken();
};

void TestPlatform::layoutRect_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("four values") << u"600,450,70,25"_qs << QList<int>{600, 450, 70, 25};
    QTest::newRow("one value is the height") << u"5"_qs << QList<int>{0, 0, 0, 5};
    QTest::newRow("two values") << u"7,9"_qs << QList<int>{7, 0, 0, 9};
    QTest::newRow("non-digits read as 0") << u"a,12px,,x"_qs << QList<int>{0, 12, 0, 0};
    QTest::newRow("blanks and signs") << u" 3, -4,+5 ,\t6"_qs << QList<int>{3, -4, 5, 6};
    QTest::newRow("extra commas stay in the height") << u"1,2,3,4,5"_qs << QList<int>{1, 2, 3, 4};
    QTest::newRow("huge saturates") << u"99999999999,1,1,1"_qs << QList<int>{2147483647, 1, 1, 1};
    QTest::newRow("empty") << QString() << QList<int>{0, 0, 0, 0};
}

void TestPlatform::layoutRect()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, expected);
    int x = -1, y = -1, w = -1, h = -1;
    ParseLayoutRect(text, x, y, w, h);
    QCOMPARE((QList<int>{x, y, w, h}), expected);
}

void TestPlatform::layoutRectMissingEntryLeavesOutputs()
{
    LoadStringTableForTest("# comment\n900\t\n901\t1,2,3,4\r\n");
    int x = 11, y = 12, w = 13, h = 14;
    QVERIFY(!GetLayoutRect(900, x, y, w, h)); // empty entry
    QVERIFY(!GetLayoutRect(999, x, y, w, h)); // missing entry
    QCOMPARE((QList<int>{x, y, w, h}), (QList<int>{11, 12, 13, 14}));
    QVERIFY(GetLayoutRect(901, x, y, w, h));
    QCOMPARE((QList<int>{x, y, w, h}), (QList<int>{1, 2, 3, 4}));
    LoadStringTableForTest(QByteArray()); // leave no trace for the next test
}

void TestPlatform::compiledTableHoldsTheTexts()
{
    // Reads the table compiled into the program, not a test copy.
    QFile file(u":/strings.txt"_qs);
    QVERIFY(file.open(QIODevice::ReadOnly));
    LoadStringTableForTest(file.readAll());
    QCOMPARE(LoadString(178), u"Kelda Support Utility"_qs);
    QCOMPARE(LoadString(207), u"Cannot Connect to Repeater."_qs);
    QCOMPARE(LoadString(112), u"Smart Repeaters Found !"_qs);
    int x = 0, y = 0, w = 0, h = 0;
    QVERIFY(GetLayoutRect(191, x, y, w, h));
    QCOMPARE((QList<int>{x, y, w, h}), (QList<int>{600, 450, 70, 25}));
}

void TestPlatform::codePageDecodesEveryByteAndBack()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = FromAnsi(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(ToAnsi(text), all);
}

void TestPlatform::codePageHighRange()
{
    QCOMPARE(FromAnsi("\x80"), QString(QChar(0x20AC)));
    QCOMPARE(FromAnsi("\x9f"), QString(QChar(0x0178)));
    QCOMPARE(FromAnsi("\x81\x8d\x8f\x90\x9d"), u"\u0081\u008d\u008f\u0090\u009d"_qs);
    QCOMPARE(FromAnsi("caf\xe9"), u"caf\u00e9"_qs);
    QCOMPARE(ToAnsi(u"\u20ac\u2122\u00ff"), QByteArray("\x80\x99\xff"));
}

void TestPlatform::codePageReplacesWhatItCannotHold()
{
    QCOMPARE(ToAnsi(u"a\u0100b"), QByteArray("a?b"));
    QCOMPARE(ToAnsi(u"\u0080"), QByteArray("?"));         // defined at 0x80 is the euro, not U+0080
    QCOMPARE(ToAnsi(u"x\U0001F600y"), QByteArray("x?y")); // one character, one "?"
    QCOMPARE(ToAnsi(u"\xd800z"), QByteArray("?z"));       // a lone surrogate
}

void TestPlatform::codePageLongTextAsItsCharacters()
{
    // Long texts go through in blocks of plain ASCII; characters that need the table, pairs
    // and lone surrogates, at every position against those blocks, come out as they do alone.
    const QStringList pieces = {u"\u20ac"_qs,     u"\u00ff"_qs,           u"\u0100"_qs,
                                u"\U0001F600"_qs, QString(QChar(0xD800)), u"\u0080"_qs,
                                u"\u00e9"_qs};
    for (int shift = 0; shift < 70; ++shift) {
        QString text(shift, u'a');
        QByteArray expected(shift, 'a');
        for (int round = 0; round < 3; ++round) {
            for (const QString& piece : pieces) {
                text += piece + QString(61 + round, u'x');
                expected += ToAnsi(piece) + QByteArray(61 + round, 'x');
            }
        }
        QCOMPARE(ToAnsi(text), expected);
    }
}

void TestPlatform::codePageMoveConvertsInPlace()
{
    // Plain ASCII nobody shares becomes the bytes in its own buffer; anything else converts as
    // ToAnsi does. Either way the text is used up.
    QString ascii = QString(1000, u'?') + u"GET / HTTP/1.1\r\n"_qs;
    const QByteArray asciiBytes = ToAnsi(ascii);
    const void* buffer = ascii.constData();
    const QByteArray moved = MoveToAnsi(std::move(ascii));
    QCOMPARE(moved, asciiBytes);
    QCOMPARE(static_cast<const void*>(moved.constData()), buffer);

    const QString kept = u"shared"_qs + QString(100, u'x');
    QString shared = kept;
    QCOMPARE(MoveToAnsi(std::move(shared)), ToAnsi(kept));
    QCOMPARE(kept.size(), 106);

    for (const QString& text : {QString(200, u'a') + u"\u20ac\u0100\U0001F600"_qs,
                                u"\u00e9"_qs + QString(70, u'b'), QString(QChar(0x80))}) {
        QString copy = text;
        copy.detach();
        QCOMPARE(MoveToAnsi(std::move(copy)), ToAnsi(text));
    }
}

void TestPlatform::tickSourceCanSitAtTheWrap()
{
    std::uint32_t now = 0xFFFFFFF0u;
    SetTickSourceForTest([&now] { return now; });
    const std::uint32_t before = GetTickCount();
    now += 0x20;
    QCOMPARE(GetTickCount(), 0x10u);
    QCOMPARE(std::uint32_t(GetTickCount() - before), 0x20u);
    SetTickSourceForTest({});
    const std::uint32_t a = GetTickCount();
    QTest::qWait(20);
    QVERIFY(std::uint32_t(GetTickCount() - a) >= 15);
}

void TestPlatform::secondInstanceIsRefusedUntilTheFirstEnds()
{
    {
        const CSingleInstance first(u"Brevik Tarn Ostrel"_qs);
        QVERIFY(first.IsFirst());
        const CSingleInstance second(u"Brevik Tarn Ostrel"_qs);
        QVERIFY(!second.IsFirst());
    }
    const CSingleInstance again(u"Brevik Tarn Ostrel"_qs);
    QVERIFY(again.IsFirst());
}

void TestPlatform::raiseRequestAcceptsOnlyOneWellFormedLine_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QByteArray>("token");
    QTest::newRow("no token") << QByteArray("RAISE\n") << true << QByteArray();
    QTest::newRow("X11 startup id") << QByteArray("RAISE launcher-42-host-kelda_TIME123456\n")
                                    << true << QByteArray("launcher-42-host-kelda_TIME123456");
    QTest::newRow("quote and backslash are token characters")
        << QByteArray("RAISE a\"b\\c\n") << true << QByteArray("a\"b\\c");
    QTest::newRow("empty token after the space") << QByteArray("RAISE \n") << false << QByteArray();
    QTest::newRow("space inside") << QByteArray("RAISE a b\n") << false << QByteArray();
    QTest::newRow("control character") << QByteArray("RAISE a\x1b[2J\n") << false << QByteArray();
    QTest::newRow("not ASCII") << QByteArray("RAISE \xc3\xa9\n") << false << QByteArray();
    QTest::newRow("no line end") << QByteArray("RAISE abc") << false << QByteArray();
    QTest::newRow("two lines") << QByteArray("RAISE a\nRAISE b\n") << false << QByteArray();
    QTest::newRow("other word") << QByteArray("RAISED\n") << false << QByteArray();
    QTest::newRow("longer than a request may be")
        << QByteArray("RAISE " + QByteArray(CSingleInstance::kMaxRequest, 'x') + "\n") << false
        << QByteArray();
}

void TestPlatform::raiseRequestAcceptsOnlyOneWellFormedLine()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    QFETCH(QByteArray, token);
    const std::optional<QByteArray> parsed = CSingleInstance::ParseRaiseRequest(bytes);
    QCOMPARE(parsed.has_value(), accepted);
    if (accepted) {
        QCOMPARE(*parsed, token);
        QCOMPARE(CSingleInstance::RaiseRequest(token), bytes);
    }
}

void TestPlatform::laterStartRaisesTheFirstWithItsToken()
{
    CSingleInstance first(u"Brevik Tarn Ostrel"_qs);
    const CSingleInstance later(u"Brevik Tarn Ostrel"_qs);
    QVERIFY(first.IsFirst() && !later.IsFirst());
    // Nobody listens yet: the later start is told so, and ends all the same.
    QVERIFY(!later.AskFirstToRaise("t1"));
    // A first start that died left its socket behind: the next one listens all the same.
    QFile stale(first.SocketPath());
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    QVERIFY(!later.AskFirstToRaise("t1"));

    QByteArrayList raised;
    QVERIFY(first.ListenForLaterStarts([&](const QByteArray& token) { raised.append(token); }));
    QVERIFY(later.AskFirstToRaise("desk_TIME42"));
    QVERIFY(later.AskFirstToRaise({}));
    QTRY_COMPARE(raised, (QByteArrayList{"desk_TIME42", QByteArray()}));
    // A malformed token is refused where it arrives: only the well-formed request after it
    // raises.
    QVERIFY(later.AskFirstToRaise("two words"));
    QVERIFY(later.AskFirstToRaise("after"));
    QTRY_COMPARE(raised, (QByteArrayList{"desk_TIME42", QByteArray(), "after"}));
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
