#include "TestData.h"

#include "agent/format/Compositor.h"

#include <QProcess>
#include <QTemporaryDir>

namespace testdata {

void decodeEverything(const agent::format::Character& c) {
    for (std::size_t i = 0; i < c.imageCount(); ++i) {
        c.bitmap(i);
        c.regionData(i);
    }
    for (const auto& a : c.animations)
        for (const auto& f : a.frames) {
            agent::format::composeFrame(c, f);
            agent::format::frameShape(c, f);
            for (const auto& o : f.overlays)
                agent::format::composeFrame(c, f, o.type);
        }
}

int acstool(const QByteArray& bytes, const char* name, const QStringList& args, QString* err) {
    QTemporaryDir dir;
    QFile f(dir.filePath(QString::fromLatin1(name)));
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return -1;
    f.close();
    QProcess p;
    p.start(QStringLiteral(ACSTOOL_PATH), QStringList(args) << f.fileName());
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitCode();
}

} // namespace testdata
