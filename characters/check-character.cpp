// check-character FILE.acs character.txt
//
// Checks a compiled character against the manifest it was built from, frame by
// frame (images, durations, sounds, exits, branches, mouth overlays, states),
// and checks that it can live on the desktop: the idling levels have variety,
// the resting frame and the Speaking animations carry all seven mouths with
// seven different drawings, and every animation ends looking exactly like the
// resting pose, on its own or through its return animation.
// Prints one line per fault and exits 1 if there is any.

#include "agent/format/Character.h"
#include "agent/format/Compositor.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QTextStream>

#include <cstdio>
#include <map>

using namespace agent::format;

namespace {

int faults = 0;

void fault(const QString& text) {
    std::printf("FAIL: %s\n", qPrintable(text));
    ++faults;
}

struct SourceOverlay {
    QString type;
    QString file;
    int x = 0, y = 0;
    bool replace = false;
};

struct SourceFrame {
    int duration = 0;
    QStringList images;
    QString sound;
    int exit = -1;
    QList<QPair<int, int>> branches;
    QList<SourceOverlay> overlays;
};

struct SourceAnimation {
    QString name;
    QString transition = QStringLiteral("none");
    QString returnName;
    QList<SourceFrame> frames;
};

struct Source {
    QList<SourceAnimation> animations;
    QList<QPair<QString, QStringList>> states;
    QStringList imageFiles; // distinct, first use order
    QStringList soundFiles;
};

QString unquote(QString v) {
    v = v.trimmed();
    if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"'))
        v = v.mid(1, v.size() - 2);
    return v;
}

int number(const QString& text) {
    bool ok = false;
    const int n = text.toInt(&ok, 0);
    if (!ok)
        fault("manifest: not a number: " + text);
    return n;
}

// Reads just what the comparison needs; acstool build has already rejected
// anything malformed.
Source readManifest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        fault("cannot read " + path);
        return {};
    }
    Source s;
    QString section, arg;
    auto addImage = [&](const QString& file) {
        if (!s.imageFiles.contains(file))
            s.imageFiles.append(file);
    };
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            const QString inner = line.mid(1, line.indexOf(']') - 1).trimmed();
            section = inner.section(' ', 0, 0).toLower();
            arg = inner.section(' ', 1).trimmed();
            if (section == "animation") {
                SourceAnimation a;
                a.name = arg;
                s.animations.append(a);
            } else if (section == "state") {
                s.states.append(qMakePair(arg, QStringList()));
            }
            continue;
        }
        if (section == "state") {
            if (line.section('=', 0, 0).trimmed() == "animation")
                s.states.last().second.append(unquote(line.section('=', 1)));
            continue;
        }
        if (section != "animation")
            continue;
        SourceAnimation& a = s.animations.last();
        const QStringList w = line.split(' ', Qt::SkipEmptyParts);
        if (line.contains('=') && !line.startsWith("image") && !line.startsWith("mouth")) {
            const QString key = line.section('=', 0, 0).trimmed();
            const QString value = unquote(line.section('=', 1));
            if (key == "transition")
                a.transition = value;
            else if (key == "return")
                a.returnName = value;
        } else if (w[0] == "frame") {
            a.frames.append(SourceFrame());
            a.frames.last().duration = number(w.value(1));
        } else if (w[0] == "image") {
            a.frames.last().images.append(w.value(1));
            addImage(w.value(1));
        } else if (w[0] == "sound") {
            a.frames.last().sound = w.value(1);
            if (!s.soundFiles.contains(w.value(1)))
                s.soundFiles.append(w.value(1));
        } else if (w[0] == "exit") {
            a.frames.last().exit = number(w.value(1));
        } else if (w[0] == "branch") {
            a.frames.last().branches.append({number(w.value(1)), number(w.value(2))});
        } else if (w[0] == "mouth") {
            SourceOverlay o{w.value(1), w.value(2), 0, 0, w.last() == "replace"};
            if (w.size() >= 5 && w[3] != "replace") {
                o.x = number(w[3]);
                o.y = number(w[4]);
            }
            a.frames.last().overlays.append(o);
            addImage(o.file);
        }
    }
    return s;
}

const char* const kMouthNames[MouthTypeCount] = {"closed", "wide1",  "wide2", "wide3",
                                                 "wide4",  "medium", "narrow"};

QString where(const QString& anim, int frame) {
    return anim + " frame " + QString::number(frame) + ": ";
}

void compare(const Source& s, const Character& c) {
    if (c.animations.size() != std::size_t(s.animations.size()))
        fault(QString("%1 animations compiled, %2 in the manifest")
                  .arg(c.animations.size())
                  .arg(s.animations.size()));
    if (c.imageCount() != std::size_t(s.imageFiles.size()))
        fault(QString("%1 images compiled, %2 distinct files in the manifest")
                  .arg(c.imageCount())
                  .arg(s.imageFiles.size()));
    if (c.soundCount() != std::size_t(s.soundFiles.size()))
        fault(QString("%1 sounds compiled, %2 distinct files in the manifest")
                  .arg(c.soundCount())
                  .arg(s.soundFiles.size()));

    // A file maps to one stored image or sound, and different files to different ones.
    QHash<QString, int> imageOf, soundOf;
    auto same = [](QHash<QString, int>& map, const QString& file, int index, const QString& at) {
        auto it = map.find(file);
        if (it == map.end()) {
            for (auto j = map.cbegin(); j != map.cend(); ++j)
                if (j.value() == index)
                    fault(at + file + " and " + j.key() + " share stored entry " +
                          QString::number(index));
            map.insert(file, index);
        } else if (it.value() != index) {
            fault(at + file + " is stored twice");
        }
    };

    const std::size_t n = std::min(c.animations.size(), std::size_t(s.animations.size()));
    for (std::size_t i = 0; i < n; ++i) {
        const Animation& got = c.animations[i];
        const SourceAnimation& want = s.animations[int(i)];
        if (got.name != want.name) {
            fault(QString("animation %1 is %2, the manifest says %3")
                      .arg(i)
                      .arg(got.name, want.name));
            continue;
        }
        const Transition t = want.transition == "return"          ? Transition::ReturnAnimation
                             : want.transition == "exit-branches" ? Transition::ExitBranches
                                                                  : Transition::None;
        if (got.transition != t)
            fault(want.name + ": transition differs from the manifest's " + want.transition);
        // Stored names are upper case, as in classic files.
        if (t == Transition::ReturnAnimation &&
            got.returnAnimation.compare(want.returnName, Qt::CaseInsensitive) != 0)
            fault(want.name + ": returns to " + got.returnAnimation + ", not " + want.returnName);
        if (got.frames.size() != std::size_t(want.frames.size())) {
            fault(QString("%1: %2 frames, the manifest has %3")
                      .arg(want.name)
                      .arg(got.frames.size())
                      .arg(want.frames.size()));
            continue;
        }
        for (int f = 0; f < want.frames.size(); ++f) {
            const Frame& g = got.frames[std::size_t(f)];
            const SourceFrame& w = want.frames[f];
            const QString at = where(want.name, f);
            if (g.duration != w.duration)
                fault(at + QString("duration %1, not %2").arg(g.duration).arg(w.duration));
            if (g.images.size() != std::size_t(w.images.size()))
                fault(at + QString("%1 images, not %2").arg(g.images.size()).arg(w.images.size()));
            else
                for (int k = 0; k < w.images.size(); ++k)
                    same(imageOf, w.images[k], int(g.images[std::size_t(k)].image), at);
            if (w.sound.isEmpty() != (g.sound == NoSound))
                fault(at + (w.sound.isEmpty() ? "has a sound the manifest does not give"
                                              : "lacks its sound " + w.sound));
            else if (!w.sound.isEmpty())
                same(soundOf, w.sound, g.sound, at);
            if (g.exitFrame != w.exit)
                fault(at + QString("exit %1, not %2").arg(g.exitFrame).arg(w.exit));
            QList<QPair<int, int>> branches;
            for (const Branch& b : g.branches)
                branches.append({b.frame, b.probability});
            if (branches != w.branches)
                fault(at + "branches differ from the manifest");
            if (g.overlays.size() != std::size_t(w.overlays.size())) {
                fault(at +
                      QString("%1 mouths, not %2").arg(g.overlays.size()).arg(w.overlays.size()));
                continue;
            }
            for (int k = 0; k < w.overlays.size(); ++k) {
                const MouthOverlay& o = g.overlays[std::size_t(k)];
                const SourceOverlay& wo = w.overlays[k];
                if (QString::fromLatin1(kMouthNames[int(o.type)]) != wo.type ||
                    o.replaceTopImage != wo.replace || o.x != wo.x || o.y != wo.y)
                    fault(at + "mouth " + wo.type + " differs from the manifest");
                same(imageOf, wo.file, o.image, at);
            }
        }
    }

    if (c.states.size() != std::size_t(s.states.size()))
        fault(QString("%1 states compiled, %2 in the manifest")
                  .arg(c.states.size())
                  .arg(s.states.size()));
    for (const auto& [name, anims] : s.states)
        if (c.stateAnimations(name) != anims)
            fault("state " + name + " has " + c.stateAnimations(name).join(", ") +
                  ", the manifest says " + anims.join(", "));
}

bool hasAllMouths(const Frame& f) {
    for (int m = 0; m < MouthTypeCount; ++m)
        if (!f.overlay(MouthType(m)))
            return false;
    return true;
}

void checkLiving(const Character& c) {
    for (const char* state : {"Showing", "Hiding", "Speaking"})
        if (c.stateAnimations(state).isEmpty())
            fault(QString("no %1 animation").arg(state));
    for (int level = 1; level <= 3; ++level)
        if (c.stateAnimations(QString("IdlingLevel%1").arg(level)).size() < 2)
            fault(QString("IdlingLevel%1 has fewer than two animations").arg(level));

    const Animation* rest = c.animation("RestPose");
    if (!rest || rest->frames.empty()) {
        fault("no RestPose");
        return;
    }
    const Frame& restFrame = rest->frames.back();
    if (!hasAllMouths(restFrame))
        fault("RestPose lacks some of the seven mouths");
    // Seven different drawings, so speech visibly moves the mouth.
    QList<QImage> mouths;
    for (int m = 0; m < MouthTypeCount; ++m) {
        if (!restFrame.overlay(MouthType(m)))
            continue;
        const QImage img = composeFrame(c, restFrame, MouthType(m));
        for (int k = 0; k < mouths.size(); ++k)
            if (mouths[k] == img)
                fault(QString("RestPose: mouths %1 and %2 look the same")
                          .arg(kMouthNames[k], kMouthNames[m]));
        mouths.append(img);
    }
    for (const QString& name : c.stateAnimations("Speaking")) {
        const Animation* a = c.animation(name);
        if (a && !a->frames.empty() && !hasAllMouths(a->frames.back()))
            fault("Speaking animation " + name + " ends on a frame without all seven mouths");
    }

    const QImage restImage = composeFrame(c, restFrame);
    const QStringList hiding = c.stateAnimations("Hiding");
    for (const Animation& a : c.animations) {
        if (hiding.contains(a.name, Qt::CaseInsensitive) || a.frames.empty())
            continue;
        // Follow return animations to the frame the character settles on.
        const Animation* end = &a;
        for (int hops = 0; end && end->transition == Transition::ReturnAnimation && hops < 4;
             ++hops)
            end = c.animation(end->returnAnimation);
        if (!end || end->frames.empty() || end->transition == Transition::ReturnAnimation) {
            fault(a.name + ": its return animation is missing or never settles");
            continue;
        }
        const Frame& last = end->frames.back();
        if (composeFrame(c, last) != restImage)
            fault(a.name + ": does not end in the resting pose (via " + end->name + ")");
        else if (!hasAllMouths(last))
            fault(a.name + ": ends in the resting pose without its mouths (via " + end->name + ")");
        if (a.transition == Transition::ExitBranches)
            for (std::size_t f = 0; f + 1 < a.frames.size(); ++f)
                if (a.frames[f].exitFrame < 0 ||
                    std::size_t(a.frames[f].exitFrame) >= a.frames.size())
                    fault(where(a.name, int(f)) + "no way out when stopped here");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: check-character FILE.acs character.txt\n");
        return 2;
    }
    const Source source = readManifest(QString::fromLocal8Bit(argv[2]));
    if (source.animations.isEmpty())
        fault("the manifest has no animations");
    try {
        const Character c = Character::open(QString::fromLocal8Bit(argv[1]));
        compare(source, c);
        checkLiving(c);
    } catch (const FormatError& e) {
        fault(QString::fromLocal8Bit(e.what()));
    }
    if (faults == 0)
        std::printf("ok: %lld animations, %lld states match the manifest; the character can live\n",
                    static_cast<long long>(source.animations.size()),
                    static_cast<long long>(source.states.size()));
    return faults == 0 ? 0 : 1;
}
