#include "engine/DatasetCursors.h"

#include "db/Connection.h"
#include "db/Error.h"

namespace svod::engine {

const RowSet* QueryCache::find(const QString& key) const {
    const auto it = rows_.constFind(key);
    return it == rows_.cend() ? nullptr : &*it;
}

DatasetCursor* DatasetCursors::find(const QString& upperName) {
    const auto it = cursors_.find(upperName);
    return it == cursors_.end() ? nullptr : &*it;
}

const DatasetCursor* DatasetCursors::find(const QString& upperName) const {
    const auto it = cursors_.constFind(upperName);
    return it == cursors_.cend() ? nullptr : &*it;
}

void DatasetCursors::moveTo(const QString& upperName, int row) {
    if (DatasetCursor* cursor = find(upperName)) {
        cursor->current = row;
        ++version_;
    }
}

RowSet DatasetCursors::query(const DatasetSpec& definition, const QString& master,
                             const ParameterLookup& variables) {
    QStringList names;
    positionalSql(definition.sql, names);
    QVariantList values;
    const auto lookup = [&](const QString& p, QVariant& v) {
        if (const DatasetCursor* m = master.isEmpty() ? nullptr : find(master.toUpper())) {
            const int f = m->rows.fieldIndex(p);
            if (f >= 0 && m->onRow()) {
                v = m->rows.value(m->current, f);
                return true;
            }
        }
        return variables && variables(p, v);
    };
    // The cache key: the dataset and the values its parameters take now.
    QString key = definition.name.toUpper();
    for (const auto& name : names) {
        QVariant v;
        const bool known = lookup(name, v);
        // A control binds its value; a list (ticked branches) by its elements.
        const QVariant b = parameterValue(v);
        const QString text = b.metaType() == QMetaType::fromType<QVariantList>() ||
                                     b.metaType() == QMetaType::fromType<QStringList>()
                                 ? b.toStringList().join(QChar(0x1e))
                                 : b.toString();
        key += QChar(0x1f) + (known ? QString::fromLatin1(b.typeName()) + u':' + text : QString());
    }
    if (sources_.cache)
        if (const RowSet* rows = sources_.cache->find(key))
            return *rows;
    if (!sources_.connection)
        throw Error(QStringLiteral("Нет соединения с базой данных для набора данных ") + definition.name);
    RowSet rows;
    try {
        rows = runSqlDataset(*sources_.connection, definition.sql, lookup);
    } catch (const DbError& e) {
        const QString report = sources_.reportName.isEmpty()
                                   ? QString()
                                   : QStringLiteral("Отчет «%1», ").arg(sources_.reportName);
        throw DbError(report + QStringLiteral("набор данных %1: %2").arg(definition.name, e.message()));
    }
    if (sources_.cache) {
        sources_.cache->countQuery();
        sources_.cache->insert(key, rows);
    }
    return rows;
}

RowSet DatasetCursors::rows(const QString& name, const QString& masterName,
                            const ParameterLookup& variables) {
    const QString key = name.toUpper();
    if (sources_.memoryDatasets && sources_.memoryDatasets->contains(key))
        return sources_.memoryDatasets->value(key);
    const DatasetSpec* definition = nullptr;
    for (const auto& d : sources_.report->datasets)
        if (d.name.compare(name, Qt::CaseInsensitive) == 0)
            definition = &d;
    if (!definition)
        throw Error(QStringLiteral("Набор данных не найден: ") + name);
    return query(*definition, definition->master.isEmpty() ? masterName : definition->master, variables);
}

DatasetCursor& DatasetCursors::open(const QString& name, const QString& masterName,
                                    const ParameterLookup& variables) {
    const QString key = name.toUpper();
    DatasetCursor cursor;
    cursor.rows = rows(name, masterName, variables);
    if (!cursors_.contains(key))
        order_.prepend(key); // the newest set is searched first
    ++version_;
    return cursors_[key] = std::move(cursor);
}

} // namespace svod::engine
