// Draws the program's skin: every page background, step, title button, dialog picture, progress
// frame and row bitmap, the resource file that names them, and the desktop's application icons.
//
//   kelda-skin [--qrc FILE] [--icons DIR] [--preview DIR] OUTPUT_DIR   write the pictures
//   kelda-skin --check [--qrc FILE] [--icons DIR] OUTPUT_DIR           compare instead of writing
//
// Exit codes: 0 done or equal, 1 different or failed, 77 a required font is missing.

#include "tools/skin/appicons.h"
#include "tools/skin/catalogue.h"
#include "tools/skin/picturecompare.h"
#include "tools/skin/qrcfile.h"
#include "tools/skin/skinstyle.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QSet>
#include <cstdio>

namespace
{

constexpr int ExitMissingFont = 77;

void Print(const QString& line)
{
    std::fprintf(stderr, "%s\n", qPrintable(line));
}

QByteArray ReadAll(const QString& path, bool* exists)
{
    QFile file(path);
    *exists = file.open(QIODevice::ReadOnly);
    return *exists ? file.readAll() : QByteArray();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size()) {
        Print(QStringLiteral("kelda-skin: cannot write %1").arg(path));
        return false;
    }
    return true;
}

struct Options {
    bool check = false;
    QString qrcPath;
    QString iconDir;
    QString previewDir;
    QString outputDir;
};

bool ParseArguments(const QStringList& arguments, Options& options)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QStringLiteral("--check"))
            options.check = true;
        else if (argument == QStringLiteral("--qrc") && i + 1 < arguments.size())
            options.qrcPath = arguments[++i];
        else if (argument == QStringLiteral("--icons") && i + 1 < arguments.size())
            options.iconDir = arguments[++i];
        else if (argument == QStringLiteral("--preview") && i + 1 < arguments.size())
            options.previewDir = arguments[++i];
        else if (!argument.startsWith(u'-') && options.outputDir.isEmpty())
            options.outputDir = argument;
        else
            return false;
    }
    return !options.outputDir.isEmpty();
}

// Writes (or compares) one file; returns false on a difference or an error. A picture is
// compared as a picture, any other file byte for byte.
bool Deliver(const Options& options, const QString& path, const QByteArray& bytes,
             bool picture = false)
{
    bool exists = false;
    const QByteArray current = ReadAll(path, &exists);
    if (options.check) {
        if (!exists) {
            Print(QStringLiteral("missing:   %1").arg(path));
            return false;
        }
        QString why;
        const bool same = picture ? Skin::SamePicture(current, bytes, &why) : current == bytes;
        if (!same)
            Print(QStringLiteral("differs:   %1 %2").arg(path, why));
        return same;
    }
    return (exists && current == bytes) || WriteAll(path, bytes);
}

// A stale picture left in the folder would still be committed and could be listed by hand.
bool NoStrays(const Options& options, const QDir& folder, const QSet<QString>& produced)
{
    bool good = true;
    for (const QString& name : folder.entryList(QDir::Files)) {
        if (!produced.contains(name)) {
            Print(QStringLiteral("%1 %2").arg(options.check ? QStringLiteral("stray:    ")
                                                            : QStringLiteral("not mine: "),
                                              folder.filePath(name)));
            good = good && !options.check;
        }
    }
    return good;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);

    Options options;
    if (!ParseArguments(QCoreApplication::arguments(), options)) {
        Print(
            QStringLiteral("usage: kelda-skin [--check] [--qrc FILE] [--icons DIR] [--preview DIR] "
                           "OUTPUT_DIR"));
        return 1;
    }
    QString fontError;
    if (!Skin::LoadFonts(fontError)) {
        Print(QStringLiteral("kelda-skin: ") + fontError);
        return ExitMissingFont;
    }

    const QDir output(options.outputDir);
    if (!options.check && !QDir().mkpath(options.outputDir)) {
        Print(QStringLiteral("kelda-skin: cannot create %1").arg(options.outputDir));
        return 1;
    }
    if (!options.previewDir.isEmpty())
        QDir().mkpath(options.previewDir);

    const QList<Skin::Picture> catalogue = Skin::Catalogue();
    bool good = true;
    QSet<QString> produced;
    for (const Skin::Picture& picture : catalogue) {
        for (const int scale : {1, 2}) {
            if (scale != 1 && !Skin::HasDoubleSize(picture))
                continue;
            const QString name = Skin::FileName(picture, scale);
            produced.insert(name);
            const QByteArray bytes = Skin::Encode(picture, Skin::Render(picture, scale));
            if (bytes.isEmpty()) {
                Print(QStringLiteral("kelda-skin: cannot encode %1").arg(name));
                good = false;
                continue;
            }
            good = Deliver(options, output.filePath(name), bytes, true) && good;
            if (!options.previewDir.isEmpty()) {
                // What the program will see: the stored file decoded again, saved losslessly.
                QImage::fromData(bytes).save(
                    QDir(options.previewDir).filePath(name + QStringLiteral(".png")));
            }
        }
    }

    good = NoStrays(options, output, produced) && good;

    if (!options.iconDir.isEmpty()) {
        const QDir icons(options.iconDir);
        if (!options.check && !QDir().mkpath(options.iconDir)) {
            Print(QStringLiteral("kelda-skin: cannot create %1").arg(options.iconDir));
            return 1;
        }
        QSet<QString> iconFiles;
        QList<int> sizes = Skin::AppIconSizes();
        sizes.append(0);
        for (const int size : sizes) {
            const QString name = Skin::AppIconFile(size);
            iconFiles.insert(name);
            const QByteArray bytes = Skin::EncodeAppIcon(size);
            // The SVG is text: byte for byte.
            good = !bytes.isEmpty() && Deliver(options, icons.filePath(name), bytes, size != 0) &&
                   good;
            if (!options.previewDir.isEmpty())
                Skin::DecodeAppIcon(bytes, size)
                    .save(QDir(options.previewDir)
                              .filePath(QStringLiteral("icon-") + name + QStringLiteral(".png")));
        }
        good = NoStrays(options, icons, iconFiles) && good;
    }

    if (!options.qrcPath.isEmpty()) {
        const QString relative =
            QFileInfo(options.qrcPath).absoluteDir().relativeFilePath(output.absolutePath());
        good = Deliver(options, options.qrcPath, Skin::QrcText(catalogue, relative)) && good;
    }

    if (options.check)
        Print(good ? QStringLiteral("kelda-skin: %1 pictures match").arg(catalogue.size())
                   : QStringLiteral("kelda-skin: the committed skin differs from the generator"));
    return good ? 0 : 1;
}
