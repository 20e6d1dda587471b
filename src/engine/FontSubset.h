#pragma once

#include <QByteArray>
#include <QtEndian>
#include <map>
#include <vector>

// Reading TrueType tables and cutting a face down to the glyphs a document uses, for embedding.
namespace svod::engine::truetype {

// A face's tables by tag ("head", "glyf", ...).
using Tables = std::map<QByteArray, QByteArray>;

// Big-endian numbers of a table; 0 past its end, so that a damaged table reads as empty.
inline quint16 be16(const QByteArray& t, qsizetype at) {
    return at + 2 <= t.size() ? qFromBigEndian<quint16>(t.constData() + at) : 0;
}
inline quint32 be32(const QByteArray& t, qsizetype at) {
    return at + 4 <= t.size() ? qFromBigEndian<quint32>(t.constData() + at) : 0;
}
inline void putBe16(QByteArray& t, qsizetype at, quint16 v) {
    qToBigEndian(v, t.data() + at);
}
inline void putBe32(QByteArray& t, qsizetype at, quint32 v) {
    qToBigEndian(v, t.data() + at);
}

// A TrueType file of the face's tables in which only glyph 0, the `used` glyphs and the parts of
// composite ones keep their outlines; glyph numbers stay as they are, so the PDF maps characters
// to the same glyphs. `tables` must hold "head", "loca" and "glyf"; empty tables are left out.
QByteArray subset(const Tables& tables, int glyphCount, bool longLoca, const std::vector<int>& used);

} // namespace svod::engine::truetype
