#include "engine/Datasets.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include "db/Connection.h"
#include "db/Dialect.h"
#include "db/Error.h"

namespace svod::engine {

int RowSet::fieldIndex(const QString& name) const {
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant RowSet::value(qsizetype row, int field) const {
    if (texts.isEmpty())
        return rows[row][field];
    return trimmedCell(texts[row].value(field));
}

QString trimmedCell(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && (text[b].isSpace() || text[b].category() == QChar::Other_Control))
        ++b;
    while (e > b && (text[e - 1].isSpace() || text[e - 1].category() == QChar::Other_Control))
        --e;
    return text.mid(b, e - b); // the same string, shared, when nothing is cut
}

namespace {

// The text with each ":NAME" replaced by what `placeholder` gives for the n-th parameter.
QString replaceParameters(const QString& sql, QStringList& names,
                          const std::function<QString(qsizetype)>& placeholder) {
    QString out;
    out.reserve(sql.size());
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            out += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            out += c;
            continue;
        }
        // "::" is a PostgreSQL cast, not a parameter.
        if (c == u':' && i + 1 < sql.size() && (sql[i + 1].isLetter() || sql[i + 1] == u'_') &&
            (i == 0 || sql[i - 1] != u':')) {
            qsizetype j = i + 1;
            while (j < sql.size() && (sql[j].isLetterOrNumber() || sql[j] == u'_'))
                ++j;
            names << sql.mid(i + 1, j - i - 1).toUpper();
            out += placeholder(names.size() - 1);
            i = j - 1;
            continue;
        }
        out += c;
    }
    return out;
}

} // namespace

QString positionalSql(const QString& sql, QStringList& names) {
    return replaceParameters(sql, names, [](qsizetype) { return QStringLiteral("?"); });
}

QVariant parameterValue(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QObject*>())
        if (const QObject* object = value.value<QObject*>(); object && object->property("Value").isValid())
            return object->property("Value");
    return value;
}

RowSet runSqlDataset(db::Connection& connection, const QString& sql, const ParameterLookup& lookup) {
    QStringList names;
    positionalSql(sql, names);
    QList<QVariant> given;
    for (const auto& name : names) {
        QVariant value;
        if (!lookup || !lookup(name, value))
            throw Error(QStringLiteral("Не задано значение параметра запроса :") + name);
        given << parameterValue(value);
    }
    QVariantList values;
    QStringList again;
    const QString text = replaceParameters(sql, again, [&](qsizetype n) {
        const QVariant& value = given[n];
        if (value.metaType() != QMetaType::fromType<QVariantList>() &&
            value.metaType() != QMetaType::fromType<QStringList>()) {
            values << value;
            return QStringLiteral("?");
        }
        const QVariantList list = value.toList();
        if (list.isEmpty()) {
            values << QVariant();
            return QStringLiteral("?");
        }
        values << list;
        QStringList marks(list.size(), QStringLiteral("?"));
        return marks.join(u',');
    });
    QSqlQuery query = connection.prepare(text);
    query.setForwardOnly(true);
    // Amounts as numbers on every backend (PostgreSQL's NUMERIC would come back as text).
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    connection.execPrepared(query, values);
    RowSet set;
    const db::Dialect& dialect = connection.dialect();
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        set.fields << record.fieldName(i).toUpper();
    while (query.next()) {
        QVariantList row;
        row.reserve(record.count());
        for (int i = 0; i < record.count(); ++i)
            row << dialect.fromDbValue(query.value(i));
        set.rows << row;
    }
    return set;
}

RowSet rowSetFromTable(const TableData& table) {
    RowSet set;
    for (const auto& column : table.columns)
        set.fields << column.field.toUpper();
    for (const auto& cells : table.rows) {
        QVariantList row;
        row.reserve(set.fields.size());
        for (int i = 0; i < set.fields.size(); ++i)
            row << (i < cells.size() ? cells[i] : QString());
        set.rows << row;
    }
    return set;
}

} // namespace svod::engine
