// acstool build: reads SOURCE_DIR/character.txt (sections of "key = value"
// lines, frames as commands) and the PNG and WAV files it names.

#include "Builder.h"

#include "agent/format/Sound.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QUuid>

#include <algorithm>
#include <map>
#include <unordered_map>

using namespace agent::format;

namespace acstool {

namespace {

struct Line {
    int number = 0;
    QString text;
};

class Manifest {
  public:
    explicit Manifest(const QString& dir)
        : m_dir(dir), m_path(QDir(dir).filePath("character.txt")) {}

    [[noreturn]] void fail(int line, const QString& what) const {
        throw FormatError(
            QStringLiteral("%1:%2: %3").arg(m_path).arg(line).arg(what).toStdString());
    }
    const QString& path() const { return m_path; }
    QString file(const QString& rel) const { return QDir(m_dir).filePath(rel); }

  private:
    QString m_dir;
    QString m_path;
};

bool parseBool(const Manifest& m, int line, const QString& v) {
    const QString s = v.toLower();
    if (s == "yes" || s == "true" || s == "on" || s == "1")
        return true;
    if (s == "no" || s == "false" || s == "off" || s == "0")
        return false;
    m.fail(line, "expected yes or no, got '" + v + "'");
}

long long parseInt(const Manifest& m, int line, const QString& v, long long lo, long long hi) {
    bool ok = false;
    const long long n = v.startsWith("0x") ? v.mid(2).toLongLong(&ok, 16) : v.toLongLong(&ok, 10);
    if (!ok || n < lo || n > hi)
        m.fail(line,
               QStringLiteral("expected a number from %1 to %2, got '%3'").arg(lo).arg(hi).arg(v));
    return n;
}

QRgb parseColour(const Manifest& m, int line, const QString& v) {
    const QColor c = QColor::fromString(v);
    if (!c.isValid())
        m.fail(line, "expected a colour like #ffffe1, got '" + v + "'");
    return c.rgb();
}

// Splits on whitespace, keeping "quoted words" together.
QStringList words(const QString& text) {
    QStringList out;
    QString cur;
    bool quoted = false, any = false;
    for (QChar ch : text) {
        if (ch == u'"') {
            quoted = !quoted;
            any = true;
        } else if (ch.isSpace() && !quoted) {
            if (any)
                out.append(cur);
            cur.clear();
            any = false;
        } else {
            cur.append(ch);
            any = true;
        }
    }
    if (any)
        out.append(cur);
    return out;
}

MouthType parseMouth(const Manifest& m, int line, const QString& v) {
    static const std::map<QString, MouthType> types = {
        {"closed", MouthType::Closed}, {"wide1", MouthType::Wide1}, {"wide2", MouthType::Wide2},
        {"wide3", MouthType::Wide3},   {"wide4", MouthType::Wide4}, {"medium", MouthType::Medium},
        {"narrow", MouthType::Narrow},
    };
    const auto it = types.find(v.toLower());
    if (it == types.end())
        m.fail(line, "unknown mouth type '" + v +
                         "' (closed, wide1, wide2, wide3, wide4, medium, narrow)");
    return it->second;
}

// Images are collected first, then given one palette for the whole character.
struct ImageRef {
    QString file;
    int line;
};

class Palette {
  public:
    // Either every PNG is 8-bit indexed with one shared colour table (used as
    // it is), or colours are collected from RGBA and reduced to 255 plus a
    // transparent index 0.
    void build(const Manifest& m, const std::vector<QImage>& images,
               const std::vector<ImageRef>& refs, std::optional<int> transparent, Character& c) {
        bool indexed = !images.empty();
        for (const QImage& img : images)
            indexed = indexed && img.format() == QImage::Format_Indexed8 &&
                      img.colorTable() == images.front().colorTable();
        if (indexed) {
            const QList<QRgb> table = images.front().colorTable();
            for (QRgb rgb : table)
                c.palette.push_back(rgb | 0xFF000000u);
            c.palette.resize(256, qRgb(0, 0, 0));
            if (!transparent)
                for (qsizetype i = 0; i < table.size() && !transparent; ++i)
                    if (qAlpha(table[i]) == 0)
                        transparent = int(i);
            if (!transparent)
                m.fail(refs.front().line, "indexed images without a transparent colour: add "
                                          "'transparent = INDEX' to [character]");
            c.transparentIndex = std::uint8_t(*transparent);
            m_indexed = true;
            return;
        }
        std::unordered_map<QRgb, std::uint64_t> counts;
        for (const QImage& img : images) {
            const QImage argb = img.convertToFormat(QImage::Format_ARGB32);
            for (int y = 0; y < argb.height(); ++y) {
                const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
                for (int x = 0; x < argb.width(); ++x)
                    if (qAlpha(row[x]) >= 128)
                        ++counts[row[x] | 0xFF000000u];
            }
        }
        std::vector<std::pair<QRgb, std::uint64_t>> colours(counts.begin(), counts.end());
        std::sort(colours.begin(), colours.end());
        std::vector<QRgb> chosen = colours.size() <= 255 ? exact(colours) : medianCut(colours, 255);
        c.transparentIndex = 0;
        c.palette.push_back(qRgb(255, 0, 255)); // never drawn
        c.palette.insert(c.palette.end(), chosen.begin(), chosen.end());
        c.palette.resize(256, qRgb(0, 0, 0));
        m_palette = c.palette;
    }

    Bitmap convert(const QImage& img, std::uint8_t transparent) {
        Bitmap b;
        b.width = std::uint16_t(img.width());
        b.height = std::uint16_t(img.height());
        b.pixels.assign(std::size_t(b.stride()) * b.height, transparent);
        if (m_indexed) {
            for (int y = 0; y < img.height(); ++y)
                std::copy_n(img.constScanLine(y), img.width(), b.scanLine(y));
            return b;
        }
        const QImage argb = img.convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < argb.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < argb.width(); ++x)
                if (qAlpha(row[x]) >= 128)
                    b.scanLine(y)[x] = nearest(row[x] | 0xFF000000u);
        }
        return b;
    }

  private:
    static std::vector<QRgb> exact(const std::vector<std::pair<QRgb, std::uint64_t>>& colours) {
        std::vector<QRgb> out;
        for (const auto& [rgb, n] : colours)
            out.push_back(rgb);
        return out;
    }

    // Median cut: split the box with the widest channel range at its weighted
    // median until there are enough boxes; each box gives its weighted mean.
    static std::vector<QRgb> medianCut(std::vector<std::pair<QRgb, std::uint64_t>> colours,
                                       std::size_t wanted) {
        using Item = std::pair<QRgb, std::uint64_t>;
        struct Box {
            std::size_t begin, end;
        };
        auto channel = [](QRgb c, int ch) {
            return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c);
        };
        auto widest = [&](const Box& b, int& range) {
            int best = 0;
            range = -1;
            for (int ch = 0; ch < 3; ++ch) {
                int lo = 255, hi = 0;
                for (std::size_t i = b.begin; i < b.end; ++i) {
                    lo = std::min(lo, channel(colours[i].first, ch));
                    hi = std::max(hi, channel(colours[i].first, ch));
                }
                if (hi - lo > range) {
                    range = hi - lo;
                    best = ch;
                }
            }
            return best;
        };
        std::vector<Box> boxes{{0, colours.size()}};
        while (boxes.size() < wanted) {
            int bestRange = 0, bestChannel = 0;
            std::size_t pick = boxes.size();
            for (std::size_t i = 0; i < boxes.size(); ++i) {
                if (boxes[i].end - boxes[i].begin < 2)
                    continue;
                int range;
                const int ch = widest(boxes[i], range);
                if (range > bestRange) {
                    bestRange = range;
                    bestChannel = ch;
                    pick = i;
                }
            }
            if (pick == boxes.size())
                break;
            Box& b = boxes[pick];
            std::sort(colours.begin() + std::ptrdiff_t(b.begin),
                      colours.begin() + std::ptrdiff_t(b.end), [&](const Item& x, const Item& y) {
                          return channel(x.first, bestChannel) < channel(y.first, bestChannel);
                      });
            std::uint64_t total = 0, half = 0;
            for (std::size_t i = b.begin; i < b.end; ++i)
                total += colours[i].second;
            std::size_t split = b.begin + 1;
            for (std::size_t i = b.begin; i < b.end - 1; ++i) {
                half += colours[i].second;
                split = i + 1;
                if (half * 2 >= total)
                    break;
            }
            const Box upper{split, b.end};
            b.end = split;
            boxes.push_back(upper);
        }
        std::vector<QRgb> out;
        for (const Box& b : boxes) {
            double r = 0, g = 0, bl = 0, n = 0;
            for (std::size_t i = b.begin; i < b.end; ++i) {
                const double w = double(colours[i].second);
                r += qRed(colours[i].first) * w;
                g += qGreen(colours[i].first) * w;
                bl += qBlue(colours[i].first) * w;
                n += w;
            }
            out.push_back(qRgb(int(r / n + 0.5), int(g / n + 0.5), int(bl / n + 0.5)));
        }
        return out;
    }

    std::uint8_t nearest(QRgb c) {
        const auto it = m_cache.find(c);
        if (it != m_cache.end())
            return it->second;
        int best = 1, bestDist = 1 << 30;
        for (std::size_t i = 1; i < m_palette.size(); ++i) {
            const int dr = qRed(c) - qRed(m_palette[i]), dg = qGreen(c) - qGreen(m_palette[i]),
                      db = qBlue(c) - qBlue(m_palette[i]);
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDist) {
                bestDist = d;
                best = int(i);
            }
        }
        m_cache.emplace(c, std::uint8_t(best));
        return std::uint8_t(best);
    }

    bool m_indexed = false;
    std::vector<QRgb> m_palette;
    std::unordered_map<QRgb, std::uint8_t> m_cache;
};

} // namespace

Character buildCharacter(const QString& sourceDir) {
    const Manifest m(sourceDir);
    QFile f(m.path());
    if (!f.open(QIODevice::ReadOnly))
        throw FormatError(m.path().toStdString() +
                          ": cannot open: " + f.errorString().toStdString());
    const QStringList text = QString::fromUtf8(f.readAll()).split(u'\n');

    Character c;
    std::optional<int> transparent;
    std::vector<ImageRef> imageRefs;           // in first-use order
    std::map<QString, std::size_t> imageIndex; // file -> index
    std::map<QString, std::size_t> soundIndex;
    bool haveSize = false;
    QString section, sectionArg;
    Animation* anim = nullptr;
    Frame* frame = nullptr;
    struct FrameRef {
        std::size_t animation, frame;
        int line;
        int branch; // -1: the exit frame
    };
    std::vector<FrameRef> frameRefs; // checked once every frame is known

    auto image = [&](const QString& file, int line) -> std::uint32_t {
        const auto it = imageIndex.find(file);
        if (it != imageIndex.end())
            return std::uint32_t(it->second);
        imageIndex[file] = imageRefs.size();
        imageRefs.push_back({file, line});
        return std::uint32_t(imageRefs.size() - 1);
    };

    for (qsizetype i = 0; i < text.size(); ++i) {
        const int ln = int(i + 1);
        const QString line = text[i].trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) // colours use '#', so comments are whole lines
            continue;
        if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                m.fail(ln, "unterminated section header");
            const QStringList w = words(line.mid(1, line.size() - 2));
            if (w.isEmpty())
                m.fail(ln, "empty section header");
            section = w[0].toLower();
            sectionArg = w.size() > 1 ? w[1] : QString();
            anim = nullptr;
            frame = nullptr;
            if (section == "locale") {
                LocalizedInfo l;
                l.langId = std::uint16_t(parseInt(m, ln, sectionArg, 0, 0xFFFF));
                c.locales.push_back(l);
            } else if (section == "voice") {
                c.voice = VoiceInfo{};
                c.voice->speed = 150;
                c.voice->pitch = 100;
            } else if (section == "balloon") {
                c.balloon = BalloonInfo{};
                c.balloon->lines = 2;
                c.balloon->charsPerLine = 28;
                c.balloon->background = qRgb(255, 255, 225);
                c.balloon->fontName = "Sans";
                c.balloon->fontHeight = -13;
                c.balloon->fontWeight = 400;
                c.flags |= BalloonSizeToText;
            } else if (section == "state") {
                if (sectionArg.isEmpty())
                    m.fail(ln, "a state needs a name: [state NAME]");
                c.states.push_back(State{sectionArg, {}});
            } else if (section == "animation") {
                if (sectionArg.isEmpty())
                    m.fail(ln, "an animation needs a name: [animation NAME]");
                if (c.animationIndex(sectionArg) >= 0)
                    m.fail(ln, "animation '" + sectionArg + "' defined twice");
                Animation a;
                a.name = sectionArg;
                a.storedName = sectionArg.toUpper();
                a.transition = Transition::None;
                c.animations.push_back(a);
                anim = &c.animations.back();
            } else if (section != "character") {
                m.fail(ln, "unknown section [" + section + "]");
            }
            continue;
        }
        if (section.isEmpty())
            m.fail(ln, "expected a [section] first");

        if (section == "animation") {
            const QStringList w = words(line);
            const QString cmd = w[0].toLower();
            if (cmd == "transition" || cmd == "return") {
                const qsizetype eq = line.indexOf(u'=');
                const QString value = eq >= 0 ? line.mid(eq + 1).trimmed() : w.value(1);
                if (cmd == "return") {
                    anim->returnAnimation = value.toUpper();
                    continue;
                }
                const QString v = value.toLower();
                if (v == "return")
                    anim->transition = Transition::ReturnAnimation;
                else if (v == "exit-branches")
                    anim->transition = Transition::ExitBranches;
                else if (v == "none")
                    anim->transition = Transition::None;
                else
                    m.fail(ln, "transition must be return, exit-branches or none");
                continue;
            }
            if (cmd == "frame") {
                if (w.size() != 2)
                    m.fail(ln, "usage: frame DURATION (in 1/100 s)");
                anim->frames.emplace_back();
                frame = &anim->frames.back();
                frame->duration = std::uint16_t(parseInt(m, ln, w[1], 0, 0xFFFF));
                frame->exitFrame = -1;
                continue;
            }
            if (!frame)
                m.fail(ln, "'" + cmd + "' before the first 'frame'");
            if (cmd == "image") {
                if (w.size() != 2 && w.size() != 4)
                    m.fail(ln, "usage: image FILE.png [X Y]");
                FrameImage im{image(w[1], ln), 0, 0};
                if (w.size() == 4) {
                    im.x = std::int16_t(parseInt(m, ln, w[2], -32768, 32767));
                    im.y = std::int16_t(parseInt(m, ln, w[3], -32768, 32767));
                }
                frame->images.push_back(im);
            } else if (cmd == "sound") {
                if (w.size() != 2)
                    m.fail(ln, "usage: sound FILE.wav");
                auto it = soundIndex.find(w[1]);
                if (it == soundIndex.end()) {
                    QFile wav(m.file(w[1]));
                    if (!wav.open(QIODevice::ReadOnly))
                        m.fail(ln, "cannot open " + wav.fileName() + ": " + wav.errorString());
                    const QByteArray data = wav.readAll();
                    try {
                        decodeSound(data);
                    } catch (const FormatError& e) {
                        m.fail(ln, wav.fileName() + ": " + QString::fromStdString(e.what()));
                    }
                    it = soundIndex.emplace(w[1], c.addSound(data)).first;
                }
                frame->sound = std::uint16_t(it->second);
            } else if (cmd == "exit") {
                if (w.size() != 2)
                    m.fail(ln, "usage: exit FRAME (0-based)");
                frame->exitFrame = std::int16_t(parseInt(m, ln, w[1], 0, 32767));
                frameRefs.push_back({c.animations.size() - 1, anim->frames.size() - 1, ln, -1});
            } else if (cmd == "branch") {
                if (w.size() != 3)
                    m.fail(ln, "usage: branch FRAME PROBABILITY");
                frame->branches.push_back({std::uint16_t(parseInt(m, ln, w[1], 0, 0xFFFF)),
                                           std::uint16_t(parseInt(m, ln, w[2], 0, 100))});
                frameRefs.push_back({c.animations.size() - 1, anim->frames.size() - 1, ln,
                                     int(frame->branches.size() - 1)});
            } else if (cmd == "mouth") {
                QStringList args = w.mid(1);
                const bool replace = !args.isEmpty() && args.back().toLower() == "replace";
                if (replace)
                    args.removeLast();
                if (args.size() != 2 && args.size() != 4)
                    m.fail(ln, "usage: mouth TYPE FILE.png [X Y] [replace]");
                MouthOverlay o;
                o.type = parseMouth(m, ln, args[0]);
                if (frame->overlay(o.type))
                    m.fail(ln, "two '" + args[0] + "' mouths in one frame");
                o.replaceTopImage = replace;
                const std::uint32_t index = image(args[1], ln);
                if (index > 0xFFFF)
                    m.fail(ln, "too many images for a mouth overlay index");
                o.image = std::uint16_t(index);
                if (args.size() == 4) {
                    o.x = std::int16_t(parseInt(m, ln, args[2], -32768, 32767));
                    o.y = std::int16_t(parseInt(m, ln, args[3], -32768, 32767));
                }
                frame->overlays.push_back(o);
            } else {
                m.fail(ln, "unknown frame command '" + cmd + "'");
            }
            continue;
        }

        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            m.fail(ln, "expected 'key = value'");
        const QString key = line.left(eq).trimmed().toLower();
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        auto guid = [&]() {
            const auto g = Guid::fromString(value);
            if (!g)
                m.fail(ln, "expected a GUID like {C3B28D02-B254-11D0-B464-0080C7F5EE85}");
            return *g;
        };
        auto unknown = [&]() { m.fail(ln, "unknown key '" + key + "' in [" + section + "]"); };

        if (section == "character") {
            if (key == "width")
                c.width = std::uint16_t(parseInt(m, ln, value, 1, 0xFFFF));
            else if (key == "height")
                c.height = std::uint16_t(parseInt(m, ln, value, 1, 0xFFFF));
            else if (key == "guid")
                c.guid = guid();
            else if (key == "transparent")
                transparent = int(parseInt(m, ln, value, 0, 255));
            else if (key == "standard-animation-set")
                c.flags = parseBool(m, ln, value) ? c.flags | StandardAnimationSet
                                                  : c.flags & ~std::uint32_t(StandardAnimationSet);
            else
                unknown();
            haveSize = c.width && c.height;
        } else if (section == "locale") {
            LocalizedInfo& l = c.locales.back();
            if (key == "name")
                l.name = value;
            else if (key == "description")
                l.description = value;
            else if (key == "extra")
                l.extraData = value;
            else
                unknown();
        } else if (section == "voice") {
            VoiceInfo& v = *c.voice;
            const bool extra = key == "language" || key == "dialect" || key == "gender" ||
                               key == "age" || key == "style";
            v.hasExtra = v.hasExtra || extra;
            if (key == "engine")
                v.engine = guid();
            else if (key == "mode")
                v.mode = guid();
            else if (key == "speed")
                v.speed = std::uint32_t(parseInt(m, ln, value, 0, 0xFFFFFFFF));
            else if (key == "pitch")
                v.pitch = std::uint16_t(parseInt(m, ln, value, 0, 0xFFFF));
            else if (key == "language")
                v.langId = std::uint16_t(parseInt(m, ln, value, 0, 0xFFFF));
            else if (key == "dialect")
                v.dialect = value;
            else if (key == "gender")
                v.gender = std::uint16_t(parseInt(m, ln, value, 0, 2));
            else if (key == "age")
                v.age = std::uint16_t(parseInt(m, ln, value, 0, 0xFFFF));
            else if (key == "style")
                v.style = value;
            else
                unknown();
        } else if (section == "balloon") {
            BalloonInfo& b = *c.balloon;
            auto flag = [&](std::uint32_t bit, bool setWhenTrue) {
                const bool on = parseBool(m, ln, value);
                if (on == setWhenTrue)
                    c.flags |= bit;
                else
                    c.flags &= ~bit;
            };
            if (key == "lines")
                b.lines = std::uint8_t(parseInt(m, ln, value, 1, 255));
            else if (key == "chars-per-line")
                b.charsPerLine = std::uint8_t(parseInt(m, ln, value, 1, 255));
            else if (key == "font")
                b.fontName = value;
            else if (key == "font-height")
                b.fontHeight = std::int32_t(parseInt(m, ln, value, -1000, 1000));
            else if (key == "font-weight")
                b.fontWeight = std::int32_t(parseInt(m, ln, value, 0, 1000));
            else if (key == "italic")
                b.italic = parseBool(m, ln, value);
            else if (key == "foreground")
                b.foreground = parseColour(m, ln, value);
            else if (key == "background")
                b.background = parseColour(m, ln, value);
            else if (key == "border")
                b.border = parseColour(m, ln, value);
            else if (key == "size-to-text")
                flag(BalloonSizeToText, true);
            else if (key == "auto-hide")
                flag(BalloonAutoHideOff, false);
            else if (key == "auto-pace")
                flag(BalloonAutoPaceOff, false);
            else
                unknown();
        } else if (section == "state") {
            if (key != "animation")
                unknown();
            c.states.back().animations.append(value);
        }
    }

    const int end = int(text.size());
    if (!haveSize)
        m.fail(end, "[character] needs width and height");
    if (c.locales.empty())
        m.fail(end, "at least one [locale ID] section with a name is needed");
    c.flags |= c.voice ? VoiceOn : VoiceOff;
    c.flags |= c.balloon ? BalloonOn : BalloonOff;
    for (const FrameRef& ref : frameRefs) {
        const Animation& a = c.animations[ref.animation];
        const Frame& fr = a.frames[ref.frame];
        const int target =
            ref.branch < 0 ? fr.exitFrame : fr.branches[std::size_t(ref.branch)].frame;
        if (std::size_t(target) >= a.frames.size())
            m.fail(ref.line, QStringLiteral("%1 frame %2, but '%3' has %4 frames")
                                 .arg(ref.branch < 0 ? "exit to" : "branch to")
                                 .arg(target)
                                 .arg(a.name)
                                 .arg(a.frames.size()));
    }
    for (const Animation& a : c.animations)
        if (!a.returnAnimation.isEmpty() && c.animationIndex(a.returnAnimation) < 0)
            m.fail(end, "animation '" + a.name + "' returns to unknown animation '" +
                            a.returnAnimation + "'");
    for (const State& s : c.states)
        for (const QString& a : s.animations)
            if (c.animationIndex(a) < 0)
                m.fail(end, "state '" + s.name + "' names unknown animation '" + a + "'");
    if (c.guid == Guid{}) {
        const QUuid id = QUuid::createUuidV5(QUuid(), c.locales.front().name);
        c.guid = *Guid::fromString(id.toString());
    }

    std::vector<QImage> images;
    for (const ImageRef& ref : imageRefs) {
        QImage img(m.file(ref.file));
        if (img.isNull())
            m.fail(ref.line, "cannot read image " + m.file(ref.file));
        if (img.width() > 0xFFFF || img.height() > 0xFFFF)
            m.fail(ref.line, "image " + ref.file + " is larger than 65535 pixels");
        images.push_back(img);
    }
    Palette palette;
    palette.build(m, images, imageRefs, transparent, c);
    for (const QImage& img : images)
        c.addImage(palette.convert(img, c.transparentIndex));

    // The original tools store the mouth's centre in width/height.
    for (Animation& a : c.animations)
        for (Frame& fr : a.frames)
            for (MouthOverlay& o : fr.overlays) {
                const Bitmap& b = c.bitmap(o.image);
                o.width = std::uint16_t(std::max(0, o.x + b.width / 2));
                o.height = std::uint16_t(std::max(0, o.y + b.height / 2));
            }
    return c;
}

} // namespace acstool
