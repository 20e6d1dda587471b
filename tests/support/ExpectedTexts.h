#pragma once

#include <QString>
#include <gtest/gtest.h>
#include <vector>

namespace svod::test {

// A statement as a dialect writes it and the text it must be, byte for byte.
struct ExpectedText {
    const char* what;
    QString actual;
    const char* text;
};

inline void expectTexts(const std::vector<ExpectedText>& table) {
    for (const ExpectedText& e : table)
        EXPECT_EQ(e.actual, QString::fromUtf8(e.text)) << e.what;
}

} // namespace svod::test
