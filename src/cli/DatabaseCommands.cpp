#include <QDir>
#include <QSqlQuery>
#include <QSqlRecord>

#include "cli/CliContext.h"
#include "cli/DatabaseCommands.h"
#include "db/DateValue.h"
#include "db/Schema.h"
#include "demo/DemoData.h"
#include "demo/PacketGenerator.h"
#include "engine/DemoReports.h"

namespace svod::cli {

int initDbCommand(CliContext& context, const QStringList& args) {
    ArgReader reader(args);
    const QString demoDir = reader.option(QStringLiteral("--demo"));
    const bool demo = !demoDir.isEmpty() || reader.flag(QStringLiteral("--demo"));
    if (!reader.positional().isEmpty())
        throw UsageError(QStringLiteral("Лишние аргументы: ") + reader.positional().join(u' '));
    auto connection = context.connect(true);
    db::createSchema(*connection);
    context.out.message(QStringLiteral("info"), QStringLiteral("Таблицы центральной базы созданы."));
    if (demo) {
        demo::insertDemoData(*connection);
        context.out.message(QStringLiteral("info"),
                            QStringLiteral("Добавлены демонстрационные филиалы и переменные."));
        context.out.message(QStringLiteral("info"),
                            QStringLiteral("Добавлены демонстрационные отчеты: ") +
                                engine::insertDemoReports(*connection).join(QStringLiteral(", ")));
        if (!demoDir.isEmpty() && !QDir().mkpath(demoDir))
            throw Error(QStringLiteral("Не удалось создать каталог ") + demoDir);
        if (!demoDir.isEmpty())
            context.out.message(QStringLiteral("info"),
                                QStringLiteral("Примеры пакетов записаны: ") +
                                    demo::writeDemoPackets(demoDir).join(QStringLiteral(", ")));
    }
    context.out.result(QStringLiteral("done"), ExitDone);
    return ExitDone;
}

QString cellText(const QVariant& value) {
    if (value.isNull())
        return {};
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QByteArray:
        return QStringLiteral("<%1 bytes>").arg(value.toByteArray().size());
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 15);
    default:
        return value.toString();
    }
}

int sqlCommand(CliContext& context, const QStringList& args) {
    ArgReader reader(args);
    const QStringList rest = reader.positional();
    if (rest.isEmpty())
        throw UsageError(QStringLiteral("Не указан текст запроса"));
    auto connection = context.connect();
    QSqlQuery query = connection->query(rest.join(u' '));
    if (query.isSelect()) {
        const QSqlRecord record = query.record();
        QStringList columns;
        for (int i = 0; i < record.count(); ++i)
            columns << record.fieldName(i);
        QList<QStringList> rows;
        while (query.next()) {
            QStringList row;
            for (int i = 0; i < record.count(); ++i)
                row << cellText(query.value(i));
            rows << row;
        }
        context.out.table(columns, rows);
    }
    if (context.out.json())
        context.out.result(QStringLiteral("done"), ExitDone);
    return ExitDone;
}

} // namespace svod::cli
