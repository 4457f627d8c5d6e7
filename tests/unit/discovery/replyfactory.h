#pragma once

#include <QByteArray>

// Builds a discovery reply the way a device lays it out: each text at its offset, zero-padded.
struct ReplyFields {
    QByteArray mac = "001a2b3c4d5e";
    QByteArray model = "QZ-8061Tr";
    QByteArray ip = "192.168.77.10";
    QByteArray subnet = "255.255.255.0";
    QByteArray userName = "admin";
    QByteArray password = "secret";
};

inline QByteArray MakeReply(const ReplyFields& fields = {}, qsizetype size = 424)
{
    QByteArray reply(size, '\0');
    const auto put = [&reply](qsizetype offset, const QByteArray& text) {
        for (qsizetype i = 0; i < text.size() && offset + i < reply.size(); ++i)
            reply[offset + i] = text[i];
    };
    put(17, fields.mac);
    put(49, fields.model);
    put(72, fields.ip);
    put(104, fields.subnet);
    put(136, fields.userName);
    put(152, fields.password);
    return reply;
}
