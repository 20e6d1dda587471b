#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "reception/Interaction.h"

namespace svod::test {

// A scripted Interaction: answers from its fields, and a log of every text it was given, so that
// tests assert the exact messages in their order.
class RecordingInteraction : public reception::Interaction {
public:
    struct Entry {
        QString kind; // "message", "info", "warning", "error", "question", "protocol", "status"
        QString text;
    };

    // --- script ---
    QString fileToChoose;                                       // empty: the open dialog is cancelled
    reception::PriemMode mode = reception::PriemMode::FromFile; // the mode dialog's answer
    bool testBranch = false;                                    // the "99" box ticked
    QList<reception::Answer> answers;                           // answers to questions in turn; then OK / Yes
    // Called whenever the stored progress position or info text changes.
    std::function<void(RecordingInteraction&)> onProgress;
    std::function<void(RecordingInteraction&, const QString&)> onInfo;

    // --- record ---
    QList<Entry> log;
    QStringList infoLabels;
    QList<int> positions;
    QList<int> maxima;
    int stepIts = 0;
    int executes = 0;
    QString lastFilter;
    QString lastInitialDir;
    QList<engine::TableData> protocols; // shown, in order
    QList<int> previewSizes;            // protocols per preview

    // The texts of one kind, in order.
    QStringList texts(const QString& kind) const;

    void message(reception::MessageKind kind, const QString& text) override;
    reception::Answer question(reception::MessageKind icon, const QString& text,
                               reception::Buttons buttons) override;
    QString chooseFile(const QString& filter, const QString& initialDir) override;
    reception::PriemMode askPriemMode(QString& code, bool hideTest) override;
    void showProtocol(const engine::TableData& protocol) override;
    void showProtocols(const QList<engine::TableData>& list) override;
    void setStatus(const QString& text) override;
    void setInfoLabel(const QString& text) override;
    void setProgress(int index, int value) override;
    void stepProgress() override { ++stepIts; }
    void execute(const std::function<void()>& operation) override;
};

QString kindName(reception::MessageKind kind);

} // namespace svod::test
