// gen_packet DIR ITEMS [BRANCH] [YEAR]: writes a realistic A/B packet pair into DIR.
#include <QCoreApplication>
#include <cstdio>

#include "db/Error.h"
#include "demo/PacketGenerator.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: gen_packet DIR ITEMS [BRANCH] [YEAR]\n");
        return 64;
    }
    svod::demo::PacketOptions options;
    options.dir = args[0];
    bool ok = false;
    options.items = args[1].toInt(&ok);
    if (!ok || options.items < 0) {
        std::fprintf(stderr, "ITEMS must be a number\n");
        return 64;
    }
    if (args.size() > 2)
        options.branch = args[2];
    if (args.size() > 3)
        options.year = args[3].toInt();
    try {
        const auto files = svod::demo::generatePacket(options);
        std::printf("%s\t%lld rows\n%s\t%lld rows\n", qPrintable(files.a),
                    static_cast<long long>(files.aRows), qPrintable(files.b),
                    static_cast<long long>(files.bRows));
    } catch (const svod::Error& e) {
        std::fprintf(stderr, "%s\n", qPrintable(e.message()));
        return 4;
    }
    return 0;
}
