#include "platform/stringtable.h"
#include "rules/addressrules.h"
#include "rules/labelareas.h"
#include "rules/passwordrules.h"

#include <QSet>
#include <QTest>

using AddressRules::Fields;
using AddressRules::Focus;

namespace
{

Fields Dotted(QStringView text)
{
    Fields fields{};
    const QList<QStringView> parts = text.split(u'.');
    for (int i = 0; i < 4; ++i)
        fields[size_t(i)] = parts.value(i).toInt();
    return fields;
}

quint32 PrefixMask(int ones)
{
    return ones == 0 ? 0u : ~quint32(0) << (32 - ones);
}

} // namespace

Q_DECLARE_METATYPE(AddressRules::Focus)

class TestConfigRules : public QObject
{
    Q_OBJECT
private slots:
    void lanSettings_data();
    void lanSettings();
    void everyPrefixAndNoOther();
    void passwordChange_data();
    void passwordChange();
    void ipAddressAreasFromTheTable_data();
    void ipAddressAreasFromTheTable();
    void resetLabelsSwapTheChoice();
};

void TestConfigRules::lanSettings_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<int>("message");
    QTest::addColumn<Focus>("focus");

    const QString mask = u"255.255.255.0"_qs;
    QTest::newRow("first field 0") << u"0.1.2.3"_qs << mask << 142 << Focus::AddressFirstField;
    QTest::newRow("first field 224") << u"224.0.0.1"_qs << mask << 142 << Focus::AddressFirstField;
    QTest::newRow("first field 255") << u"255.1.1.1"_qs << mask << 142 << Focus::AddressFirstField;
    QTest::newRow("highest address") << u"223.255.255.254"_qs << mask << 0 << Focus::None;
    QTest::newRow("lowest address") << u"1.0.0.1"_qs << mask << 0 << Focus::None;
    QTest::newRow("fourth field 0")
        << u"192.168.2.0"_qs << mask << 145 << Focus::AddressFourthField;
    QTest::newRow("fourth field 255")
        << u"192.168.2.255"_qs << mask << 145 << Focus::AddressFourthField;
    QTest::newRow("inner fields take 0 and 255") << u"10.0.255.1"_qs << mask << 0 << Focus::None;

    const QString address = u"192.168.2.1"_qs;
    QTest::newRow("all ones: bit 0 set")
        << address << u"255.255.255.255"_qs << 146 << Focus::MaskFirstField;
    QTest::newRow("31 ones") << address << u"255.255.255.254"_qs << 0 << Focus::None;
    QTest::newRow("one bit") << address << u"128.0.0.0"_qs << 0 << Focus::None;
    QTest::newRow("zero mask") << address << u"0.0.0.0"_qs << 146 << Focus::MaskFirstField;
    QTest::newRow("broken run") << address << u"255.0.255.0"_qs << 146 << Focus::MaskFirstField;
    QTest::newRow("run not from bit 31")
        << address << u"127.255.255.0"_qs << 146 << Focus::MaskFirstField;
    QTest::newRow("one stray bit")
        << address << u"255.255.0.128"_qs << 146 << Focus::MaskFirstField;
    QTest::newRow("mask ends inside an octet")
        << address << u"255.255.240.0"_qs << 0 << Focus::None;

    // The address goes first: a wrong mask is not even looked at.
    QTest::newRow("both wrong: address told")
        << u"0.1.2.3"_qs << u"0.0.0.0"_qs << 142 << Focus::AddressFirstField;
    QTest::newRow("fourth wrong, mask wrong")
        << u"10.0.0.0"_qs << u"255.0.255.0"_qs << 145 << Focus::AddressFourthField;
    QTest::newRow("address passes, mask told")
        << u"10.0.0.1"_qs << u"255.0.255.0"_qs << 146 << Focus::MaskFirstField;
}

void TestConfigRules::lanSettings()
{
    QFETCH(QString, address);
    QFETCH(QString, mask);
    QFETCH(int, message);
    QFETCH(Focus, focus);
    const AddressRules::Verdict verdict =
        AddressRules::CheckLanSettings(Dotted(address), Dotted(mask));
    QCOMPARE(verdict.messageId, message);
    QCOMPARE(verdict.focus, focus);
    QCOMPARE(verdict.Accepted(), message == 0);
}

void TestConfigRules::everyPrefixAndNoOther()
{
    // Prefixes 1 to 31 are the only good masks; each of their octets is one message 146 names.
    const QSet<quint32> octets = {0, 128, 192, 224, 240, 248, 252, 254, 255};
    QSet<quint32> good;
    for (int ones = 0; ones <= 32; ++ones) {
        const quint32 mask = PrefixMask(ones);
        QCOMPARE(AddressRules::IsValidSubnetMask(mask), ones >= 1 && ones <= 31);
        if (ones >= 1 && ones <= 31) {
            good.insert(mask);
            for (int shift = 0; shift < 32; shift += 8)
                QVERIFY(octets.contains((mask >> shift) & 0xFF));
        }
    }
    // One bit flipped anywhere in a good mask always breaks it, but where it makes another
    // good mask (the bit next to the run's end).
    for (const quint32 mask : std::as_const(good)) {
        for (int bit = 0; bit < 32; ++bit) {
            const quint32 flipped = mask ^ (1u << bit);
            QCOMPARE(AddressRules::IsValidSubnetMask(flipped), good.contains(flipped));
        }
    }
    QCOMPARE(AddressRules::MaskValue(Dotted(u"255.255.255.0")), 0xFFFFFF00u);
    QCOMPARE(AddressRules::MaskValue(Dotted(u"128.0.0.1")), 0x80000001u);
}

void TestConfigRules::passwordChange_data()
{
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<int>("message");
    QTest::addColumn<int>("focus");

    const int none = int(PasswordRules::Focus::None);
    const int current = int(PasswordRules::Focus::CurrentPassword);
    const int fresh = int(PasswordRules::Focus::NewPassword);
    QTest::newRow("accepted") << u"s3cret"_qs << u"n3w pass&=%"_qs << u"n3w pass&=%"_qs << 0
                              << none;
    QTest::newRow("current in another case")
        << u"S3CRET"_qs << u"abc"_qs << u"abc"_qs << 138 << current;
    QTest::newRow("current empty") << QString() << u"abc"_qs << u"abc"_qs << 138 << current;
    QTest::newRow("current with a blank more")
        << u"s3cret "_qs << u"abc"_qs << u"abc"_qs << 138 << current;
    QTest::newRow("current wrong beats a mismatch")
        << u"x"_qs << u"abc"_qs << u"abd"_qs << 138 << current;
    QTest::newRow("abc and abd") << u"s3cret"_qs << u"abc"_qs << u"abd"_qs << 141 << fresh;
    QTest::newRow("new only in case") << u"s3cret"_qs << u"abc"_qs << u"ABC"_qs << 141 << fresh;
    QTest::newRow("both empty") << u"s3cret"_qs << QString() << QString() << 141 << fresh;
    QTest::newRow("confirm empty") << u"s3cret"_qs << u"abc"_qs << QString() << 141 << fresh;
    QTest::newRow("same as the current one")
        << u"s3cret"_qs << u"s3cret"_qs << u"s3cret"_qs << 0 << none;
}

void TestConfigRules::passwordChange()
{
    QFETCH(QString, current);
    QFETCH(QString, newPassword);
    QFETCH(QString, confirm);
    QFETCH(int, message);
    QFETCH(int, focus);
    const PasswordRules::Verdict verdict =
        PasswordRules::CheckPasswordChange(current, u"s3cret"_qs, newPassword, confirm);
    QCOMPARE(verdict.messageId, message);
    QCOMPARE(int(verdict.focus), focus);
}

void TestConfigRules::ipAddressAreasFromTheTable_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<int>("choice");
    const int none = int(LabelAreas::IPChoice::None);
    const int autoIP = int(LabelAreas::IPChoice::AutoIP);
    const int staticIP = int(LabelAreas::IPChoice::StaticIP);
    QTest::newRow("Auto IP box, top left") << QPoint(380, 395) << autoIP;
    QTest::newRow("Auto IP words") << QPoint(420, 404) << autoIP;
    QTest::newRow("last column before the Static IP box") << QPoint(449, 414) << autoIP;
    QTest::newRow("Static IP box, left edge") << QPoint(450, 395) << staticIP;
    QTest::newRow("Static IP words") << QPoint(495, 404) << staticIP;
    QTest::newRow("Static IP area, bottom right") << QPoint(605, 414) << staticIP;
    QTest::newRow("right of the Static IP area") << QPoint(606, 404) << none;
    QTest::newRow("where the table's Auto IP area ended") << QPoint(800, 414) << none;
    QTest::newRow("left of the areas") << QPoint(379, 404) << none;
    QTest::newRow("above") << QPoint(420, 394) << none;
    QTest::newRow("below") << QPoint(495, 415) << none;
}

void TestConfigRules::ipAddressAreasFromTheTable()
{
    QFETCH(QPoint, point);
    QFETCH(int, choice);
    int x = 0, y = 0, w = 0, h = 0;
    QVERIFY(GetLayoutRect(511, x, y, w, h));
    const LabelAreas::IPAddressAreas areas =
        LabelAreas::SplitIPAddressAreas(LabelArea::FromString(516), LabelArea::FromString(517), x);
    QCOMPARE(areas.autoIP, (LabelArea{380, 395, 449, 414}));
    QCOMPARE(areas.staticIP, (LabelArea{450, 395, 605, 414}));
    QCOMPARE(int(LabelAreas::IPChoiceAt(areas, point)), choice);
}

void TestConfigRules::resetLabelsSwapTheChoice()
{
    const LabelArea reboot = LabelArea::FromString(561);
    const LabelArea factory = LabelArea::FromString(562);
    QCOMPARE(reboot, (LabelArea{280, 165, 340, 184}));
    QCOMPARE(factory, (LabelArea{280, 210, 375, 229}));
    const auto press = [&](QPoint point, bool rebootChecked) {
        return LabelAreas::RebootCheckedAfterPress(reboot, factory, point, rebootChecked);
    };
    // Either label swaps the choice, edges included; elsewhere nothing changes.
    for (const QPoint point :
         {QPoint(280, 165), QPoint(340, 184), QPoint(280, 210), QPoint(375, 229)}) {
        QCOMPARE(press(point, true), false);
        QCOMPARE(press(point, false), true);
    }
    for (const QPoint point : {QPoint(279, 170), QPoint(341, 170), QPoint(300, 185),
                               QPoint(376, 220), QPoint(300, 209), QPoint(300, 230)}) {
        QCOMPARE(press(point, true), true);
        QCOMPARE(press(point, false), false);
    }
    QVERIFY(!LabelArea::FromString(99999).Contains(QPoint(0, 0)));
}

QTEST_GUILESS_MAIN(TestConfigRules)
#include "test_configrules.moc"
