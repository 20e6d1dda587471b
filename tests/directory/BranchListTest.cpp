// The branch list and program variables: editing, posting, and the propagation of the minimum
// reception dates into every branch.
#include "directory/BranchList.h"
#include "DirectoryFixture.h"
#include "db/Error.h"

using namespace svod;
using namespace svod::directory;
using svod::test::DirectoryTest;

namespace {
int rowOf(const EditableTable& table, const QString& column, const QString& value) {
    for (int r = 0; r < table.rowCount(); ++r)
        if (table.value(r, column).toString() == value)
            return r;
    return -1;
}
} // namespace

class VariablesTest : public DirectoryTest {
protected:
    std::unique_ptr<EditableTable> openVariables() {
        auto table = makeCltTable(connection());
        openClt(*table);
        return table;
    }
    QString minVal(const QString& kod) {
        return dateOf(QStringLiteral("select D_MIN_VAL from FILIALS where KOD = '") + kod + u'\'');
    }
    QString minRub(const QString& kod) {
        return dateOf(QStringLiteral("select D_MIN_RUB from FILIALS where KOD = '") + kod + u'\'');
    }
};

TEST_P(VariablesTest, DollarDatePostedIntoEveryBranch) {
    auto clt = openVariables();
    const int row = rowOf(*clt, QStringLiteral("LABEL"), MinDateDollarsLabel);
    ASSERT_GE(row, 0);
    clt->setText(row, QStringLiteral("DVARVALUE"), QStringLiteral("01.03.2005"));
    EXPECT_TRUE(clt->isEditing(row));
    EXPECT_EQ(minVal(QStringLiteral("01")), QString()) << "nothing reaches the server before the post";
    clt->post(row);
    EXPECT_FALSE(clt->isEditing(row));
    EXPECT_EQ(minVal(QStringLiteral("01")), QStringLiteral("2005-03-01"));
    EXPECT_EQ(minVal(QStringLiteral("02")), QStringLiteral("2005-03-01"));
    EXPECT_EQ(minRub(QStringLiteral("01")), QString()) << "the rouble column is not the dollar variable's";
    EXPECT_EQ(dateOf(QStringLiteral("select DVARVALUE from CLT where LABEL = 'MIN_DATE_CAN_LOAD_DOL'")),
              QStringLiteral("2005-03-01"));
}

TEST_P(VariablesTest, EmptyDateWritesDayZero) {
    auto clt = openVariables();
    const int row = rowOf(*clt, QStringLiteral("LABEL"), MinDateDollarsLabel);
    clt->setText(row, QStringLiteral("DVARVALUE"), QString());
    clt->post(row);
    EXPECT_EQ(minVal(QStringLiteral("02")), QStringLiteral("1899-12-30"));
}

TEST_P(VariablesTest, LabelsCompareCaseSensitivelyAndOtherLabelsChangeNothing) {
    auto clt = openVariables();
    for (const QString& label : {QStringLiteral("min_date_can_load_dol"), QStringLiteral("CHECK_ZERO_BST"),
                                 QStringLiteral("MIN_DATE_CAN_LOAD_DOL ")}) {
        const int row = clt->appendRow();
        clt->setText(row, QStringLiteral("LABEL"), label);
        clt->setText(row, QStringLiteral("DVARVALUE"), QStringLiteral("05.05.2005"));
        clt->post(row);
        EXPECT_FALSE(clt->value(row, QStringLiteral("ID")).isNull()) << "the server numbers a new row";
    }
    EXPECT_EQ(minVal(QStringLiteral("01")), QString());
    EXPECT_EQ(count(QStringLiteral("select count(*) from CLT")), 5);
}

TEST_P(VariablesTest, OlderRowOfRoubleDatePushesItsOwnDate) {
    connection().execute(QStringLiteral("insert into CLT (LABEL, NAME, DD, DVARVALUE) values "
                                        "('MIN_DATE_CAN_LOAD_RUB', 'новее', '2006-01-01 00:00:00', "
                                        "'2006-01-01 00:00:00')"));
    auto clt = openVariables();
    int older = -1;
    for (int r = 0; r < clt->rowCount(); ++r)
        if (clt->value(r, QStringLiteral("LABEL")).toString() == MinDateRoublesLabel &&
            clt->text(r, clt->fieldByName(QStringLiteral("DD"))) == QStringLiteral("01.01.2004"))
            older = r;
    ASSERT_GE(older, 0);
    clt->setText(older, QStringLiteral("DVARVALUE"), QStringLiteral("15.02.2003"));
    clt->post(older);
    EXPECT_EQ(minRub(QStringLiteral("01")), QStringLiteral("2003-02-15"));
    EXPECT_EQ(minVal(QStringLiteral("01")), QString());
}

TEST_P(VariablesTest, DeletingAVariableChangesNoBranch) {
    auto clt = openVariables();
    clt->deleteRow(rowOf(*clt, QStringLiteral("LABEL"), MinDateDollarsLabel));
    EXPECT_EQ(count(QStringLiteral("select count(*) from CLT where LABEL = 'MIN_DATE_CAN_LOAD_DOL'")), 0);
    EXPECT_EQ(minVal(QStringLiteral("01")), QString());
}

TEST_P(VariablesTest, FailedPropagationRollsBackAndKeepsTheVariablePosted) {
    failOn(QStringLiteral("FILIALS"), QStringLiteral("update"));
    auto clt = openVariables();
    const int row = rowOf(*clt, QStringLiteral("LABEL"), MinDateDollarsLabel);
    clt->setText(row, QStringLiteral("DVARVALUE"), QStringLiteral("01.03.2005"));
    EXPECT_THROW(clt->post(row), DbError);
    EXPECT_FALSE(clt->isEditing(row));
    EXPECT_EQ(dateOf(QStringLiteral("select DVARVALUE from CLT where LABEL = 'MIN_DATE_CAN_LOAD_DOL'")),
              QStringLiteral("2005-03-01"));
    EXPECT_EQ(minVal(QStringLiteral("01")), QString());
    EXPECT_FALSE(connection().inTransaction());
}

TEST_P(VariablesTest, SetVariableUpdatesTheNewestRowOrAppends) {
    connection().execute(QStringLiteral("insert into CLT (LABEL, NAME, DD, DVARVALUE) values "
                                        "('MIN_DATE_CAN_LOAD_DOL', 'новее', '2006-01-01 00:00:00', NULL)"));
    auto result =
        setVariable(connection(), {MinDateDollarsLabel, VariableKind::Date, QStringLiteral("10.10.2007")});
    EXPECT_FALSE(result.appended);
    EXPECT_EQ(dateOf(QStringLiteral("select DVARVALUE from CLT where NAME = 'новее'")),
              QStringLiteral("2007-10-10"));
    EXPECT_EQ(minVal(QStringLiteral("02")), QStringLiteral("2007-10-10"));

    result = setVariable(connection(), {QStringLiteral("NOTE'; drop table FILIALS; --"), VariableKind::Text,
                                        QStringLiteral("O'Brien")});
    EXPECT_TRUE(result.appended);
    EXPECT_EQ(scalar(QStringLiteral("select VARVALUE from CLT where LABEL like 'NOTE%'")).toString(),
              QStringLiteral("O'Brien"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from FILIALS")), 2);

    result = setVariable(connection(),
                         {QStringLiteral("CHECK_ZERO_BST"), VariableKind::Number, QStringLiteral("1,5")});
    EXPECT_DOUBLE_EQ(
        scalar(QStringLiteral("select NVARVALUE from CLT where LABEL = 'CHECK_ZERO_BST'")).toDouble(), 1.5);
    EXPECT_THROW(
        setVariable(connection(), {QStringLiteral("X"), VariableKind::Number, QStringLiteral("один")}),
        Error);
}

INSTANTIATE_TEST_SUITE_P(Backends, VariablesTest, ::testing::ValuesIn(svod::test::testBackends()),
                         svod::test::backendName);

class BranchListTest : public DirectoryTest {};

TEST_P(BranchListTest, OpensSortedWithTheRequiredColumns) {
    auto filials = makeFilialsTable(connection());
    openFilials(*filials);
    ASSERT_EQ(filials->rowCount(), 2);
    EXPECT_EQ(filials->value(0, QStringLiteral("KOD")).toString(), QStringLiteral("01"));
    EXPECT_EQ(filials->text(0, filials->fieldByName(QStringLiteral("D_BEG"))), QStringLiteral("01.01.2000"));
}

TEST_P(BranchListTest, MissingRequiredColumnIsNamed) {
    connection().execute(
        QStringList{QStringLiteral("drop table FILIALS"),
                    QStringLiteral("create table FILIALS (KOD VARCHAR(2), NAZVANIE VARCHAR(50))")});
    auto filials = makeFilialsTable(connection());
    try {
        openFilials(*filials);
        FAIL() << "no error for the missing D_BEG";
    } catch (const DbError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Field 'D_BEG' not found"));
    }
    EXPECT_TRUE(filials->isOpen()) << "the view keeps what was set up before the error";
}

TEST_P(BranchListTest, FailedPostKeepsTheRowAndItsValues) {
    auto filials = makeFilialsTable(connection());
    openFilials(*filials);
    const int row = filials->appendRow();
    filials->setText(row, QStringLiteral("KOD"), QStringLiteral("01")); // a duplicate key
    filials->setText(row, QStringLiteral("NAZVANIE"), QStringLiteral("Дубль"));
    EXPECT_THROW(filials->post(row), DbError);
    EXPECT_EQ(filials->rowState(row), EditableTable::RowState::Inserted);
    EXPECT_EQ(filials->data(filials->index(row, filials->fieldByName(QStringLiteral("NAZVANIE")))).toString(),
              QStringLiteral("Дубль"));

    filials->setText(row, QStringLiteral("KOD"), QStringLiteral("03"));
    filials->setText(row, QStringLiteral("D_BEG"), QStringLiteral("31.02.2005"));
    EXPECT_THROW(filials->post(row), Error) << "not a date";
    EXPECT_EQ(filials->data(filials->index(row, filials->fieldByName(QStringLiteral("D_BEG")))).toString(),
              QStringLiteral("31.02.2005"));
    filials->setText(row, QStringLiteral("D_BEG"), QStringLiteral("28.02.2005"));
    filials->post(row);
    EXPECT_EQ(dateOf(QStringLiteral("select D_BEG from FILIALS where KOD = '03'")),
              QStringLiteral("2005-02-28"));
}

TEST_P(BranchListTest, QuotesAndChangedKeysPostSafely) {
    auto filials = makeFilialsTable(connection());
    openFilials(*filials);
    filials->setText(0, QStringLiteral("NAZVANIE"), QStringLiteral("ООО 'Рога'; delete from FILIALS; --"));
    filials->setText(0, QStringLiteral("KOD"), QStringLiteral("0'"));
    filials->post(0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from FILIALS")), 2);
    EXPECT_EQ(scalar(QStringLiteral("select NAZVANIE from FILIALS where KOD = '0'''")).toString(),
              QStringLiteral("ООО 'Рога'; delete from FILIALS; --"));
    filials->cancel(1);
    filials->setText(1, QStringLiteral("NAZVANIE"), QStringLiteral("Пермь-2"));
    filials->cancel(1);
    EXPECT_EQ(filials->value(1, QStringLiteral("NAZVANIE")).toString(), QStringLiteral("Пермь"));
    EXPECT_FALSE(filials->isEditing(1));
}

INSTANTIATE_TEST_SUITE_P(Backends, BranchListTest, ::testing::ValuesIn(svod::test::testBackends()),
                         svod::test::backendName);
