#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>

namespace svod {

// Single-byte Russian code pages, decoded by table so that no conversion library is needed.
enum class CodePage { Cp866, Cp1251 };

// The upper halves (bytes 0x80..0xFF) as Unicode code points.
const std::array<char16_t, 128>& codePageTable(CodePage page);

QString decodeCodePage(const char* data, qsizetype size, CodePage page);
inline QString decodeCodePage(const QByteArray& bytes, CodePage page) {
    return decodeCodePage(bytes.constData(), bytes.size(), page);
}
// Characters without a byte in the code page become '?'.
QByteArray encodeCodePage(const QString& text, CodePage page);

bool isValidUtf8(const QByteArray& bytes);

} // namespace svod
