#pragma once

#include <QList>
#include <QSize>
#include <QString>

// The pictures the program loads, as the pages place them: an independent list, so a picture
// the generator forgets or draws at another size fails the tests.
struct ExpectedPicture {
    QString prefix; // JPEG, BITMAP or ICON
    int id;
    QSize size; // invalid: a button-sized picture, 54 x 30 to 260 x 144
};

inline QList<ExpectedPicture> ExpectedPictures()
{
    const QString jpeg = QStringLiteral("JPEG");
    const QString bitmap = QStringLiteral("BITMAP");
    QList<ExpectedPicture> list;
    for (int id : {133, 134, 136, 137, 138, 140, 141})
        list.append({jpeg, id, QSize(700, 500)});
    list.append({jpeg, 170, QSize(748, 500)});
    for (int id = 214; id <= 227; ++id)
        list.append({jpeg, id, QSize(175, 33)});
    for (int id : {146, 147, 150, 151})
        list.append({jpeg, id, QSize(18, 18)});
    list.append({jpeg, 160, QSize(260, 144)});
    list.append({jpeg, 248, QSize(260, 144)});
    // The message dialog's OK button fills its rectangle, 88 x 34.
    list.append({jpeg, 168, QSize(88, 34)});
    list.append({jpeg, 162, QSize(88, 34)});
    for (int id : {128, 148, 149, 153, 154, 155, 156, 157, 167, 169, 182, 183, 184, 185})
        list.append({jpeg, id, QSize()});
    for (int id = 171; id <= 181; ++id)
        list.append({bitmap, id, QSize(128, 49)});
    list.append({bitmap, 249, QSize(35, 35)});
    list.append({bitmap, 250, QSize(20, 20)});
    list.append({QStringLiteral("ICON"), 128, QSize()});
    return list;
}

inline bool IsButtonSized(QSize size)
{
    return size.width() >= 54 && size.width() <= 260 && size.height() >= 30 && size.height() <= 144;
}
