#include "controls/markup.h"
#include "controls/markuplayout.h"

#include <QElapsedTimer>
#include <QTest>

using namespace Markup;

namespace
{

// Fixed pitch: every character 10 pixels wide and high, ascent 7; lines advance by 12.
MarkupStart Start(int width = 200, int height = 100)
{
    MarkupStart start;
    start.font.face = u"Verdana"_qs;
    start.font.height = -10;
    start.textColor = MakeColorRef(1, 2, 3);
    start.backColor = MakeColorRef(250, 250, 250);
    start.client = QRect(0, 0, width, height);
    start.resolver = DefaultSysColor;
    return start;
}

MarkupLayout Layout(const QString& text, const MarkupStart& start = Start())
{
    return LayoutMarkup(text, start, CFixedPitchMeasure());
}

QStringList Texts(const MarkupLayout& layout)
{
    QStringList texts;
    for (const MarkupPiece& piece : layout.pieces)
        texts.append(piece.text);
    return texts;
}

} // namespace

class TestMarkup : public QObject
{
    Q_OBJECT
private slots:
    void entitiesBecomeMarkersAndBack();
    void entitiesNeverOpenTags();
    void tagsMatchInAnyCaseAndOthersAreText_data();
    void tagsMatchInAnyCaseAndOthersAreText();
    void attributesKeepTheirRawForm();
    void centredLineSitsInTheMiddle();
    void wordsWrapAndLinesAdvanceByAQuarterMore();
    void linesBelowTheBottomAreLeftOut();
    void breaksLineFeedsAndReturns();
    void leadingSpacesDropButMarkedSpacesStay();
    void countersDriveStylesAndIgnoreStrayEndTags();
    void fontTagChangesAndEndFontRestores();
    void bigSmallSubAndSup();
    void rulesTakeTheirOwnRoom();
    void linksRecordEveryDrawnPiece();
    void hostileValuesAreBounded();
    void unclosedTagsCostLinearTime();
    void plainTextIsWhatTheStaticShows_data();
    void plainTextIsWhatTheStaticShows();
};

void TestMarkup::entitiesBecomeMarkersAndBack()
{
    QCOMPARE(EntityCount(), 24);
    for (int i = 0; i < EntityCount(); ++i) {
        const QString marked = MarkEntities(QStringView(EntityAt(i).name));
        QCOMPARE(marked.size(), 2);
        QCOMPARE(marked[0], QChar(kEntityMarker));
        QCOMPARE(marked[1].unicode(), char16_t(i + 2));
        QCOMPARE(EntityCharacter(marked[1].unicode()), QChar(EntityAt(i).character));
    }
    QCOMPARE(EntityCharacter(0), QChar(u' '));
    QCOMPARE(EntityCharacter(26), QChar(u' '));
    QCOMPARE(Texts(Layout(u"&euro;5 &copy;&trade;"_qs)), QStringList{u"\u20AC5 \u00A9\u2122"_qs});
    // Matched case-sensitively, and an escaped ampersand does not start a second entity.
    QCOMPARE(Texts(Layout(u"&AMP;"_qs)), QStringList{u"&AMP;"_qs});
    QCOMPARE(Texts(Layout(u"&amp;lt;"_qs)), QStringList{u"&lt;"_qs});
}

void TestMarkup::entitiesNeverOpenTags()
{
    const MarkupLayout layout = Layout(u"&lt;b&gt;plain"_qs);
    QCOMPARE(Texts(layout), QStringList{u"<b>plain"_qs});
    QCOMPARE(layout.pieces[0].font.weight, kWeightNormal);
    // A stray marker, even a last one, or one whose code is "<", stays harmless text.
    QCOMPARE(Texts(Layout(QString(QChar(kEntityMarker)))), QStringList());
    const MarkupLayout odd = Layout(u"a"_qs + QChar(kEntityMarker) + u"<B>x"_qs);
    QCOMPARE(Texts(odd), QStringList{u"a B>x"_qs});
    QCOMPARE(odd.pieces[0].font.weight, kWeightNormal);
    // An escaped device value shows exactly as it came, links and entities included.
    const QString ssid = u"<A HREF=http://x/>Cafe&amp;Bar</A>"_qs;
    const MarkupLayout escaped = Layout(EscapeMarkup(ssid), Start(1000, 100));
    QCOMPARE(Texts(escaped), QStringList{ssid});
    QVERIFY(escaped.links.empty());
}

void TestMarkup::tagsMatchInAnyCaseAndOthersAreText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<int>("boldPieces");
    QTest::newRow("lower case") << u"<b>x</b>y"_qs << QStringList{u"x"_qs, u"y"_qs} << 1;
    QTest::newRow("mixed case") << u"<B>x</b>y"_qs << QStringList{u"x"_qs, u"y"_qs} << 1;
    QTest::newRow("unknown tag") << u"<X>y"_qs << QStringList{u"<X>y"_qs} << 0;
    QTest::newRow("anchor without target") << u"<A>y</A>"_qs << QStringList{u"<A>y"_qs} << 0;
    QTest::newRow("unclosed font")
        << u"<FONT COLOR=red"_qs << QStringList{u"<FONT COLOR=red"_qs} << 0;
    QTest::newRow("tag name prefix") << u"<FONTS>x"_qs << QStringList{u"<FONTS>x"_qs} << 0;
    QTest::newRow("break with slash") << u"a<BR/>b"_qs << QStringList{u"a<BR/>b"_qs} << 0;
}

void TestMarkup::tagsMatchInAnyCaseAndOthersAreText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, pieces);
    QFETCH(int, boldPieces);
    const MarkupLayout layout = Layout(text);
    QCOMPARE(Texts(layout), pieces);
    int bold = 0;
    for (const MarkupPiece& piece : layout.pieces)
        bold += piece.font.weight == kWeightBold;
    QCOMPARE(bold, boldPieces);
}

void TestMarkup::attributesKeepTheirRawForm()
{
    const auto tokens = Tokenize(u"<font color=\"#FF0000\"  FACE=Arial size=2><a href=\"APP:Go\">"
                                 u"x</a><hr>"_qs);
    QCOMPARE(tokens.size(), size_t(5));
    QCOMPARE(tokens[0].tag, Tag::Font);
    QCOMPARE(tokens[0].Find(u"COLOR")->value, u"#FF0000"_qs);
    QCOMPARE(tokens[0].Find(u"FACE")->value, u"Arial"_qs);
    QCOMPARE(tokens[0].Find(u"SIZE")->value, u"2"_qs);
    QCOMPARE(tokens[1].tag, Tag::Anchor);
    QCOMPARE(tokens[1].Find(u"HREF")->raw, u"\"APP:Go\""_qs);
    QCOMPARE(tokens[2].text, u"x"_qs);
    QCOMPARE(tokens[3].tag, Tag::EndAnchor);
    QCOMPARE(tokens[4].tag, Tag::Rule);
    QVERIFY(tokens[4].attributes.isEmpty());
}

void TestMarkup::centredLineSitsInTheMiddle()
{
    const MarkupLayout layout = Layout(u"<CENTER>Message</CENTER>"_qs);
    QCOMPARE(layout.pieces.size(), size_t(1));
    QCOMPARE(layout.pieces[0].rect, QRect(65, 0, 70, 10));
    // Wrapped centred lines are centred on their words, not on the space that ended them.
    const MarkupLayout wrapped = Layout(u"<CENTER>aaaa bbbb</CENTER>"_qs, Start(60, 100));
    QCOMPARE(Texts(wrapped), (QStringList{u"aaaa "_qs, u"bbbb"_qs}));
    QCOMPARE(wrapped.pieces[0].rect.left(), 10);
    QCOMPARE(wrapped.pieces[1].rect.left(), 10);
    // A line wider than the control starts at its left edge rather than before it.
    QCOMPARE(Layout(u"<CENTER>abcdefghijk</CENTER>"_qs, Start(60, 100)).pieces[0].rect.left(), 0);
}

void TestMarkup::wordsWrapAndLinesAdvanceByAQuarterMore()
{
    // Room is the width less 2: "aaaa bbbb" (90) fits in 98, "cccc" would make 140.
    const MarkupLayout layout = Layout(u"aaaa bbbb cccc"_qs, Start(100, 100));
    QCOMPARE(Texts(layout), (QStringList{u"aaaa bbbb "_qs, u"cccc"_qs}));
    QCOMPARE(layout.pieces[0].rect.topLeft(), QPoint(0, 0));
    QCOMPARE(layout.pieces[1].rect.topLeft(), QPoint(0, 12));
    QCOMPARE(layout.pieces[0].baseline, 7);
    // A word longer than a whole line stands alone on its line.
    const MarkupLayout longWord = Layout(u"ab abcdefghijkl cd"_qs, Start(100, 100));
    QCOMPARE(Texts(longWord), (QStringList{u"ab "_qs, u"abcdefghijkl "_qs, u"cd"_qs}));
    QCOMPARE(longWord.pieces[2].rect.top(), 24);
    // Style changes in the middle of a line continue where the last piece ended.
    const MarkupLayout mixed = Layout(u"ab <B>cd</B> ef"_qs);
    QCOMPARE(Texts(mixed), (QStringList{u"ab "_qs, u"cd"_qs, u" ef"_qs}));
    QCOMPARE(mixed.pieces[1].rect.left(), 30);
    QCOMPARE(mixed.pieces[2].rect.left(), 50);
}

void TestMarkup::linesBelowTheBottomAreLeftOut()
{
    // Second line at y 12 would end at 22, below a 20 pixel high client.
    const MarkupLayout layout = Layout(u"a<BR>b"_qs, Start(200, 20));
    QCOMPARE(Texts(layout), QStringList{u"a"_qs});
    QCOMPARE(Texts(Layout(u"a<BR>b"_qs, Start(200, 22))), (QStringList{u"a"_qs, u"b"_qs}));
}

void TestMarkup::breaksLineFeedsAndReturns()
{
    for (const QString& text : {u"a<BR>b"_qs, u"a\nb"_qs, u"a\r\nb"_qs, u"a<br>b"_qs}) {
        const MarkupLayout layout = Layout(text);
        QCOMPARE(layout.pieces.size(), size_t(2));
        QCOMPARE(layout.pieces[1].rect.topLeft(), QPoint(0, 12));
    }
    QCOMPARE(Texts(Layout(u"a\rb"_qs)), QStringList{u"ab"_qs});
    QCOMPARE(Layout(u"<BR><BR>b"_qs).pieces[0].rect.top(), 24);
}

void TestMarkup::leadingSpacesDropButMarkedSpacesStay()
{
    QCOMPARE(Texts(Layout(u"   a"_qs)), QStringList{u"a"_qs});
    QCOMPARE(Texts(Layout(u"a<BR>  b"_qs)), (QStringList{u"a"_qs, u"b"_qs}));
    QCOMPARE(Texts(Layout(u"&nbsp;&nbsp;a"_qs)), QStringList{u"  a"_qs});
    QCOMPARE(Texts(Layout(u"a  b"_qs)), QStringList{u"a  b"_qs});
}

void TestMarkup::countersDriveStylesAndIgnoreStrayEndTags()
{
    const MarkupLayout layout = Layout(u"<B><B>a</B>b</B>c<I>d</I><U>e</U><STRIKE>f</STRIKE>"_qs);
    QCOMPARE(Texts(layout), (QStringList{u"ab"_qs, u"c"_qs, u"d"_qs, u"e"_qs, u"f"_qs}));
    QCOMPARE(layout.pieces[0].font.weight, kWeightBold);
    QCOMPARE(layout.pieces[1].font.weight, kWeightNormal);
    QVERIFY(layout.pieces[2].font.italic);
    QVERIFY(layout.pieces[3].font.underline);
    QVERIFY(layout.pieces[4].font.strikeOut);
    // An end tag with nothing open must not swallow the next start tag.
    QCOMPARE(Layout(u"</B></B><B>x"_qs).pieces[0].font.weight, kWeightBold);
    QCOMPARE(Layout(u"</CENTER><CENTER>ab"_qs).pieces[0].rect.left(), 90);
}

void TestMarkup::fontTagChangesAndEndFontRestores()
{
    const MarkupLayout layout =
        Layout(u"<FONT COLOR=\"#FF0000\" BGCOLOR=\"0,0,255\" FACE=\"Arial\" SIZE=\"2\">a</FONT>b"
               u"<CODE>c</CODE>d<FONT COLOR=Lime>e"_qs);
    QCOMPARE(Texts(layout), (QStringList{u"a"_qs, u"b"_qs, u"c"_qs, u"d"_qs, u"e"_qs}));
    QCOMPARE(layout.pieces[0].textColor, MakeColorRef(255, 0, 0));
    QCOMPARE(layout.pieces[0].backColor, MakeColorRef(0, 0, 255));
    QCOMPARE(layout.pieces[0].font.face, u"Arial"_qs);
    QCOMPARE(layout.pieces[0].font.height, -12);
    QCOMPARE(layout.pieces[1].textColor, Start().textColor);
    QCOMPARE(layout.pieces[1].backColor, Start().backColor);
    QCOMPARE(layout.pieces[1].font.face, u"Verdana"_qs);
    QCOMPARE(layout.pieces[1].font.height, -10);
    QCOMPARE(layout.pieces[2].font.face, u"Courier New"_qs);
    QCOMPARE(layout.pieces[3].font.face, u"Verdana"_qs);
    QCOMPARE(layout.pieces[4].textColor, MakeColorRef(0, 255, 0));
}

void TestMarkup::bigSmallSubAndSup()
{
    const MarkupLayout layout = Layout(u"<BIG>a</BIG><SMALL>b</SMALL>c<SUB>d</SUB><SUP>e</SUP>"_qs);
    QCOMPARE(layout.pieces[0].font.height, -11);
    QCOMPARE(layout.pieces[1].font.height, -9);
    QCOMPARE(layout.pieces[2].font.height, -10);
    // The tallest piece sets the line: ascent 8 of the 11 pixel font; subscript half an
    // ascent lower, superscript half higher.
    QCOMPARE(layout.pieces[2].baseline, 8);
    QCOMPARE(layout.pieces[3].baseline, 8 + 3);
    QCOMPARE(layout.pieces[4].baseline, 8 - 3);
    // A positive (cell) height grows in the same direction of magnitude.
    MarkupStart cell = Start();
    cell.font.height = 10;
    QCOMPARE(Layout(u"<BIG>a"_qs, cell).pieces[0].font.height, 11);
    QCOMPARE(Layout(u"<SMALL>a"_qs, cell).pieces[0].font.height, 9);
}

void TestMarkup::rulesTakeTheirOwnRoom()
{
    const MarkupLayout layout = Layout(u"a<HR SIZE=4>b<HR>c"_qs);
    QCOMPARE(layout.rules.size(), size_t(2));
    QCOMPARE(layout.rules[0].rect, QRect(0, 12, 200, 4));
    QCOMPARE(layout.rules[0].color, Start().textColor);
    QCOMPARE(layout.pieces[1].rect.top(), 16);
    // A rule without SIZE is always 2 thick, whatever the previous one was.
    QCOMPARE(layout.rules[1].rect, QRect(0, 28, 200, 2));
    QCOMPARE(layout.pieces[2].rect.top(), 30);
    QCOMPARE(layout.lastRuleSize, 2);
    QCOMPARE(Layout(u"<HR SIZE=\"7\">"_qs).lastRuleSize, 7);
}

void TestMarkup::linksRecordEveryDrawnPiece()
{
    const MarkupLayout layout =
        Layout(u"go <A HREF=\"APP:Go\">aaaa bbbb</A> <A HREF=http://x/>c</A>"_qs, Start(100, 24));
    QCOMPARE(layout.targets, (std::vector<QString>{u"\"APP:Go\""_qs, u"http://x/"_qs}));
    QCOMPARE(layout.links.size(), size_t(3));
    QCOMPARE(layout.links[0].rect, QRect(30, 0, 50, 10));
    QCOMPARE(layout.links[0].target, 0);
    QCOMPARE(layout.links[1].rect, QRect(0, 12, 40, 10));
    QCOMPARE(layout.links[1].target, 0);
    QCOMPARE(layout.links[2].target, 1);
    // Links on lines that are not drawn cannot be clicked.
    QCOMPARE(Layout(u"a<BR><A HREF=x>b</A>"_qs, Start(100, 15)).links.size(), size_t(0));
}

void TestMarkup::hostileValuesAreBounded()
{
    QCOMPARE(Layout(u"<FONT SIZE=-99999999999>x"_qs, Start(200, 1000)).pieces[0].font.height,
             kMaxFontPixels);
    QCOMPARE(Layout(u"<FONT SIZE=99999999999>x"_qs, Start(200, 1000)).pieces[0].font.height,
             -kMaxFontPixels);
    QString shrink;
    for (int i = 0; i < 50; ++i)
        shrink += u"<SMALL>"_qs;
    QCOMPARE(Layout(shrink + u"x"_qs).pieces[0].font.height, -1);
    const MarkupLayout rule = Layout(u"<HR SIZE=-5>a<HR SIZE=2000000>b"_qs);
    QCOMPARE(rule.rules[0].rect.height(), 0);
    QCOMPARE(rule.pieces[0].rect.top(), 0);
    QCOMPARE(rule.rules[1].rect.height(), kMaxRuleSize);
    // A long text without spaces and deep nesting lay out without trouble.
    QCOMPARE(Layout(QString(100000, u'x')).pieces.size(), size_t(1));
    QString nested;
    for (int i = 0; i < 10000; ++i)
        nested += u"<B><FONT COLOR=red><A HREF=x>"_qs;
    QCOMPARE(Layout(nested + u"y"_qs).pieces[0].font.weight, kWeightBold);
}

void TestMarkup::unclosedTagsCostLinearTime()
{
    // A tag that fails for want of ">" must not hide a later one that has it.
    const auto tokens = Markup::Tokenize(u"<A x <FONT COLOR=red>y"_qs);
    QCOMPARE(tokens.size(), size_t(3));
    QCOMPARE(tokens[0].text, u"<A x "_qs);
    QCOMPARE(tokens[1].tag, Markup::Tag::Font);
    QCOMPARE(tokens[2].text, u"y"_qs);

    // Each "<A " once searched to the end of the text for its ">": a million characters took
    // minutes.
    const QString text = u"<A x<FONT <HR "_qs.repeated(70000);
    QElapsedTimer timer;
    timer.start();
    const auto run = Markup::Tokenize(text);
    QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(run.size(), size_t(1));
    QCOMPARE(run[0].text, text);
}

void TestMarkup::plainTextIsWhatTheStaticShows_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("plain");
    QTest::newRow("centred") << u"<CENTER>Loading....</CENTER>"_qs << u"Loading...."_qs;
    QTest::newRow("entities") << u"20&deg; &amp; &copy;"_qs << u"20\u00b0 & \u00a9"_qs;
    QTest::newRow("unknown entity is text") << u"Caf&eacute;"_qs << u"Caf&eacute;"_qs;
    QTest::newRow("escaped device value") << u"&lt;b&gt;x"_qs << u"<b>x"_qs;
    QTest::newRow("styles") << u"<B>a</B><I>b</I><FONT COLOR=\"red\">c</FONT>"_qs << u"abc"_qs;
    QTest::newRow("link") << u"<A HREF=\"http://x\">site</A>"_qs << u"site"_qs;
    QTest::newRow("unknown tag is text") << u"<X>y"_qs << u"<X>y"_qs;
    QTest::newRow("break") << u"a<BR>b"_qs << u"a\nb"_qs;
    QTest::newRow("line ends") << u"a\r\nb"_qs << u"a\nb"_qs;
}

// A screen reader gets the characters the layout draws, in their order; only the spacing between
// lines differs.
void TestMarkup::plainTextIsWhatTheStaticShows()
{
    QFETCH(QString, text);
    QFETCH(QString, plain);
    QCOMPARE(PlainText(text), plain);
    const auto characters = [](QString words) {
        return words.remove(u' ').remove(u'\n');
    };
    QCOMPARE(characters(Texts(Layout(text, Start(400))).join(QString())), characters(plain));
}

QTEST_GUILESS_MAIN(TestMarkup)
#include "test_markup.moc"
