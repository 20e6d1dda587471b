#pragma once

#include <QString>

namespace svod::dbf {

// The kind of value a field yields.
enum class FieldKind {
    Text,
    Int16,
    Int32,
    Int64,
    Float,
    Date,
    DateTime,
    Boolean,
    Memo,
    Binary,
    Graphic,
    AutoInc,
    Currency
};

// How a stored field is laid out and decoded; several type letters mean different things in
// dBase and in Visual FoxPro files.
enum class FieldEncoding {
    Text,         // C
    Integer,      // N without decimals
    FloatText,    // N with decimals, F
    DateText,     // D: YYYYMMDD
    Logical,      // L
    MemoRef,      // M, B, G, P: block number as decimal text
    MemoRefBin,   // FoxPro M, G, P of length 4: block number as 32-bit little-endian
    IntBigFlip,   // dBase I and +: big-endian with the top bit inverted
    DoubleBig,    // dBase O: big-endian, sign-ordered
    TimeStamp,    // dBase @: milliseconds since 1.1.0001 as an O double
    IntLittle,    // FoxPro I
    DoubleLittle, // FoxPro B
    Currency,     // FoxPro Y: 64-bit little-endian in ten-thousandths
    JulianTime,   // FoxPro T: Julian day and milliseconds
    NullFlags,    // FoxPro _NullFlags: hidden, carries the NULL bits of nullable fields
    VarText,      // FoxPro V: text, its length in the last byte when its length bit is set
    VarBinary,    // FoxPro Q: bytes, the same way
};

// One field descriptor as the reader keeps it.
struct DbfFieldDef {
    QString name;    // upper case
    char type = 'C'; // upper-case type letter
    int storedLength = 0;
    int keptLength = 0; // bytes decoded; offsets always use storedLength
    int decimals = 0;
    int offset = 0; // from the start of the record (byte 0 is the deletion flag)
    FieldKind kind = FieldKind::Text;
    FieldEncoding encoding = FieldEncoding::Text;
    int nullBit = -1;    // FoxPro: bit in _NullFlags that marks NULL, -1 when not nullable
    int lengthBit = -1;  // FoxPro V and Q: bit in _NullFlags set when the value is shorter
    bool hidden = false; // FoxPro system fields (_NullFlags) are not shown as fields

    bool isMemoRef() const {
        return encoding == FieldEncoding::MemoRef || encoding == FieldEncoding::MemoRefBin;
    }
};

} // namespace svod::dbf
