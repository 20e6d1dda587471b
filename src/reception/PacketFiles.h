#pragma once

#include <QString>

namespace svod::reception {

class Interaction;

// The two files of a packet derived from the one the user picked.
struct PacketPair {
    QString a;
    QString b;
    // The picked name is not that of an exchange file (no pair derived).
    bool notExchangeFile = false;
};

// A file named A... or B... (either case, longer than 8 characters) pairs with the file whose name
// differs only in the first letter.
PacketPair derivePacketPair(const QString& pickedPath);

// Moves one file into a directory, replacing a file of the same name there. The source is removed
// only after its copy is complete and on disk; a failing copy leaves the source and no partial
// target. Throws svod::Error.
void filemove(const QString& path, const QString& directory);

// Moves the accepted files into the directory "RECEIVED" inside `inDir`; `b` may be empty. It runs
// after the commit, so nothing it meets is an error of the reception: the result is the warning
// the user gets after the success (what failed, and where each file not archived still is), empty
// when every file is in the archive.
QString MoveFilesToRECIVED(Interaction& interaction, const QString& inDir, const QString& a,
                           const QString& b);

} // namespace svod::reception
