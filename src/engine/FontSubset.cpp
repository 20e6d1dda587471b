#include "engine/FontSubset.h"

#include <set>

namespace svod::engine::truetype {

QByteArray subset(const Tables& tables, int glyphCount, bool longLoca, const std::vector<int>& used) {
    const QByteArray& loca = tables.at("loca");
    const QByteArray& glyf = tables.at("glyf");
    auto offset = [&](int g) -> quint32 {
        return longLoca ? be32(loca, qsizetype(g) * 4) : quint32(be16(loca, qsizetype(g) * 2)) * 2;
    };
    // The used glyphs and the parts of composite ones.
    std::set<int> keep{0};
    std::vector<int> pending(used.begin(), used.end());
    while (!pending.empty()) {
        const int g = pending.back();
        pending.pop_back();
        if (g >= glyphCount || !keep.insert(g).second)
            continue;
        const quint32 begin = offset(g), end = offset(g + 1);
        if (end <= begin || end > quint32(glyf.size()) || qint16(be16(glyf, begin)) >= 0)
            continue;
        qsizetype at = begin + 10;
        for (quint16 flags = 0x20; (flags & 0x20) && at + 4 <= qsizetype(end);) {
            flags = be16(glyf, at);
            pending.push_back(be16(glyf, at + 2));
            at += 4 + ((flags & 1) ? 4 : 2) + ((flags & 8) ? 2 : (flags & 0x40) ? 4 : (flags & 0x80) ? 8 : 0);
        }
    }
    QByteArray newGlyf, newLoca(qsizetype(glyphCount + 1) * 4, '\0');
    for (int g = 0; g < glyphCount; ++g) {
        putBe32(newLoca, qsizetype(g) * 4, quint32(newGlyf.size()));
        const quint32 begin = offset(g), end = offset(g + 1);
        if (keep.count(g) && end > begin && end <= quint32(glyf.size())) {
            newGlyf.append(glyf.constData() + begin, end - begin);
            while (newGlyf.size() % 4)
                newGlyf.append('\0');
        }
    }
    putBe32(newLoca, qsizetype(glyphCount) * 4, quint32(newGlyf.size()));
    QByteArray head = tables.at("head");
    putBe32(head, 8, 0);  // checkSumAdjustment
    putBe16(head, 50, 1); // long offsets

    Tables out = tables;
    out["glyf"] = newGlyf;
    out["loca"] = newLoca;
    out["head"] = head;
    for (auto it = out.begin(); it != out.end();)
        it = it->second.isEmpty() ? out.erase(it) : std::next(it);
    const quint16 count = quint16(out.size());
    quint16 power = 1, log = 0;
    while (power * 2 <= count)
        power *= 2, ++log;
    QByteArray file(12 + 16 * count, '\0');
    putBe32(file, 0, 0x00010000);
    putBe16(file, 4, count);
    putBe16(file, 6, quint16(power * 16));
    putBe16(file, 8, log);
    putBe16(file, 10, quint16(count * 16 - power * 16));
    qsizetype record = 12;
    for (const auto& [tag, data] : out) { // std::map keeps the tags sorted
        QByteArray padded = data;
        while (padded.size() % 4)
            padded.append('\0');
        quint32 sum = 0;
        for (qsizetype i = 0; i < padded.size(); i += 4)
            sum += be32(padded, i);
        file.replace(record, 4, tag);
        putBe32(file, record + 4, sum);
        putBe32(file, record + 8, quint32(file.size()));
        putBe32(file, record + 12, quint32(data.size()));
        file += padded;
        record += 16;
    }
    return file;
}

} // namespace svod::engine::truetype
