#pragma once

#include <QString>
#include <QStringList>

namespace svod::demo {

// A packet pair of one branch: the A table of items and the B table of balances.
struct PacketOptions {
    QString dir;
    QString branch = QStringLiteral("01");
    int items = 1000;
    int year = 2005;
    unsigned seed = 1;
};

struct PacketFiles {
    QString a;
    QString b;
    qint64 aRows = 0;
    qint64 bRows = 0;
};

// Writes A<branch>01<yy>.dbf and B<branch>01<yy>.dbf: the 29 item columns with Russian names in
// code page 866, about 10% written-off items, and in B two header rows (planes "1" and "3")
// plus one row per item, month of the year and plane 1 to 4. Balances add up per item and
// plane (SALDO = previous SALDO + DELTA, starting from nothing), and depreciation never
// exceeds the balance value, so the packet passes the consistency checks.
PacketFiles generatePacket(const PacketOptions& options);

// Small sample packets of the demo branches, for init-db --demo; returns the files written.
QStringList writeDemoPackets(const QString& dir);

} // namespace svod::demo
