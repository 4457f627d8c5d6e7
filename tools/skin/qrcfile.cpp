#include "tools/skin/qrcfile.h"

namespace Skin
{

QByteArray QrcText(const QList<Picture>& catalogue, const QString& pictureFolder)
{
    QString text = QStringLiteral("<!DOCTYPE RCC>\n<!-- Written by tools/skin/regenerate; do "
                                  "not edit by hand. -->\n<RCC version=\"1.0\">\n");
    for (Storage storage : {Storage::Jpeg, Storage::Bitmap, Storage::Icon}) {
        text += QStringLiteral("    <qresource prefix=\"/%1\">\n").arg(ResourcePrefix(storage));
        for (const Picture& picture : catalogue) {
            if (picture.storage != storage)
                continue;
            text += QStringLiteral("        <file alias=\"%1\">%2/%3</file>\n")
                        .arg(picture.id)
                        .arg(pictureFolder, FileName(picture));
            if (HasDoubleSize(picture))
                text += QStringLiteral("        <file alias=\"%1@2x\">%2/%3</file>\n")
                            .arg(picture.id)
                            .arg(pictureFolder, FileName(picture, 2));
        }
        text += QStringLiteral("    </qresource>\n");
    }
    text += QStringLiteral("</RCC>\n");
    return text.toUtf8();
}

} // namespace Skin
