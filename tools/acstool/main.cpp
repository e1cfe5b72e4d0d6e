// acstool: inspect, check, export and build character files. A thin shell
// over agent/format; every failure is one line on stderr naming the file.

#include "Builder.h"

#include "agent/format/Character.h"
#include "agent/format/Compositor.h"
#include "agent/format/CompoundDocument.h"
#include "agent/format/Sound.h"
#include "agent/format/Writer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextStream>

#include <cstdio>

using namespace agent::format;

namespace {

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}

int usage() {
    std::fputs("usage: acstool info FILE\n"
               "       acstool check [--strict] FILE\n"
               "       acstool export-images FILE DIR\n"
               "       acstool export-frame FILE ANIMATION N OUT.png\n"
               "       acstool build SOURCE_DIR OUT.acs\n"
               "       acstool convert FILE OUT.acs\n",
               stderr);
    return 2;
}

QString hex(std::uint32_t v, int width) {
    return QStringLiteral("0x%1").arg(v, width, 16, QLatin1Char('0'));
}

QString colour(QRgb c) {
    return QColor(c).name();
}

int info(const QString& path) {
    out() << "file: " << path << "\n";
    // An older-generation file: the container's streams first, so that they
    // show even when the character in them cannot be read.
    QFile f(path);
    const QByteArray bytes = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    if (isCompoundDocument(bytes)) {
        const auto streams = CompoundDocument(bytes, path.toStdString()).entries();
        out() << "streams: " << streams.size() << "\n";
        for (const auto& e : streams)
            out() << "  " << QString::fromStdString(e.name) << ": "
                  << (e.storage ? QStringLiteral("storage")
                                : QStringLiteral("%1 bytes").arg(e.size))
                  << "\n";
    }
    const Character c = Character::open(path);
    const LocalizedInfo* l = c.locale();
    out() << "name: " << (l ? l->name : QString()) << "\n";
    out() << "description: " << (l ? l->description : QString()) << "\n";
    out() << "version: " << c.majorVersion << "." << c.minorVersion << "\n";
    out() << "guid: " << c.guid.toString() << "\n";
    out() << "size: " << c.width << "x" << c.height << "\n";
    out() << "transparent index: " << c.transparentIndex << "\n";
    out() << "flags: " << hex(c.flags, 8) << "\n";
    out() << "locales:";
    for (const auto& loc : c.locales)
        out() << " " << hex(loc.langId, 4);
    out() << "\n";
    if (c.voice) {
        const VoiceInfo& v = *c.voice;
        out() << "voice: engine " << v.engine.toString() << " mode " << v.mode.toString()
              << " speed " << v.speed << " pitch " << v.pitch;
        if (v.hasExtra)
            out() << " language " << hex(v.langId, 4) << " gender " << v.gender << " age " << v.age
                  << " style \"" << v.style << "\"";
        out() << "\n";
    } else {
        out() << "voice: off\n";
    }
    if (c.balloon) {
        const BalloonInfo& b = *c.balloon;
        out() << "balloon: " << b.lines << " lines of " << b.charsPerLine << " characters, font \""
              << b.fontName << "\" height " << b.fontHeight << " weight " << b.fontWeight
              << (b.italic ? " italic" : "") << ", foreground " << colour(b.foreground)
              << " background " << colour(b.background) << " border " << colour(b.border) << "\n";
    } else {
        out() << "balloon: off\n";
    }
    out() << "palette: " << c.palette.size() << " colours\n";
    out() << "tray icon: " << (c.trayIcon ? "yes" : "no") << "\n";
    out() << "images: " << c.imageCount() << "\n";
    out() << "sounds: " << c.soundCount() << "\n";
    out() << "states: " << c.states.size() << "\n";
    for (const State& s : c.states)
        out() << "  " << s.name << ": " << s.animations.join(QStringLiteral(", ")) << "\n";
    out() << "animations: " << c.animations.size() << "\n";
    for (const Animation& a : c.animations)
        out() << "  " << a.name << ": " << a.frames.size() << " frames\n";
    for (const QString& w : c.warnings())
        std::fprintf(stderr, "warning: %s\n", qPrintable(w));
    return 0;
}

// Usable means the tables load and every image and region decodes: the
// program would draw frames without an image that does not, so that is a
// failure here. Region rectangles out of order, a damaged sound or frames cut
// down to what a frame may draw only warn (the shape comes from the pixels,
// the sound plays what decodes or stays silent). Frames are not composed: the
// reader has checked what they refer to, and every image is decoded here.
// --strict also refuses any warning.
int check(const QString& path, bool strict) {
    const Character c = Character::open(path);
    for (std::size_t i = 0; i < c.imageCount(); ++i) {
        c.bitmap(i);
        c.regionData(i);
        c.usableRegion(i);
    }
    std::size_t silent = 0;
    for (std::size_t i = 0; i < c.soundCount(); ++i)
        silent += c.soundPcm(i).samples.empty() ? 1 : 0;
    for (const QString& w : c.warnings())
        std::fprintf(stderr, "warning: %s\n", qPrintable(w));
    if (strict && !c.warnings().isEmpty()) {
        std::fprintf(stderr, "acstool: %s: %d warnings (--strict)\n", qPrintable(path),
                     int(c.warnings().size()));
        return 1;
    }
    out() << path << ": ok (" << c.animations.size() << " animations, " << c.imageCount()
          << " images, " << c.soundCount() << " sounds (" << silent << " silent), "
          << c.warnings().size() << " warnings)\n";
    return 0;
}

int exportImages(const QString& path, const QString& dir) {
    const Character c = Character::open(path);
    if (!QDir().mkpath(dir))
        throw FormatError(dir.toStdString() + ": cannot create the folder");
    for (std::size_t i = 0; i < c.imageCount(); ++i) {
        const QString file =
            QDir(dir).filePath(QStringLiteral("%1.png").arg(i, 4, 10, QLatin1Char('0')));
        if (!indexedImage(c, i).save(file, "PNG"))
            throw FormatError(file.toStdString() + ": cannot write the image");
    }
    return 0;
}

int exportFrame(const QString& path, const QString& animation, const QString& frame,
                const QString& outPath) {
    const Character c = Character::open(path);
    const Animation* a = c.animation(animation);
    if (!a)
        throw FormatError(path.toStdString() + ": no animation named '" + animation.toStdString() +
                          "'");
    bool ok = false;
    const int n = frame.toInt(&ok);
    if (!ok || n < 0 || std::size_t(n) >= a->frames.size())
        throw FormatError(path.toStdString() + ": animation '" + a->name.toStdString() +
                          "' has no frame " + frame.toStdString() + " (it has " +
                          std::to_string(a->frames.size()) + ")");
    if (!composeFrame(c, a->frames[std::size_t(n)]).save(outPath, "PNG"))
        throw FormatError(outPath.toStdString() + ": cannot write the image");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usage();
    const QString& cmd = args[0];
    try {
        if (cmd == QLatin1String("info") && args.size() == 2)
            return info(args[1]);
        if (cmd == QLatin1String("check") && args.size() == 2)
            return check(args[1], false);
        if (cmd == QLatin1String("check") && args.size() == 3 &&
            args[1] == QLatin1String("--strict"))
            return check(args[2], true);
        if (cmd == QLatin1String("export-images") && args.size() == 3)
            return exportImages(args[1], args[2]);
        if (cmd == QLatin1String("export-frame") && args.size() == 5)
            return exportFrame(args[1], args[2], args[3], args[4]);
        // Any character this library reads, written in the current format.
        if (cmd == QLatin1String("convert") && args.size() == 3) {
            writeCharacterFile(Character::open(args[1]), args[2]);
            return 0;
        }
        if (cmd == QLatin1String("build") && args.size() == 3) {
            writeCharacterFile(acstool::buildCharacter(args[1]), args[2]);
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "acstool: %s\n", e.what());
        return 1;
    }
    return usage();
}
