#include "controls/colortext.h"
#include "controls/namedcolors.h"
#include "controls/syscolors.h"

#include <QSet>
#include <QTest>

namespace
{

// Stands in for the desktop: index i has colour (i, 100, 200), so a test can see which index
// a name resolved to.
COLORREF IndexColor(int index)
{
    return MakeColorRef(index, 100, 200);
}

} // namespace

class TestColors : public QObject
{
    Q_OBJECT
private slots:
    void colorTexts_data();
    void colorTexts();
    void tableHoldsItsOwnValues_data();
    void tableHoldsItsOwnValues();
    void tableShape();
    void desktopNamesResolveAtUse();
};

void TestColors::colorTexts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("expected");
    QTest::newRow("hex") << u"#FF0000"_qs << uint(MakeColorRef(255, 0, 0));
    QTest::newRow("hex lower case") << u"#00ff7f"_qs << uint(MakeColorRef(0, 255, 127));
    QTest::newRow("hex three digits") << u"#F00"_qs << 0u;
    QTest::newRow("hex eight characters") << u"#FF00001"_qs << 0u;
    QTest::newRow("hash not first") << u"FF#0000"_qs << 0u;
    QTest::newRow("hex bad digit") << u"#FF00G0"_qs << 0u;
    QTest::newRow("two numbers") << u"255,0"_qs << uint(MakeColorRef(255, 0, 0));
    QTest::newRow("three numbers") << u"1,2,3"_qs << uint(MakeColorRef(1, 2, 3));
    QTest::newRow("blanks and signs") << u" 10, +20 ,30"_qs << uint(MakeColorRef(10, 20, 30));
    QTest::newRow("cut to eight bits") << u"256,-1,511"_qs << uint(MakeColorRef(0, 255, 255));
    QTest::newRow("not numbers") << u"a,b,c"_qs << 0u;
    QTest::newRow("commas win over hash") << u"#1,2"_qs << uint(MakeColorRef(0, 2, 0));
    QTest::newRow("name") << u"Navy"_qs << uint(MakeColorRef(0, 0, 0x80));
    QTest::newRow("name any case") << u"dodgerBLUE"_qs << uint(MakeColorRef(0x1E, 0x90, 0xFF));
    QTest::newRow("unknown name") << u"Blurple"_qs << 0u;
    QTest::newRow("empty") << QString() << 0u;
    QTest::newRow("desktop name lower case") << u"windowtext"_qs << uint(IndexColor(8));
    QTest::newRow("desktop name") << u"BtnFace"_qs << uint(IndexColor(15));
}

void TestColors::colorTexts()
{
    QFETCH(QString, text);
    QFETCH(uint, expected);
    QCOMPARE(uint(ParseColorText(text, IndexColor)), expected);
}

void TestColors::tableHoldsItsOwnValues_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<uint>("value");
    QTest::newRow("BlanchedAlmond") << u"BlanchedAlmond"_qs << uint(MakeColorRef(0xFF, 0xFF, 0xCD));
    QTest::newRow("Gray") << u"Gray"_qs << uint(MakeColorRef(0x7F, 0x7F, 0x7F));
    QTest::newRow("YellowGreen") << u"YellowGreen"_qs << uint(MakeColorRef(0x8B, 0xCD, 0x32));
    QTest::newRow("AliceBlue") << u"AliceBlue"_qs << uint(MakeColorRef(0xF0, 0xF8, 0xFF));
    QTest::newRow("LightGoldenRodYellow")
        << u"LightGoldenRodYellow"_qs << uint(MakeColorRef(0xFA, 0xFA, 0xD2));
    QTest::newRow("Lawngreen") << u"Lawngreen"_qs << uint(MakeColorRef(0x7C, 0xFC, 0x00));
    QTest::newRow("Burlywood") << u"Burlywood"_qs << uint(MakeColorRef(0xDE, 0xB8, 0x87));
    QTest::newRow("Aqua equals Cyan") << u"Cyan"_qs << uint(MakeColorRef(0, 0xFF, 0xFF));
}

void TestColors::tableHoldsItsOwnValues()
{
    QFETCH(QString, name);
    QFETCH(uint, value);
    QCOMPARE(uint(CXNamedColors::Find(name, IndexColor).value()), value);
}

void TestColors::tableShape()
{
    QCOMPARE(CXNamedColors::Count(), 179);
    int desktop = 0;
    QSet<QString> names;
    for (int i = 0; i < CXNamedColors::Count(); ++i) {
        const CXNamedColors::Entry& entry = CXNamedColors::At(i);
        names.insert(QString::fromUtf16(entry.name).toLower());
        if (entry.value & CXNamedColors::kSystemColorFlag)
            ++desktop;
        else
            QVERIFY2(entry.value <= 0xFFFFFF, qPrintable(QString::fromUtf16(entry.name)));
    }
    QCOMPARE(desktop, 39);
    QCOMPARE(names.size(), 179);
}

void TestColors::desktopNamesResolveAtUse()
{
    // Pairs of names that share an index, and the odd ones out.
    const std::pair<const char16_t*, int> expected[] = {
        {u"ScrollBar", 0},
        {u"Desktop", 1},
        {u"Background", 1},
        {u"Window", 5},
        {u"WindowText", 8},
        {u"BtnHilight", 20},
        {u"ControlLightLight", 20},
        {u"ControlDarkDark", 21},
        {u"Info", 24},
        {u"InfoBk", 24},
        {u"InfoText", 23},
        {u"HotTrack", 26},
        {u"MenuBar", 30},
        {u"MenuHilight", 29},
        {u"GrayText", 17},
    };
    for (const auto& [name, index] : expected)
        QCOMPARE(uint(CXNamedColors::Find(QStringView(name), IndexColor).value()),
                 uint(IndexColor(index)));
    // Without a GUI application the classic desktop colours stand in.
    QCOMPARE(uint(GetSysColor(kColorWindow)), uint(MakeColorRef(255, 255, 255)));
    QCOMPARE(uint(GetSysColor(kColorWindowText)), 0u);
    QCOMPARE(uint(GetSysColor(25)), 0u);
    QCOMPARE(uint(GetSysColor(-1)), 0u);
}

QTEST_GUILESS_MAIN(TestColors)
#include "test_colors.moc"
