// acstool build: reads SOURCE_DIR/character.txt (sections of "key = value"
// lines, frames as commands) and the PNG and WAV files it names.

#include "Builder.h"

#include "Manifest.h"
#include "Palette.h"

#include "agent/format/Sound.h"

#include <QFile>
#include <QImage>
#include <QUuid>

#include <algorithm>
#include <map>

using namespace agent::format;

namespace acstool {

namespace {

// An image file in first-use order, with the line that first named it.
struct ImageRef {
    QString file;
    int line;
};

// An exit or branch target, checked once every frame of its animation is known.
struct FrameRef {
    std::size_t animation, frame;
    int line;
    int branch; // -1: the exit frame
};

// Reads the manifest line by line into a Character, then runs the checks that
// need all of it and converts the images. Use once.
class CharacterReader {
  public:
    explicit CharacterReader(const QString& sourceDir) : m_manifest(sourceDir) {}
    Character read();

  private:
    void readLine(int ln, const QString& line);
    void beginSection(int ln, const QString& line);
    void beginAnimation(int ln);
    void readSetting(int ln, const QString& line);
    void readCharacter(int ln, const QString& key, const QString& value);
    void readLocale(int ln, const QString& key, const QString& value);
    void readVoice(int ln, const QString& key, const QString& value);
    void readBalloon(int ln, const QString& key, const QString& value);
    void readState(int ln, const QString& key, const QString& value);
    void readAnimation(int ln, const QString& line);
    void readTransition(int ln, const QString& line, const QString& cmd, const QStringList& w);
    void readFrameCommand(int ln, const QString& cmd, const QStringList& w);
    void frameImage(int ln, const QStringList& w);
    void frameSound(int ln, const QStringList& w);
    void frameExit(int ln, const QStringList& w);
    void frameBranch(int ln, const QStringList& w);
    void frameMouth(int ln, const QStringList& w);

    void checkRequired(int end) const;
    void checkFrameRefs() const;
    void checkReturnAnimations(int end) const;
    void checkStateAnimations(int end) const;
    void defaultGuid();
    void addImages();
    void placeMouths();

    [[noreturn]] void fail(int ln, const QString& what) const { m_manifest.fail(ln, what); }
    [[noreturn]] void unknownKey(int ln, const QString& key) const {
        fail(ln, "unknown key '" + key + "' in [" + m_section + "]");
    }
    long long number(int ln, const QString& v, long long lo, long long hi) const {
        return parseInt(m_manifest, ln, v, lo, hi);
    }
    Guid guid(int ln, const QString& value) const;
    std::uint32_t image(const QString& file, int ln);
    Animation& animation() { return m_c.animations.back(); }
    Frame& frame() { return animation().frames.back(); }

    const Manifest m_manifest;
    Character m_c;
    QString m_section, m_sectionArg;
    std::optional<int> m_transparent;
    std::vector<ImageRef> m_imageRefs;
    std::map<QString, std::size_t> m_imageIndex; // file -> index
    std::map<QString, std::size_t> m_soundIndex;
    std::vector<FrameRef> m_frameRefs;
};

Character CharacterReader::read() {
    QFile f(m_manifest.path());
    if (!f.open(QIODevice::ReadOnly))
        throw FormatError(m_manifest.path().toStdString() +
                          ": cannot open: " + f.errorString().toStdString());
    const QStringList text = QString::fromUtf8(f.readAll()).split(u'\n');
    for (qsizetype i = 0; i < text.size(); ++i)
        readLine(int(i + 1), text[i].trimmed());

    const int end = int(text.size());
    checkRequired(end);
    m_c.flags |= m_c.voice ? VoiceOn : VoiceOff;
    m_c.flags |= m_c.balloon ? BalloonOn : BalloonOff;
    checkFrameRefs();
    checkReturnAnimations(end);
    checkStateAnimations(end);
    defaultGuid();
    addImages();
    placeMouths();
    return std::move(m_c);
}

void CharacterReader::readLine(int ln, const QString& line) {
    if (line.isEmpty() || line.startsWith(u'#')) // colours use '#', so comments are whole lines
        return;
    if (line.startsWith(u'['))
        beginSection(ln, line);
    else if (m_section.isEmpty())
        fail(ln, "expected a [section] first");
    else if (m_section == "animation")
        readAnimation(ln, line);
    else
        readSetting(ln, line);
}

// --- section headers ---

void CharacterReader::beginSection(int ln, const QString& line) {
    if (!line.endsWith(u']'))
        fail(ln, "unterminated section header");
    const QStringList w = words(line.mid(1, line.size() - 2));
    if (w.isEmpty())
        fail(ln, "empty section header");
    m_section = w[0].toLower();
    m_sectionArg = w.size() > 1 ? w[1] : QString();
    if (m_section == "locale") {
        LocalizedInfo l;
        l.langId = std::uint16_t(number(ln, m_sectionArg, 0, 0xFFFF));
        m_c.locales.push_back(l);
    } else if (m_section == "voice") {
        m_c.voice = VoiceInfo{};
        m_c.voice->speed = 150;
        m_c.voice->pitch = 100;
    } else if (m_section == "balloon") {
        m_c.balloon = BalloonInfo{};
        m_c.balloon->lines = 2;
        m_c.balloon->charsPerLine = 28;
        m_c.balloon->background = qRgb(255, 255, 225);
        m_c.balloon->fontName = "Sans";
        m_c.balloon->fontHeight = -13;
        m_c.balloon->fontWeight = 400;
        m_c.flags |= BalloonSizeToText;
    } else if (m_section == "state") {
        if (m_sectionArg.isEmpty())
            fail(ln, "a state needs a name: [state NAME]");
        m_c.states.push_back(State{m_sectionArg, {}});
    } else if (m_section == "animation") {
        beginAnimation(ln);
    } else if (m_section != "character") {
        fail(ln, "unknown section [" + m_section + "]");
    }
}

void CharacterReader::beginAnimation(int ln) {
    if (m_sectionArg.isEmpty())
        fail(ln, "an animation needs a name: [animation NAME]");
    if (m_c.animationIndex(m_sectionArg) >= 0)
        fail(ln, "animation '" + m_sectionArg + "' defined twice");
    Animation a;
    a.name = m_sectionArg;
    a.storedName = m_sectionArg.toUpper();
    a.transition = Transition::None;
    m_c.animations.push_back(a);
}

// --- "key = value" sections ---

void CharacterReader::readSetting(int ln, const QString& line) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        fail(ln, "expected 'key = value'");
    const QString key = line.left(eq).trimmed().toLower();
    QString value = line.mid(eq + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        value = value.mid(1, value.size() - 2);
    if (m_section == "character")
        readCharacter(ln, key, value);
    else if (m_section == "locale")
        readLocale(ln, key, value);
    else if (m_section == "voice")
        readVoice(ln, key, value);
    else if (m_section == "balloon")
        readBalloon(ln, key, value);
    else if (m_section == "state")
        readState(ln, key, value);
}

Guid CharacterReader::guid(int ln, const QString& value) const {
    const auto g = Guid::fromString(value);
    if (!g)
        fail(ln, "expected a GUID like {C3B28D02-B254-11D0-B464-0080C7F5EE85}");
    return *g;
}

void CharacterReader::readCharacter(int ln, const QString& key, const QString& value) {
    if (key == "width")
        m_c.width = std::uint16_t(number(ln, value, 1, 0xFFFF));
    else if (key == "height")
        m_c.height = std::uint16_t(number(ln, value, 1, 0xFFFF));
    else if (key == "guid")
        m_c.guid = guid(ln, value);
    else if (key == "transparent")
        m_transparent = int(number(ln, value, 0, 255));
    else if (key == "standard-animation-set")
        m_c.flags = parseBool(m_manifest, ln, value)
                        ? m_c.flags | StandardAnimationSet
                        : m_c.flags & ~std::uint32_t(StandardAnimationSet);
    else
        unknownKey(ln, key);
}

void CharacterReader::readLocale(int ln, const QString& key, const QString& value) {
    LocalizedInfo& l = m_c.locales.back();
    if (key == "name")
        l.name = value;
    else if (key == "description")
        l.description = value;
    else if (key == "extra")
        l.extraData = value;
    else
        unknownKey(ln, key);
}

void CharacterReader::readVoice(int ln, const QString& key, const QString& value) {
    VoiceInfo& v = *m_c.voice;
    const bool extra =
        key == "language" || key == "dialect" || key == "gender" || key == "age" || key == "style";
    v.hasExtra = v.hasExtra || extra;
    if (key == "engine")
        v.engine = guid(ln, value);
    else if (key == "mode")
        v.mode = guid(ln, value);
    else if (key == "speed")
        v.speed = std::uint32_t(number(ln, value, 0, 0xFFFFFFFF));
    else if (key == "pitch")
        v.pitch = std::uint16_t(number(ln, value, 0, 0xFFFF));
    else if (key == "language")
        v.langId = std::uint16_t(number(ln, value, 0, 0xFFFF));
    else if (key == "dialect")
        v.dialect = value;
    else if (key == "gender")
        v.gender = std::uint16_t(number(ln, value, 0, 2));
    else if (key == "age")
        v.age = std::uint16_t(number(ln, value, 0, 0xFFFF));
    else if (key == "style")
        v.style = value;
    else
        unknownKey(ln, key);
}

void CharacterReader::readBalloon(int ln, const QString& key, const QString& value) {
    BalloonInfo& b = *m_c.balloon;
    auto flag = [&](std::uint32_t bit, bool setWhenTrue) {
        if (parseBool(m_manifest, ln, value) == setWhenTrue)
            m_c.flags |= bit;
        else
            m_c.flags &= ~bit;
    };
    if (key == "lines")
        b.lines = std::uint8_t(number(ln, value, 1, 255));
    else if (key == "chars-per-line")
        b.charsPerLine = std::uint8_t(number(ln, value, 1, 255));
    else if (key == "font")
        b.fontName = value;
    else if (key == "font-height")
        b.fontHeight = std::int32_t(number(ln, value, -1000, 1000));
    else if (key == "font-weight")
        b.fontWeight = std::int32_t(number(ln, value, 0, 1000));
    else if (key == "italic")
        b.italic = parseBool(m_manifest, ln, value);
    else if (key == "foreground")
        b.foreground = parseColour(m_manifest, ln, value);
    else if (key == "background")
        b.background = parseColour(m_manifest, ln, value);
    else if (key == "border")
        b.border = parseColour(m_manifest, ln, value);
    else if (key == "size-to-text")
        flag(BalloonSizeToText, true);
    else if (key == "auto-hide")
        flag(BalloonAutoHideOff, false);
    else if (key == "auto-pace")
        flag(BalloonAutoPaceOff, false);
    else
        unknownKey(ln, key);
}

void CharacterReader::readState(int ln, const QString& key, const QString& value) {
    if (key != "animation")
        unknownKey(ln, key);
    m_c.states.back().animations.append(value);
}

// --- [animation]: settings, then frames and their commands ---

void CharacterReader::readAnimation(int ln, const QString& line) {
    const QStringList w = words(line);
    const QString cmd = w[0].toLower();
    if (cmd == "transition" || cmd == "return") {
        readTransition(ln, line, cmd, w);
    } else if (cmd == "frame") {
        if (w.size() != 2)
            fail(ln, "usage: frame DURATION (in 1/100 s)");
        animation().frames.emplace_back();
        frame().duration = std::uint16_t(number(ln, w[1], 0, 0xFFFF));
        frame().exitFrame = -1;
    } else {
        if (animation().frames.empty())
            fail(ln, "'" + cmd + "' before the first 'frame'");
        readFrameCommand(ln, cmd, w);
    }
}

void CharacterReader::readTransition(int ln, const QString& line, const QString& cmd,
                                     const QStringList& w) {
    const qsizetype eq = line.indexOf(u'=');
    const QString value = eq >= 0 ? line.mid(eq + 1).trimmed() : w.value(1);
    if (cmd == "return") {
        animation().returnAnimation = value.toUpper();
        return;
    }
    const QString v = value.toLower();
    if (v == "return")
        animation().transition = Transition::ReturnAnimation;
    else if (v == "exit-branches")
        animation().transition = Transition::ExitBranches;
    else if (v == "none")
        animation().transition = Transition::None;
    else
        fail(ln, "transition must be return, exit-branches or none");
}

void CharacterReader::readFrameCommand(int ln, const QString& cmd, const QStringList& w) {
    if (cmd == "image")
        frameImage(ln, w);
    else if (cmd == "sound")
        frameSound(ln, w);
    else if (cmd == "exit")
        frameExit(ln, w);
    else if (cmd == "branch")
        frameBranch(ln, w);
    else if (cmd == "mouth")
        frameMouth(ln, w);
    else
        fail(ln, "unknown frame command '" + cmd + "'");
}

std::uint32_t CharacterReader::image(const QString& file, int ln) {
    const auto it = m_imageIndex.find(file);
    if (it != m_imageIndex.end())
        return std::uint32_t(it->second);
    m_imageIndex[file] = m_imageRefs.size();
    m_imageRefs.push_back({file, ln});
    return std::uint32_t(m_imageRefs.size() - 1);
}

void CharacterReader::frameImage(int ln, const QStringList& w) {
    if (w.size() != 2 && w.size() != 4)
        fail(ln, "usage: image FILE.png [X Y]");
    FrameImage im{image(w[1], ln), 0, 0};
    if (w.size() == 4) {
        im.x = std::int16_t(number(ln, w[2], -32768, 32767));
        im.y = std::int16_t(number(ln, w[3], -32768, 32767));
    }
    frame().images.push_back(im);
}

void CharacterReader::frameSound(int ln, const QStringList& w) {
    if (w.size() != 2)
        fail(ln, "usage: sound FILE.wav");
    auto it = m_soundIndex.find(w[1]);
    if (it == m_soundIndex.end()) {
        QFile wav(m_manifest.file(w[1]));
        if (!wav.open(QIODevice::ReadOnly))
            fail(ln, "cannot open " + wav.fileName() + ": " + wav.errorString());
        const QByteArray data = wav.readAll();
        try {
            decodeSound(data);
        } catch (const FormatError& e) {
            fail(ln, wav.fileName() + ": " + QString::fromStdString(e.what()));
        }
        it = m_soundIndex.emplace(w[1], m_c.addSound(data)).first;
    }
    frame().sound = std::uint16_t(it->second);
}

void CharacterReader::frameExit(int ln, const QStringList& w) {
    if (w.size() != 2)
        fail(ln, "usage: exit FRAME (0-based)");
    frame().exitFrame = std::int16_t(number(ln, w[1], 0, 32767));
    m_frameRefs.push_back({m_c.animations.size() - 1, animation().frames.size() - 1, ln, -1});
}

void CharacterReader::frameBranch(int ln, const QStringList& w) {
    if (w.size() != 3)
        fail(ln, "usage: branch FRAME PROBABILITY");
    frame().branches.push_back(
        {std::uint16_t(number(ln, w[1], 0, 0xFFFF)), std::uint16_t(number(ln, w[2], 0, 100))});
    m_frameRefs.push_back({m_c.animations.size() - 1, animation().frames.size() - 1, ln,
                           int(frame().branches.size() - 1)});
}

void CharacterReader::frameMouth(int ln, const QStringList& w) {
    QStringList args = w.mid(1);
    const bool replace = !args.isEmpty() && args.back().toLower() == "replace";
    if (replace)
        args.removeLast();
    if (args.size() != 2 && args.size() != 4)
        fail(ln, "usage: mouth TYPE FILE.png [X Y] [replace]");
    MouthOverlay o;
    o.type = parseMouth(m_manifest, ln, args[0]);
    if (frame().overlay(o.type))
        fail(ln, "two '" + args[0] + "' mouths in one frame");
    o.replaceTopImage = replace;
    const std::uint32_t index = image(args[1], ln);
    if (index > 0xFFFF)
        fail(ln, "too many images for a mouth overlay index");
    o.image = std::uint16_t(index);
    if (args.size() == 4) {
        o.x = std::int16_t(number(ln, args[2], -32768, 32767));
        o.y = std::int16_t(number(ln, args[3], -32768, 32767));
    }
    frame().overlays.push_back(o);
}

// --- after the last line ---

void CharacterReader::checkRequired(int end) const {
    if (!m_c.width || !m_c.height)
        fail(end, "[character] needs width and height");
    if (m_c.locales.empty())
        fail(end, "at least one [locale ID] section with a name is needed");
}

void CharacterReader::checkFrameRefs() const {
    for (const FrameRef& ref : m_frameRefs) {
        const Animation& a = m_c.animations[ref.animation];
        const Frame& fr = a.frames[ref.frame];
        const int target =
            ref.branch < 0 ? fr.exitFrame : fr.branches[std::size_t(ref.branch)].frame;
        if (std::size_t(target) >= a.frames.size())
            fail(ref.line, QStringLiteral("%1 frame %2, but '%3' has %4 frames")
                               .arg(ref.branch < 0 ? "exit to" : "branch to")
                               .arg(target)
                               .arg(a.name)
                               .arg(a.frames.size()));
    }
}

void CharacterReader::checkReturnAnimations(int end) const {
    for (const Animation& a : m_c.animations)
        if (!a.returnAnimation.isEmpty() && m_c.animationIndex(a.returnAnimation) < 0)
            fail(end, "animation '" + a.name + "' returns to unknown animation '" +
                          a.returnAnimation + "'");
}

void CharacterReader::checkStateAnimations(int end) const {
    for (const State& s : m_c.states)
        for (const QString& a : s.animations)
            if (m_c.animationIndex(a) < 0)
                fail(end, "state '" + s.name + "' names unknown animation '" + a + "'");
}

// Without a GUID in the manifest, the first locale's name gives a stable one.
void CharacterReader::defaultGuid() {
    if (m_c.guid == Guid{}) {
        const QUuid id = QUuid::createUuidV5(QUuid(), m_c.locales.front().name);
        m_c.guid = *Guid::fromString(id.toString());
    }
}

void CharacterReader::addImages() {
    std::vector<QImage> images;
    for (const ImageRef& ref : m_imageRefs) {
        QImage img(m_manifest.file(ref.file));
        if (img.isNull())
            fail(ref.line, "cannot read image " + m_manifest.file(ref.file));
        if (img.width() > 0xFFFF || img.height() > 0xFFFF)
            fail(ref.line, "image " + ref.file + " is larger than 65535 pixels");
        images.push_back(img);
    }
    Palette palette;
    palette.build(m_manifest, m_imageRefs.empty() ? 0 : m_imageRefs.front().line, images,
                  m_transparent, m_c);
    for (const QImage& img : images)
        m_c.addImage(palette.convert(img, m_c.transparentIndex));
}

// Character files keep the mouth's centre in the overlay's width and height.
void CharacterReader::placeMouths() {
    for (Animation& a : m_c.animations)
        for (Frame& fr : a.frames)
            for (MouthOverlay& o : fr.overlays) {
                const Bitmap& b = m_c.bitmap(o.image);
                o.width = std::uint16_t(std::max(0, o.x + b.width / 2));
                o.height = std::uint16_t(std::max(0, o.y + b.height / 2));
            }
}

} // namespace

Character buildCharacter(const QString& sourceDir) {
    return CharacterReader(sourceDir).read();
}

} // namespace acstool
