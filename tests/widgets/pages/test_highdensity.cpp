// On a screen of 2 device pixels per pixel (a 4K laptop at 200 %) the skin is drawn from its
// twice-sized pictures, sharp, with every control where it stands at 1x.

#include "console/tarndlg.h"
#include "controls/ptbutton.h"
#include "pages/skinnedpage.h"
#include "pages/summarydlg.h"
#include "platform/stringtable.h"

#include <QApplication>
#include <QTest>
#include <cstdlib>
#include <memory>

namespace
{

QImage Picture(int id, QStringView suffix = {})
{
    return QImage(u":/JPEG/"_qs + QString::number(id) + suffix.toString())
        .convertToFormat(QImage::Format_RGB32);
}

double MeanDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 255;
    long long total = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                     std::abs(qBlue(p) - qBlue(q));
        }
    }
    return double(total) / (3.0 * a.width() * a.height());
}

// The 1x picture with each pixel doubled: what the screen showed before.
QImage Enlarged(const QImage& picture, qreal ratio)
{
    return picture.scaled(picture.size() * ratio, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

QRect Scaled(const QRect& rect, qreal ratio)
{
    return QRect(QPoint(qRound(rect.x() * ratio), qRound(rect.y() * ratio)), rect.size() * ratio);
}

} // namespace

class TestHighDensity : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void stepsAndBannerComeFromTheLargePictures();

private:
    std::unique_ptr<CTarnDlg> m_console;
};

void TestHighDensity::init()
{
    m_console = std::make_unique<CTarnDlg>(nullptr);
    G_pTarnDlg = m_console.get();
    m_console->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_console.get()));
    m_console->ShowPage(G_pSummaryDlg);
}

void TestHighDensity::cleanup()
{
    G_pTarnDlg = nullptr;
    m_console.reset();
}

void TestHighDensity::stepsAndBannerComeFromTheLargePictures()
{
    auto* page = static_cast<CSkinnedPage*>(G_pSummaryDlg);
    QCOMPARE(page->devicePixelRatio(), 2.0);
    const QImage shown = page->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.size(), page->size() * 2);

    const struct {
        QWidget* control;
        int picture;
    } checks[] = {{page->StepButton(Skin::Locate), 214},
                  {page->StepButton(Skin::Repeater), 224},
                  {page->StepButton(Skin::Reset), 225},
                  {page->CloseButton(), 150}};
    for (const auto& check : checks) {
        const QImage drawn = shown.copy(Scaled(check.control->geometry(), 2));
        const double toLarge = MeanDifference(drawn, Picture(check.picture, u"@2x"));
        const double toEnlarged = MeanDifference(drawn, Enlarged(Picture(check.picture), 2));
        QVERIFY2(toLarge < 2 && toEnlarged > 2 * toLarge + 1,
                 qPrintable(QStringLiteral("picture %1: %2 from the 2x picture, %3 from the "
                                           "enlarged 1x one")
                                .arg(check.picture)
                                .arg(toLarge)
                                .arg(toEnlarged)));
    }
    // The layout is that of 1x.
    int x = 0, y = 0, w = 0, h = 0;
    QVERIFY(GetLayoutRect(Skin::kSteps[Skin::Reset].rectId, x, y, w, h));
    QCOMPARE(page->StepButton(Skin::Reset)->geometry(), QRect(x, y, w, h));

    // The banner with the program's name: part of the page picture, where no control stands.
    const QRect banner(190, 0, 300, 70);
    const QImage drawn = shown.copy(Scaled(banner, 2));
    const double toLarge = MeanDifference(drawn, Picture(140, u"@2x").copy(Scaled(banner, 2)));
    const double toEnlarged = MeanDifference(drawn, Enlarged(Picture(140).copy(banner), 2));
    QVERIFY2(toLarge < 2 && toEnlarged > 2 * toLarge + 1,
             qPrintable(QStringLiteral("%1 / %2").arg(toLarge).arg(toEnlarged)));
}

int main(int argc, char** argv)
{
    // Before the application exists: the screen's ratio is fixed when it is made.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication application(argc, argv);
    TestHighDensity test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_highdensity.moc"
