#include "reception/ReceptionErrors.h"

#include <QDir>

#include "dbf/DbfTable.h"

namespace svod::reception {

PacketError badValueError(const dbf::DbfTable& table, const QString& field, const QString& reason) {
    QString item;
    if (const dbf::DbfField* id = table.findField(QStringLiteral("ID"))) {
        try {
            item = id->asText();
        } catch (const Error&) {
            // An ID that cannot be read is left out of the message.
        }
    }
    return PacketError(QStringLiteral("Неверное значение в файле ") +
                       QDir::toNativeSeparators(table.fileName()) +
                       QStringLiteral(": строка %1, ID %2, поле %3 (%4)")
                           .arg(table.recNo())
                           .arg(item.isEmpty() ? QStringLiteral("не указан") : item, field, reason));
}

} // namespace svod::reception
