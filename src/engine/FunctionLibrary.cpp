#include "engine/FunctionLibrary.h"

#include <QJSEngine>
#include <QStringList>

#include "db/Error.h"

namespace svod::engine {

namespace {

// Semantics: strings are 1-based like the original library; a date argument may be a Date or a
// "dd.MM.yyyy" text; functions that return dates return Date objects at local midnight.
const char* const LibrarySource = R"JS(
(function(g) {
  function s(v) { return v === null || v === undefined ? "" : String(v); }
  function pad2(n) { return (n < 10 ? "0" : "") + n; }
  function toDate(v) {
    if (v instanceof Date) return v;
    if (typeof v === "number") return new Date(1899, 11, 30 + Math.floor(v));
    var m = /^\s*(\d{1,2})\.(\d{1,2})\.(\d{4})/.exec(s(v));
    if (m) return exactDate(+m[3], +m[2], +m[1], v);
    m = /^\s*(\d{4})-(\d{2})-(\d{2})/.exec(s(v));
    if (m) return exactDate(+m[1], +m[2], +m[3], v);
    throw new Error("Неверная дата: " + s(v));
  }
  // A day that the month does not have (30.02) is no date, not the 1st of the next month.
  function exactDate(year, month, day, text) {
    var d = new Date(year, month - 1, day);
    if (d.getFullYear() !== year || d.getMonth() !== month - 1 || d.getDate() !== day)
      throw new Error("Неверная дата: " + s(text));
    return d;
  }
  function validDate(v) { try { var d = toDate(v); return !isNaN(d.getTime()); } catch (e) { return false; } }
  function dateText(d) { d = toDate(d); return pad2(d.getDate()) + "." + pad2(d.getMonth() + 1) + "." + d.getFullYear(); }
  function num(v) {
    if (typeof v === "number") return v;
    var t = s(v).trim().replace(/\s/g, "").replace(",", ".");
    if (!/^[-+]?(\d+\.?\d*|\.\d+)([eE][-+]?\d+)?$/.test(t)) throw new Error("Неверное число: " + s(v));
    return parseFloat(t);
  }
  function words(str, delims) {
    var d = delims === undefined ? " " : s(delims), out = [], cur = "";
    str = s(str);
    for (var i = 0; i < str.length; ++i) {
      if (d.indexOf(str[i]) >= 0) { if (cur !== "") out.push({w: cur, p: i - cur.length + 1}); cur = ""; }
      else cur += str[i];
    }
    if (cur !== "") out.push({w: cur, p: str.length - cur.length + 1});
    return out;
  }
  var months = ["января", "февраля", "марта", "апреля", "мая", "июня", "июля", "августа",
                "сентября", "октября", "ноября", "декабря"];
  var monthsNominative = ["январь", "февраль", "март", "апрель", "май", "июнь", "июль", "август",
                          "сентябрь", "октябрь", "ноябрь", "декабрь"];
  var lib = {
    CHR: function(n) { return String.fromCharCode(n); },
    COMPARESTR: function(a, b) { a = s(a); b = s(b); return a < b ? -1 : (a > b ? 1 : 0); },
    DATETOSTR: function(d) { return dateText(d); },
    DELETE: function(str, index, count) { str = s(str); return str.substr(0, index - 1) + str.substr(index - 1 + count); },
    ENDPOS: function(str, sub) { var p = s(str).lastIndexOf(s(sub)); return p + 1; },
    EXTRACTWORD: function(n, str, delims) { var w = words(str, delims); return n >= 1 && n <= w.length ? w[n - 1].w : ""; },
    INSERT: function(sub, str, index) { str = s(str); return str.substr(0, index - 1) + s(sub) + str.substr(index - 1); },
    ISWORDPRESENT: function(word, str, delims) { return words(str, delims).some(function(x) { return x.w === s(word); }); },
    LEFTCOPY: function(str, count) { return s(str).substr(0, Math.max(0, count)); },
    NPOS: function(sub, str, n) {
      str = s(str); sub = s(sub); var p = -1;
      for (var i = 0; i < n; ++i) { p = str.indexOf(sub, p + 1); if (p < 0) return 0; }
      return p + 1;
    },
    PADCENTER: function(str, len, ch) {
      str = s(str); ch = ch === undefined ? " " : s(ch); var total = len - str.length;
      if (total <= 0) return str;
      var left = Math.floor(total / 2);
      return ch.repeat(left) + str + ch.repeat(total - left);
    },
    PADLEFT: function(str, len, ch) { str = s(str); ch = ch === undefined ? " " : s(ch); return str.length >= len ? str : ch.repeat(len - str.length) + str; },
    PADRIGHT: function(str, len, ch) { str = s(str); ch = ch === undefined ? " " : s(ch); return str.length >= len ? str : str + ch.repeat(len - str.length); },
    QUOTEDSTR: function(str) { return "'" + s(str).replace(/'/g, "''") + "'"; },
    REPLACESTR: function(str, from, to) { return s(str).split(s(from)).join(s(to)); },
    REPLICATE: function(str, n) { return s(str).repeat(Math.max(0, n)); },
    RIGHTCOPY: function(str, count) { str = s(str); return count <= 0 ? "" : str.substr(Math.max(0, str.length - count)); },
    TIMETOSTR: function(d) { d = d instanceof Date ? d : new Date(); return pad2(d.getHours()) + "." + pad2(d.getMinutes()) + "." + pad2(d.getSeconds()); },
    TRIMLEFT: function(str) { return s(str).replace(/^\s+/, ""); },
    TRIMRIGHT: function(str) { return s(str).replace(/\s+$/, ""); },
    WORDCOUNT: function(str, delims) { return words(str, delims).length; },
    WORDPOSITION: function(n, str, delims) { var w = words(str, delims); return n >= 1 && n <= w.length ? w[n - 1].p : 0; },

    ISRANGENUM: function(v, lo, hi) { return num(v) >= num(lo) && num(v) <= num(hi); },
    STRTOFLOAT: function(v) { return num(v); },
    STRTOFLOATDEF: function(v, def) { try { return num(v); } catch (e) { return def; } },
    STRTOINT: function(v) { var n = num(v); if (n !== Math.trunc(n)) throw new Error("Неверное целое число: " + s(v)); return n; },
    STRTOINTDEF: function(v, def) { try { return lib.STRTOINT(v); } catch (e) { return def; } },
    VALIDFLOAT: function(v) { try { num(v); return true; } catch (e) { return false; } },
    VALIDINT: function(v) { try { lib.STRTOINT(v); return true; } catch (e) { return false; } },

    DATEDIFF: function(a, b) { return Math.round((toDate(b) - toDate(a)) / 86400000); },
    DAYSPERMONTH: function(year, month) { return new Date(year, month, 0).getDate(); },
    FIRSTDAYOFNEXTMONTH: function(d) { d = toDate(d); return new Date(d.getFullYear(), d.getMonth() + 1, 1); },
    FIRSTDAYOFPREVMONTH: function(d) { d = toDate(d); return new Date(d.getFullYear(), d.getMonth() - 1, 1); },
    INCDATE: function(d, days, months, years) {
      d = lib.INCMONTH(d, (months || 0) + 12 * (years || 0));
      return new Date(d.getFullYear(), d.getMonth(), d.getDate() + (days || 0));
    },
    INCDAY: function(d, n) { d = toDate(d); return new Date(d.getFullYear(), d.getMonth(), d.getDate() + n, d.getHours(), d.getMinutes(), d.getSeconds()); },
    INCMONTH: function(d, n) {
      d = toDate(d); var y = d.getFullYear(), m = d.getMonth() + n;
      var target = new Date(y, m, 1), last = new Date(target.getFullYear(), target.getMonth() + 1, 0).getDate();
      return new Date(target.getFullYear(), target.getMonth(), Math.min(d.getDate(), last), d.getHours(), d.getMinutes(), d.getSeconds());
    },
    INCTIME: function(d, h, m, sec, ms) { d = toDate(d); return new Date(d.getTime() + (((h || 0) * 60 + (m || 0)) * 60 + (sec || 0)) * 1000 + (ms || 0)); },
    INCYEAR: function(d, n) { return lib.INCMONTH(d, 12 * n); },
    ISLEAPYEAR: function(y) { return (y % 4 === 0 && y % 100 !== 0) || y % 400 === 0; },
    ISRANGEDATE: function(d, lo, hi) { d = toDate(d); return d >= toDate(lo) && d <= toDate(hi); },
    LASTDAYOFPREVMONTH: function(d) { d = toDate(d); return new Date(d.getFullYear(), d.getMonth(), 0); },
    PR_DATE: function(d) { d = toDate(d); return d.getDate() + " " + months[d.getMonth()] + " " + d.getFullYear(); },
    STRTODATEDEF: function(v, def) { return validDate(v) ? toDate(v) : def; },
    VALIDDATE: function(v) { return validDate(v); },
    // The month and year in words, as report titles name a period: "январь 2000".
    X_FOR_DATE: function(d) { d = toDate(d); return monthsNominative[d.getMonth()] + " " + d.getFullYear(); },

    // Literals for SQL text built in scripts.
    CREATEDATE: function(d) { d = toDate(d); return "'" + d.getFullYear() + "-" + pad2(d.getMonth() + 1) + "-" + pad2(d.getDate()) + "'"; },
    CREATENUM: function(v) { return String(num(v)); },
    CREATESTR: function(v) { return lib.QUOTEDSTR(v); },

    // SWAP(cond, a, b): a when cond holds, else b.
    SWAP: function(cond, a, b) { return cond ? a : b; },
  };
  for (var k in lib) g[k] = lib[k];
  g.__toDate = toDate;
})(this);
)JS";

} // namespace

const QStringList& functionLibraryNames() {
    static const QStringList names = {
        "CHR",
        "COMPARESTR",
        "DATETOSTR",
        "DELETE",
        "ENDPOS",
        "EXTRACTWORD",
        "INSERT",
        "ISWORDPRESENT",
        "LEFTCOPY",
        "NPOS",
        "PADCENTER",
        "PADLEFT",
        "PADRIGHT",
        "QUOTEDSTR",
        "REPLACESTR",
        "REPLICATE",
        "RIGHTCOPY",
        "TIMETOSTR",
        "TRIMLEFT",
        "TRIMRIGHT",
        "WORDCOUNT",
        "WORDPOSITION",
        "ISRANGENUM",
        "STRTOFLOAT",
        "STRTOFLOATDEF",
        "STRTOINT",
        "STRTOINTDEF",
        "VALIDFLOAT",
        "VALIDINT",
        "DATEDIFF",
        "DAYSPERMONTH",
        "FIRSTDAYOFNEXTMONTH",
        "FIRSTDAYOFPREVMONTH",
        "INCDATE",
        "INCDAY",
        "INCMONTH",
        "INCTIME",
        "INCYEAR",
        "ISLEAPYEAR",
        "ISRANGEDATE",
        "LASTDAYOFPREVMONTH",
        "PR_DATE",
        "STRTODATEDEF",
        "VALIDDATE",
        "X_FOR_DATE",
        "CREATEDATE",
        "CREATENUM",
        "CREATESTR",
        "SWAP",
    };
    return names;
}

void installFunctionLibrary(QJSEngine& engine) {
    const QJSValue result = engine.evaluate(QString::fromUtf8(LibrarySource));
    if (result.isError())
        throw Error(QStringLiteral("Библиотека функций отчета: ") + result.toString());
}

} // namespace svod::engine
