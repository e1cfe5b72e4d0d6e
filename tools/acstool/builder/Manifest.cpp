#include "Manifest.h"

#include <QColor>
#include <QDir>

#include <map>

using namespace agent::format;

namespace acstool {

Manifest::Manifest(const QString& dir) : m_dir(dir), m_path(QDir(dir).filePath("character.txt")) {}

void Manifest::fail(int line, const QString& what) const {
    throw FormatError(QStringLiteral("%1:%2: %3").arg(m_path).arg(line).arg(what).toStdString());
}

QString Manifest::file(const QString& rel) const {
    return QDir(m_dir).filePath(rel);
}

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

} // namespace acstool
