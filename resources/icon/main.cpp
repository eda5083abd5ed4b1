// Writes the program icon for the icon theme: OUTDIR/scalable/larkspur.svg
// and OUTDIR/NxN/larkspur.png for each size given.
// Usage: larkspur-icons OUTDIR SIZE...

#include <cstdio>

#include <QDir>
#include <QFile>
#include <QString>

#include "resources/icon/ProgramIcon.h"

namespace {

bool WriteSvg(const QString& folder)
{
    if (!QDir().mkpath(folder)) return false;
    QFile file(folder + QStringLiteral("/larkspur.svg"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    const QByteArray text = resources::ProgramIcon::Svg().toUtf8();
    return file.write(text) == text.size() && file.flush();
}

bool WritePng(const QString& folder, int size)
{
    return QDir().mkpath(folder) && resources::ProgramIcon::Render(size).save(
                                        folder + QStringLiteral("/larkspur.png"), "PNG");
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: larkspur-icons OUTDIR SIZE...\n");
        return 2;
    }
    const QString out = QFile::decodeName(argv[1]);
    if (!WriteSvg(out + QStringLiteral("/scalable"))) {
        std::fprintf(stderr, "larkspur-icons: cannot write the SVG icon in %s\n", argv[1]);
        return 1;
    }
    for (int index = 2; index < argc; ++index) {
        bool ok = false;
        const int size = QString::fromLatin1(argv[index]).toInt(&ok);
        if (!ok || size <= 0 || size > 1024) {
            std::fprintf(stderr, "larkspur-icons: not a size: %s\n", argv[index]);
            return 2;
        }
        const QString folder = out + QStringLiteral("/%1x%1").arg(size);
        if (!WritePng(folder, size)) {
            std::fprintf(stderr, "larkspur-icons: cannot write the %d pixel icon\n", size);
            return 1;
        }
    }
    return 0;
}
