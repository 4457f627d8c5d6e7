// Times the survey parse on pages shaped like the device's, of 1000 and 10000 networks: the
// cells alone, and the wireless page's whole parse with its list.
#include "pages/surveydlg.h"
#include "pages/surveyparser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{

QString Cell(const QString& text)
{
    return u"    <td align=\"center\"><font size=\"2\">"_qs + text + u"</font></td>\n"_qs;
}

QString SurveyPage(int networks)
{
    static const char16_t* const ciphers[][2] = {
        {u"NONE", u"OPEN"}, {u"WEP", u"OPEN"}, {u"TKIP", u"WPAPSK"}, {u"AES", u"WPA2PSK"}};
    QString page = u"HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n<html><head><title>Site "
                   u"Survey</title></head><body>\n<form method=\"post\" "
                   u"action=\"/goform/formWlSiteSurvey\" name=\"formWlSiteSurvey\">\n"
                   u"<table width=\"600\">\n  <tr class=\"tbl_head\"><td><b>SSID</b></td></tr>\n"
                   u"<input type=\"hidden\" name=\"apCount\" value=\""_qs +
                   QString::number(networks) + u"\">\n"_qs;
    for (int i = 0; i < networks; ++i) {
        const QString n = QString::number(i);
        const QString channel = QString::number(1 + i % 13);
        const QString ssid = u"Network-"_qs + n;
        const auto& security = ciphers[i % 4];
        page += u"  <tr class=\"tbl_body\">\n"_qs +
                Cell(channel + u"<input type=\"hidden\" name=\"chan"_qs + n + u"\" value=\""_qs +
                     channel + u"\">"_qs) +
                Cell(ssid + u"<input type=\"hidden\" name=\"ssid"_qs + n + u"\" value=\""_qs +
                     ssid + u"\">"_qs) +
                Cell(u"00:0e:8e:%1:%2:%3"_qs.arg(i >> 16 & 0xff, 2, 16, QChar(u'0'))
                         .arg(i >> 8 & 0xff, 2, 16, QChar(u'0'))
                         .arg(i & 0xff, 2, 16, QChar(u'0'))) +
                Cell(QString::fromUtf16(security[0])) + Cell(QString::fromUtf16(security[1])) +
                Cell(QString::number(i * 37 % 100)) + Cell(u"11b/g/n"_qs) +
                Cell(u"<input type=\"radio\" name=\"select\" value=\"sel"_qs + n +
                     u"\" onClick=\"pick("_qs + n + u")\">"_qs) +
                u"  </tr>\n"_qs;
    }
    return page + u"</table>\n</form></body></html>\n"_qs;
}

// Median of `rounds` runs, in milliseconds.
double Median(int rounds, const std::function<void()>& run)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CTarn_SurveyDlg page(nullptr);

    std::printf("| networks | page (characters) | cells only (ms) | page with its list (ms) |\n");
    std::printf("|---:|---:|---:|---:|\n");
    double cells[2] = {}, whole[2] = {};
    const int sizes[2] = {1000, 10000};
    for (int s = 0; s < 2; ++s) {
        const QString text = SurveyPage(sizes[s]);
        QStringList parsed;
        int count = 0;
        cells[s] = Median(21, [&] { count = Survey::ParseSurveyCells(text, parsed); });
        whole[s] = Median(15, [&] { page.ParseSurvey(text); });
        if (count != sizes[s] || page.AccessPointList()->topLevelItemCount() != sizes[s]) {
            std::fprintf(stderr, "parsed %d of %d networks\n", count, sizes[s]);
            return 1;
        }
        std::printf("| %d | %lld | %.2f | %.2f |\n", sizes[s], (long long)text.size(), cells[s],
                    whole[s]);
    }
    std::printf("\nten times the page: cells %.1f times as long, page with its list %.1f times\n",
                cells[1] / cells[0], whole[1] / whole[0]);
    return 0;
}
