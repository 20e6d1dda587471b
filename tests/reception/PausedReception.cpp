// A file reception that stops inside its replacement transaction, for the test that kills it there:
//   paused_reception CONNECTION A_FILE MARKER
// writes MARKER once the branch's old rows are deleted and then waits to be killed.
#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <cstdio>

#include "db/Connection.h"
#include "db/Error.h"
#include "reception/ReceptionService.h"
#include "support/RecordingInteraction.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fputs("usage: paused_reception CONNECTION A_FILE MARKER\n", stderr);
        return 64;
    }
    try {
        svod::db::Connection connection;
        connection.open(args[1]);
        svod::test::RecordingInteraction interaction;
        interaction.fileToChoose = args[2];
        svod::reception::ReceptionService service(connection, interaction);
        const QString marker = args[3];
        service.setAfterOldRowsDeleted([marker] {
            QFile file(marker);
            if (file.open(QIODevice::WriteOnly))
                file.close();
            QThread::sleep(30);
        });
        service.receive();
    } catch (const svod::Error& e) {
        std::fprintf(stderr, "%s\n", e.message().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
