// Every function of the extra library: one ordinary result and one edge (empty text, leap day, end
// of month, bounds), checked by value.
#include <QJSEngine>
#include <gtest/gtest.h>

#include "engine/FunctionLibrary.h"

using namespace svod::engine;

namespace {

struct Case {
    const char* function;
    const char* expression;
    const char* expected; // "error": the call throws
};

// Dates come back as Date objects; DATETOSTR shows them as the user sees them.
const Case Cases[] = {
    {"CHR", "CHR(1046)", "Ж"},
    {"CHR", "CHR(0).length", "1"},
    {"COMPARESTR", "COMPARESTR('a', 'b')", "-1"},
    {"COMPARESTR", "COMPARESTR('', '')", "0"},
    {"DATETOSTR", "DATETOSTR(new Date(2024, 1, 29))", "29.02.2024"},
    {"DATETOSTR", "DATETOSTR('31.12.1999')", "31.12.1999"},
    {"DELETE", "DELETE('abcdef', 2, 3)", "aef"},
    {"DELETE", "DELETE('', 1, 5)", ""},
    {"ENDPOS", "ENDPOS('banana', 'an')", "4"},
    {"ENDPOS", "ENDPOS('', 'x')", "0"},
    {"EXTRACTWORD", "EXTRACTWORD(2, 'раз два три', ' ')", "два"},
    {"EXTRACTWORD", "EXTRACTWORD(1, '', ' ')", ""},
    {"INSERT", "INSERT('XY', 'abc', 2)", "aXYbc"},
    {"INSERT", "INSERT('x', '', 1)", "x"},
    {"ISWORDPRESENT", "ISWORDPRESENT('два', 'раз два', ' ')", "true"},
    {"ISWORDPRESENT", "ISWORDPRESENT('', '', ' ')", "false"},
    {"LEFTCOPY", "LEFTCOPY('abc', 2)", "ab"},
    {"LEFTCOPY", "LEFTCOPY('', 3) + LEFTCOPY('abc', -1)", ""},
    {"NPOS", "NPOS('a', 'banana', 2)", "4"},
    {"NPOS", "NPOS('a', '', 1)", "0"},
    {"PADCENTER", "PADCENTER('x', 3, '-')", "-x-"},
    {"PADCENTER", "PADCENTER('', 2, '*')", "**"},
    {"PADLEFT", "PADLEFT('7', 3, '0')", "007"},
    {"PADLEFT", "PADLEFT('', 0)", ""},
    {"PADRIGHT", "PADRIGHT('a', 3, '.')", "a.."},
    {"PADRIGHT", "PADRIGHT('abcd', 2)", "abcd"},
    {"QUOTEDSTR", "QUOTEDSTR(\"д'Артаньян\")", "'д''Артаньян'"},
    {"QUOTEDSTR", "QUOTEDSTR('')", "''"},
    {"REPLACESTR", "REPLACESTR('a-b-c', '-', '+')", "a+b+c"},
    {"REPLACESTR", "REPLACESTR('', '-', '+')", ""},
    {"REPLICATE", "REPLICATE('ab', 2)", "abab"},
    {"REPLICATE", "REPLICATE('ab', 0)", ""},
    {"RIGHTCOPY", "RIGHTCOPY('abc', 2)", "bc"},
    {"RIGHTCOPY", "RIGHTCOPY('', 2)", ""},
    {"TIMETOSTR", "TIMETOSTR(new Date(2000, 0, 1, 9, 5, 7))", "09.05.07"},
    {"TIMETOSTR", "TIMETOSTR(new Date(2000, 0, 1))", "00.00.00"},
    {"TRIMLEFT", "TRIMLEFT('  x ')", "x "},
    {"TRIMLEFT", "TRIMLEFT('')", ""},
    {"TRIMRIGHT", "TRIMRIGHT(' y  ')", " y"},
    {"TRIMRIGHT", "TRIMRIGHT('   ')", ""},
    {"WORDCOUNT", "WORDCOUNT('a  b c')", "3"},
    {"WORDCOUNT", "WORDCOUNT('')", "0"},
    {"WORDPOSITION", "WORDPOSITION(2, 'ab cd')", "4"},
    {"WORDPOSITION", "WORDPOSITION(1, '')", "0"},

    {"ISRANGENUM", "ISRANGENUM(5, 1, 10)", "true"},
    {"ISRANGENUM", "ISRANGENUM('10', 1, 10) && !ISRANGENUM(10.01, 1, 10)", "true"},
    {"STRTOFLOAT", "STRTOFLOAT('1 234,5')", "1234.5"},
    {"STRTOFLOAT", "STRTOFLOAT('')", "error"},
    {"STRTOFLOATDEF", "STRTOFLOATDEF('-0,25', 0)", "-0.25"},
    {"STRTOFLOATDEF", "STRTOFLOATDEF('', -1)", "-1"},
    {"STRTOINT", "STRTOINT(' 12 ')", "12"},
    {"STRTOINT", "STRTOINT('1,5')", "error"},
    {"STRTOINTDEF", "STRTOINTDEF('42', -1)", "42"},
    {"STRTOINTDEF", "STRTOINTDEF('', 7)", "7"},
    {"VALIDFLOAT", "VALIDFLOAT('1,5')", "true"},
    {"VALIDFLOAT", "VALIDFLOAT('') || VALIDFLOAT('1,2,3')", "false"},
    {"VALIDINT", "VALIDINT('12')", "true"},
    {"VALIDINT", "VALIDINT('')", "false"},

    {"DATEDIFF", "DATEDIFF('01.01.2000', '01.03.2000')", "60"},
    {"DATEDIFF", "DATEDIFF('28.02.2001', '01.03.2001') + ':' + DATEDIFF('28.02.2000', '01.03.2000')", "1:2"},
    {"DAYSPERMONTH", "DAYSPERMONTH(2000, 2)", "29"},
    {"DAYSPERMONTH", "DAYSPERMONTH(2100, 2) + ':' + DAYSPERMONTH(2001, 12)", "28:31"},
    {"FIRSTDAYOFNEXTMONTH", "DATETOSTR(FIRSTDAYOFNEXTMONTH('15.12.2000'))", "01.01.2001"},
    {"FIRSTDAYOFNEXTMONTH", "DATETOSTR(FIRSTDAYOFNEXTMONTH('31.01.2000'))", "01.02.2000"},
    {"FIRSTDAYOFPREVMONTH", "DATETOSTR(FIRSTDAYOFPREVMONTH('15.03.2000'))", "01.02.2000"},
    {"FIRSTDAYOFPREVMONTH", "DATETOSTR(FIRSTDAYOFPREVMONTH('01.01.2000'))", "01.12.1999"},
    {"INCDATE", "DATETOSTR(INCDATE('31.12.1999', 1, 1, 1))", "01.02.2001"},
    {"INCDATE", "DATETOSTR(INCDATE('29.02.2000', 0, 0, 1))", "28.02.2001"},
    {"INCDAY", "DATETOSTR(INCDAY('28.02.2000', 1))", "29.02.2000"},
    {"INCDAY", "DATETOSTR(INCDAY('31.12.2000', 1))", "01.01.2001"},
    {"INCMONTH", "DATETOSTR(INCMONTH('31.01.2001', 1))", "28.02.2001"},
    {"INCMONTH", "DATETOSTR(INCMONTH('31.03.2000', -1))", "29.02.2000"},
    {"INCTIME",
     "(function(d) { return DATETOSTR(d) + ' ' + TIMETOSTR(d); })(INCTIME(new Date(2000, 1, 28, 23), 25, "
     "30))",
     "01.03.2000 00.30.00"},
    {"INCTIME", "TIMETOSTR(INCTIME(new Date(2000, 0, 1, 12)))", "12.00.00"},
    {"INCYEAR", "DATETOSTR(INCYEAR('29.02.2000', 1))", "28.02.2001"},
    {"INCYEAR", "DATETOSTR(INCYEAR('29.02.2000', 4))", "29.02.2004"},
    {"ISLEAPYEAR", "ISLEAPYEAR(2000)", "true"},
    {"ISLEAPYEAR", "ISLEAPYEAR(1900) || ISLEAPYEAR(2001)", "false"},
    {"ISRANGEDATE", "ISRANGEDATE('10.01.2000', '01.01.2000', '31.01.2000')", "true"},
    {"ISRANGEDATE",
     "ISRANGEDATE('31.01.2000', '01.01.2000', '31.01.2000') && !ISRANGEDATE('01.02.2000', '01.01.2000', "
     "'31.01.2000')",
     "true"},
    {"LASTDAYOFPREVMONTH", "DATETOSTR(LASTDAYOFPREVMONTH('15.03.2000'))", "29.02.2000"},
    {"LASTDAYOFPREVMONTH", "DATETOSTR(LASTDAYOFPREVMONTH('01.01.2001'))", "31.12.2000"},
    {"PR_DATE", "PR_DATE('01.01.2000')", "1 января 2000"},
    {"PR_DATE", "PR_DATE('29.02.2024')", "29 февраля 2024"},
    {"STRTODATEDEF", "DATETOSTR(STRTODATEDEF('31.12.2000', null))", "31.12.2000"},
    {"STRTODATEDEF", "STRTODATEDEF('', 'нет') + STRTODATEDEF('30.02.2000', 'нет')", "нетнет"},
    {"VALIDDATE", "VALIDDATE('29.02.2000')", "true"},
    {"VALIDDATE", "VALIDDATE('') || VALIDDATE('29.02.2001') || VALIDDATE('31.04.2000')", "false"},
    {"X_FOR_DATE", "X_FOR_DATE('05.03.2001')", "март 2001"},
    {"X_FOR_DATE", "X_FOR_DATE('31.12.2000')", "декабрь 2000"},

    {"CREATEDATE", "CREATEDATE('31.12.2000')", "'2000-12-31'"},
    {"CREATEDATE", "CREATEDATE('29.02.2000')", "'2000-02-29'"},
    {"CREATENUM", "CREATENUM('1,5')", "1.5"},
    {"CREATENUM", "CREATENUM('')", "error"},
    {"CREATESTR", "CREATESTR(\"д'А\")", "'д''А'"},
    {"CREATESTR", "CREATESTR('')", "''"},
    {"SWAP", "SWAP(1 > 2, 'a', 'b')", "b"},
    {"SWAP", "SWAP('', 'a', 'b')", "b"},
};

} // namespace

TEST(FunctionLibrary, EveryFunctionGivesItsResultAndHandlesItsEdge) {
    QJSEngine js;
    installFunctionLibrary(js);
    QMap<QString, int> checked;
    for (const Case& c : Cases) {
        const QJSValue v = js.evaluate(QString::fromUtf8(c.expression));
        const QString got = v.isError() ? QStringLiteral("error") : v.toString();
        EXPECT_EQ(got, QString::fromUtf8(c.expected)) << c.expression;
        ++checked[QString::fromLatin1(c.function)];
    }
    for (const auto& name : functionLibraryNames()) {
        EXPECT_TRUE(js.globalObject().property(name).isCallable()) << name.toStdString();
        EXPECT_GE(checked.value(name), 2) << name.toStdString() << ": a result and an edge";
    }
}
