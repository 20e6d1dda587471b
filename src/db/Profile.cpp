#include "db/Profile.h"

#include <QtGlobal>
#include <cstdio>

namespace svod::db {

bool profiling() {
    static const bool enabled = qEnvironmentVariableIntValue("SVOD_PROFILE") != 0;
    return enabled;
}

ProfilePhase::ProfilePhase(QString what) {
    if (!profiling())
        return;
    what_ = std::move(what);
    timer_.start();
}

ProfilePhase::~ProfilePhase() {
    if (!timer_.isValid())
        return;
    // Statements are long; their start says enough.
    QString shown = what_.simplified();
    if (shown.size() > 110)
        shown = shown.left(107) + QStringLiteral("...");
    std::fprintf(stderr, "[profile] %9.3f s  %s\n", double(timer_.nsecsElapsed()) / 1e9, qPrintable(shown));
}

} // namespace svod::db
