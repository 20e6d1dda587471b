#pragma once

#include <QStringList>

#include "app/MessageConventions.h"

namespace svod::test {

// Records what the desktop program shows and answers every question with OK / Yes. Errors are
// recorded as the default error display shows them, with "error: " before. Plain and information
// texts are recorded as they are, questions not at all, unless every kind is to be labelled.
class RecordingMessages : public app::Messages {
public:
    enum class Labels { ErrorsOnly, EveryKind };
    explicit RecordingMessages(Labels labels = Labels::ErrorsOnly) : labels_(labels) {}

    QStringList log;

    void plain(const QString& text) override { record("plain: ", text); }
    void information(const QString& text) override { record("info: ", text); }
    void error(const QString& text) override {
        log << QStringLiteral("error: ") + app::errorDisplayText(text);
    }
    bool confirm(const QString& text) override {
        if (labels_ == Labels::EveryKind)
            record("confirm: ", text);
        return true;
    }
    bool askYesNo(const QString& text) override {
        if (labels_ == Labels::EveryKind)
            record("yesno: ", text);
        return true;
    }

private:
    void record(const char* label, const QString& text) {
        log << (labels_ == Labels::EveryKind ? QString::fromLatin1(label) + text : text);
    }
    Labels labels_;
};

// The same, with every kind labelled ("plain: ", "info: ", "confirm: ", "yesno: ").
class LabelledMessages final : public RecordingMessages {
public:
    LabelledMessages() : RecordingMessages(Labels::EveryKind) {}
};

} // namespace svod::test
