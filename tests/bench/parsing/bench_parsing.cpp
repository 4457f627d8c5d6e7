// Parsing time against page size. Each case builds pages of 10, 100, 1000 and 10000 repeated
// blocks and times the parser on them; the reference is one scan of the same page for a text it
// does not hold, the least any reader of the page has to do. Prints a Markdown table.
//   bench_parsing [--corpus DIR] [--max-blocks N]

#include "controls/markuplayout.h"
#include "platform/codepage.h"
#include "protocol/scraper.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace
{

using Clock = std::chrono::steady_clock;

// Median of repeated runs, at least five and about 200 ms in all.
double MedianMs(const std::function<void()>& work)
{
    std::vector<double> times;
    const auto budgetEnd = Clock::now() + std::chrono::milliseconds(200);
    while (times.size() < 5 || (Clock::now() < budgetEnd && times.size() < 1000)) {
        const auto start = Clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QString ReadPage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        std::exit(2);
    }
    return FromAnsi(file.readAll());
}

// The page with `blocks` copies of `block` after its head: the markers stay in their order and
// come after the filler, so every search crosses all of it.
QString Grow(const QString& page, const QString& block, int blocks)
{
    const qsizetype body = std::max<qsizetype>(page.indexOf(u"<body"), 0);
    QString grown = page.left(body);
    grown.reserve(page.size() + block.size() * blocks);
    for (int i = 0; i < blocks; ++i)
        grown += block;
    grown += page.mid(body);
    return grown;
}

struct Case {
    const char* name;
    std::function<QString(int blocks)> page;
    std::function<void(const QString&)> parse;
};

struct Row {
    int blocks;
    qsizetype characters;
    double ms;
    double referenceMs;
};

} // namespace

int main(int argc, char** argv)
{
    QString corpus = QStringLiteral(KELDA_FUZZ_CORPUS);
    int maxBlocks = 10000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (qstrcmp(argv[i], "--corpus") == 0)
            corpus = QString::fromLocal8Bit(argv[i + 1]);
        else if (qstrcmp(argv[i], "--max-blocks") == 0)
            maxBlocks = std::atoi(argv[i + 1]);
    }
    const QString lan = ReadPage(corpus + u"/fuzz_lan_page/homenet"_qs);
    const QString wan = ReadPage(corpus + u"/fuzz_wan_page/int"_qs);
    const QString status = ReadPage(corpus + u"/fuzz_status_page/status"_qs);

    // A table row as the device's pages write them, and one full of near misses of every marker
    // (a colon short, the wrong alignment), so that each search keeps stopping and failing.
    const QString row = u"<tr><td width=\"40%\"><font size=2><b>Option:</b></font></td>"
                        u"<td><font size=2><div align=\"left\">value</div></font></td></tr>\r\n"_qs;
    const QString nearMiss =
        u"<tr><td>IP Address <div align=\"right\">Subnet Mask DHCP Server MAC Address "
        u"name=\"dns1\" value= name=\"gw\" dw(IPAddress dw(SubnetMask Mode SSID Channel "
        u"Security Runtime Code Version <div align=\"left\"</td></tr>\r\n"_qs;
    const QString markup = u"<B>Name:</B> <FONT COLOR=\"#FF0000\">Home&amp;Co</FONT> "
                           u"&lt;5 GHz&gt;<BR>\r\n"_qs;

    const std::vector<Case> cases = {
        {"LAN page, table rows", [&](int n) { return Grow(lan, row, n); }, ParseLanPage},
        {"LAN page, near misses", [&](int n) { return Grow(lan, nearMiss, n); }, ParseLanPage},
        {"internet page, table rows", [&](int n) { return Grow(wan, row, n); }, ParseWanPage},
        {"internet page, near misses", [&](int n) { return Grow(wan, nearMiss, n); },
         ParseWanPage},
        {"status page, near misses", [&](int n) { return Grow(status, nearMiss, n); },
         ParseStatusPage},
        {"status page, no markers", [&](int n) { return row.repeated(n); }, ParseStatusPage},
        {"markup layout, 300 px wide",
         [&](int n) { return markup.repeated(n); },
         [](const QString& text) {
             MarkupStart start;
             start.font.height = -12;
             start.client = QRect(0, 0, 300, 1 << 30);
             start.resolver = DefaultSysColor;
             const MarkupLayout layout = LayoutMarkup(text, start, CFixedPitchMeasure());
             if (layout.pieces.empty())
                 std::abort();
         }},
        // The site survey's parser joins here once it exists.
    };

    std::printf("| case | blocks | characters | time ms | one scan ms | ratio to scan | growth x10 "
                "| scan growth x10 |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Case& c : cases) {
        std::vector<Row> rows;
        for (int blocks = 10; blocks <= maxBlocks; blocks *= 10) {
            const QString page = c.page(blocks);
            Row r{blocks, page.size(), MedianMs([&] { c.parse(page); }), 0};
            volatile qsizetype sink = 0;
            r.referenceMs = MedianMs([&] { sink = sink + page.indexOf(QChar(0x7F)); });
            rows.push_back(r);
        }
        for (size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            char growth[32] = "";
            char scanGrowth[32] = "";
            if (i > 0) {
                std::snprintf(growth, sizeof growth, "%.1f", r.ms / rows[i - 1].ms);
                std::snprintf(scanGrowth, sizeof scanGrowth, "%.1f",
                              r.referenceMs / rows[i - 1].referenceMs);
            }
            std::printf("| %s | %d | %lld | %.3f | %.3f | %.2f | %s | %s |\n", c.name, r.blocks,
                        (long long)r.characters, r.ms, r.referenceMs, r.ms / r.referenceMs, growth,
                        scanGrowth);
        }
    }
    return 0;
}
