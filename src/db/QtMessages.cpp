#include "db/QtMessages.h"

#include <QString>
#include <QtGlobal>

namespace svod {

namespace {
QtMessageHandler previous = nullptr;

void handler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg)
        return;
    if (previous)
        previous(type, context, message);
}
} // namespace

void quietQtMessages() {
    if (qEnvironmentVariable("SVOD_QT_MESSAGES") == QLatin1String("1"))
        return;
    QtMessageHandler old = qInstallMessageHandler(handler);
    if (old != handler)
        previous = old;
}

} // namespace svod
