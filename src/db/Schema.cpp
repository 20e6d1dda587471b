#include "db/Schema.h"

#include "db/Connection.h"

namespace svod::db {

namespace {
// Widths that hold any value a DBF character field can carry.
constexpr int IdWidth = 50;
constexpr int CodeWidth = 2;
constexpr int TextWidth = 254;

ColumnDef text(const QString& name, int width = TextWidth) {
    return {name, ColumnType::Text, width};
}
ColumnDef date(const QString& name) {
    return {name, ColumnType::DateTime};
}
ColumnDef amount(const QString& name) {
    return {name, ColumnType::Amount};
}

TableDef makeBalanceTable(const QString& name) {
    return {name,
            {{QStringLiteral("ID"), ColumnType::Key, IdWidth},
             {QStringLiteral("KOD_F"), ColumnType::Code, CodeWidth},
             date(QStringLiteral("DD")),
             {QStringLiteral("TYP"), ColumnType::Code, 1},
             amount(QStringLiteral("SALDO")),
             amount(QStringLiteral("DELTA"))},
            {}};
}

QStringList names(const TableDef& table) {
    QStringList result;
    for (const ColumnDef& c : table.columns)
        result << c.name;
    return result;
}
} // namespace

const TableDef& invTable() {
    static const TableDef table{QStringLiteral("INV"),
                                {{QStringLiteral("ID"), ColumnType::Key, IdWidth},
                                 {QStringLiteral("KOD_F"), ColumnType::Code, CodeWidth},
                                 text(QStringLiteral("TYPEM")),
                                 text(QStringLiteral("KARD_NUM")),
                                 text(QStringLiteral("INV_NUM")),
                                 text(QStringLiteral("VNESH_NUM")),
                                 date(QStringLiteral("BEG_DATE")),
                                 date(QStringLiteral("END_DATE")),
                                 text(QStringLiteral("NAME")),
                                 amount(QStringLiteral("PRICEVAL")),
                                 amount(QStringLiteral("LOSS")),
                                 amount(QStringLiteral("NDS")),
                                 amount(QStringLiteral("S_NALOG")),
                                 text(QStringLiteral("AMKOD")),
                                 text(QStringLiteral("NORM_KOD")),
                                 text(QStringLiteral("REMARK")),
                                 text(QStringLiteral("N_A")),
                                 text(QStringLiteral("KOD_OKOF")),
                                 text(QStringLiteral("GROUP1")),
                                 text(QStringLiteral("GROUP2")),
                                 text(QStringLiteral("GROUP3")),
                                 text(QStringLiteral("GROUP4")),
                                 text(QStringLiteral("GROUP5")),
                                 date(QStringLiteral("SROK_DATE")),
                                 text(QStringLiteral("POLUCH")),
                                 text(QStringLiteral("VIBIV")),
                                 text(QStringLiteral("BSN")),
                                 date(QStringLiteral("FACT_DATE")),
                                 date(QStringLiteral("SROK_DATE2"))},
                                {}};
    return table;
}

const TableDef& balanceTable(const QString& name) {
    static const TableDef ost = makeBalanceTable(QStringLiteral("INV_OST"));
    static const TableDef ost3 = makeBalanceTable(QStringLiteral("INV_OST3"));
    static const TableDef infl = makeBalanceTable(QStringLiteral("INV_INFL"));
    if (name == QLatin1String("INV_OST3"))
        return ost3;
    if (name == QLatin1String("INV_INFL"))
        return infl;
    return ost;
}

QStringList invColumnNames() {
    return names(invTable());
}
QStringList balanceColumnNames() {
    return names(balanceTable(QStringLiteral("INV_OST")));
}

QString columnsSql(const Dialect& dialect, const TableDef& table) {
    QStringList parts;
    for (const ColumnDef& c : table.columns)
        parts << c.name + u' ' + dialect.columnType(c.type, c.width) +
                     (c.notNull ? QStringLiteral(" NOT NULL") : QString());
    if (!table.primaryKey.isEmpty())
        parts << QStringLiteral("PRIMARY KEY (") + table.primaryKey + u')';
    return parts.join(QStringLiteral(", "));
}

QStringList schemaStatements(const Dialect& d) {
    const TableDef filials{QStringLiteral("FILIALS"),
                           {{QStringLiteral("KOD"), ColumnType::Code, CodeWidth, true},
                            text(QStringLiteral("NAZVANIE")),
                            date(QStringLiteral("D_BEG")),
                            date(QStringLiteral("D_END")),
                            date(QStringLiteral("D_MIN_VAL")),
                            date(QStringLiteral("D_MIN_RUB")),
                            {QStringLiteral("CHECK_TYPE"), ColumnType::Integer}},
                           QStringLiteral("KOD")};
    const TableDef clt{QStringLiteral("CLT"),
                       {{QStringLiteral("ID"), ColumnType::Identity},
                        text(QStringLiteral("LABEL"), 50),
                        text(QStringLiteral("NAME")),
                        date(QStringLiteral("DD")),
                        text(QStringLiteral("VARVALUE")),
                        date(QStringLiteral("DVARVALUE")),
                        amount(QStringLiteral("NVARVALUE"))},
                       {}};
    const TableDef logAccept{QStringLiteral("LOG_ACCEPT"),
                             {{QStringLiteral("ID"), ColumnType::Identity},
                              date(QStringLiteral("DD")),
                              {QStringLiteral("STATUS"), ColumnType::Integer},
                              {QStringLiteral("KODFIL"), ColumnType::Code, CodeWidth},
                              {QStringLiteral("MES"), ColumnType::LongText}},
                             {}};
    const TableDef report{QStringLiteral("REPORT"),
                          {{QStringLiteral("ID"), ColumnType::Integer, 0, true},
                           text(QStringLiteral("NAZV")),
                           {QStringLiteral("REPORT"), ColumnType::Blob}},
                          QStringLiteral("ID")};

    QStringList statements;
    for (const TableDef* table :
         {&invTable(), &balanceTable(QStringLiteral("INV_OST")), &filials, &clt, &logAccept, &report})
        statements << d.createTableIfMissing(table->name, columnsSql(d, *table));
    statements << d.createBalanceTableCopy(QStringLiteral("INV_OST3"), QStringLiteral("INV_OST"),
                                           QStringLiteral("IX_INV_OST3"));
    statements << d.createBalanceTableCopy(QStringLiteral("INV_INFL"), QStringLiteral("INV_OST"),
                                           QStringLiteral("IX_INV_INFL"));
    // One row per branch and item; balances looked up by item, plane and date (OSTAT, checks).
    statements << d.createIndexIfMissing(QStringLiteral("INV"), QStringLiteral("IX_INV"),
                                         QStringLiteral("KOD_F,ID"), false);
    // The unique key of INV_OST in the balance look-up order serves OSTAT as well, so that every
    // row of a reception updates one index fewer (INV_OST3 keeps its contractual key order).
    statements << d.createIndexIfMissing(QStringLiteral("INV_OST"), QStringLiteral("IX_INV_OST"),
                                         QStringLiteral("ID,TYP,DD,KOD_F"), true);
    // SQL Server's administration batch keys INV_OST3 in the contractual order; the other
    // backends key it in look-up order and need no balance index of their own.
    if (d.backend() == Backend::SqlServer)
        statements << d.createIndexIfMissing(QStringLiteral("INV_OST3"), QStringLiteral("IX_INV_OST3_BAL"),
                                             QStringLiteral("ID,TYP,DD"), false);
    for (const char* table : {"INV_OST", "INV_OST3", "INV_INFL"})
        statements << branchIndexStatements(d, QLatin1String(table));
    statements << d.createIndexIfMissing(QStringLiteral("LOG_ACCEPT"), QStringLiteral("IX_LOG_ACCEPT_DD"),
                                         QStringLiteral("DD"), false);
    statements << d.createOstatFunction();
    return statements;
}

QStringList branchIndexStatements(const Dialect& d, const QString& table) {
    // A branch's inflation rows: the data actuality view's existence test and the inflation
    // reception's deletion look them up by branch alone.
    if (table == QLatin1String("INV_INFL"))
        return d.createIndexIfMissing(table, QStringLiteral("IX_INV_INFL_KOD"), QStringLiteral("KOD_F"),
                                      false);
    return d.createIndexIfMissing(table, QStringLiteral("IX_") + table + QStringLiteral("_KOD"),
                                  QStringLiteral("KOD_F,TYP,DD"), false);
}

void createSchema(Connection& connection) {
    const QStringList statements = schemaStatements(connection.dialect());
    if (connection.backend() == Backend::SqlServer) {
        // CREATE FUNCTION must start its own batch; run each statement by itself.
        connection.execute(statements);
        return;
    }
    Transaction transaction(connection);
    connection.execute(statements);
    transaction.commit();
}

} // namespace svod::db
