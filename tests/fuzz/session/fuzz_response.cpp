// A response arrives in blocks of any size and content, also from the wrong peer or after its
// command gave up. Each block is applied to a queue and checked against a plain model: only the
// head's own device, only while it waits, text up to the block's first zero byte, never more
// than the limit.

#include "fuzzcheck.h"
#include "platform/codepage.h"
#include "session/webmanager.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzInput input(data, size);
    QList<_STRU_WEB_DATA> queue;
    const std::uint8_t shape = input.Byte();
    if (shape & 1) {
        _STRU_WEB_DATA head;
        head.strID = QStringLiteral("LANINFO");
        head.strAPIP = QStringLiteral("192.168.77.10");
        head.dwResult = qint32(input.Byte() % 8);
        queue.append(head);
        if (shape & 2)
            queue.append(head); // one waiting behind: never touched
    }
    const qsizetype limit = 1 + qsizetype(input.Word()) * 16;
    const QList<_STRU_WEB_DATA> before = queue;

    QString expected = queue.isEmpty() ? QString() : queue.first().strData;
    qint32 expectedResult = queue.isEmpty() ? 0 : queue.first().dwResult;
    while (input.Remaining() > 0) {
        const std::uint8_t control = input.Byte();
        const QString peer = control & 0x80 ? QStringLiteral("192.168.77.11")
                                            : QStringLiteral("192.168.77.10");
        std::size_t length = 0;
        const std::uint8_t* bytes = input.Take(std::size_t(input.Word()) % 10240, length);
        const QByteArrayView block(reinterpret_cast<const char*>(bytes), qsizetype(length));

        const EReceiveOutcome outcome = AppendResponseBlock(queue, peer, block, limit);
        const bool waiting = expectedResult == kWebConnected || expectedResult == kWebReceiving;
        if (queue.isEmpty() || control & 0x80 || !waiting) {
            FUZZ_CHECK(outcome == EReceiveOutcome::Discarded);
        } else {
            const QString text = FromAnsi(block.first(
                block.indexOf('\0') < 0 ? block.size() : block.indexOf('\0')));
            if (expected.size() + text.size() > limit) {
                FUZZ_CHECK(outcome == EReceiveOutcome::TooLong);
                expectedResult = kWebClosedWithError;
            } else {
                FUZZ_CHECK(outcome == EReceiveOutcome::Appended);
                expected += text;
                expectedResult = kWebReceiving;
            }
        }
        FUZZ_CHECK(queue.size() == before.size());
        if (queue.isEmpty())
            continue;
        FUZZ_CHECK(queue.first().dwResult == expectedResult);
        FUZZ_CHECK(queue.first().strData == expected);
        FUZZ_CHECK(queue.first().strData.size() <= limit);
        FUZZ_CHECK(!queue.first().strData.contains(QChar(0)));
        if (queue.size() > 1)
            FUZZ_CHECK(queue[1].strData == before[1].strData && queue[1].dwResult == before[1].dwResult);
    }
    return 0;
}
