#pragma once

#include <QElapsedTimer>
#include <QString>

namespace svod::db {

// Optional timing log for finding where a long operation spends its time: with SVOD_PROFILE=1 in
// the environment every timed phase prints its wall time to stderr; otherwise it costs one test.
bool profiling();

// Times one phase from construction to destruction.
class ProfilePhase {
public:
    explicit ProfilePhase(QString what);
    ~ProfilePhase();
    ProfilePhase(const ProfilePhase&) = delete;
    ProfilePhase& operator=(const ProfilePhase&) = delete;

private:
    QString what_;
    QElapsedTimer timer_;
};

} // namespace svod::db
