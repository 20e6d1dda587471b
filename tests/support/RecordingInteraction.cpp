#include "support/RecordingInteraction.h"

namespace svod::test {

using reception::Answer;
using reception::Buttons;
using reception::MessageKind;

QString kindName(MessageKind kind) {
    switch (kind) {
    case MessageKind::Plain:
        return QStringLiteral("message");
    case MessageKind::Info:
        return QStringLiteral("info");
    case MessageKind::Warning:
        return QStringLiteral("warning");
    case MessageKind::Error:
        return QStringLiteral("error");
    case MessageKind::Question:
        return QStringLiteral("question");
    }
    return {};
}

QStringList RecordingInteraction::texts(const QString& kind) const {
    QStringList result;
    for (const Entry& entry : log)
        if (entry.kind == kind)
            result << entry.text;
    return result;
}

void RecordingInteraction::message(MessageKind kind, const QString& text) {
    log.append({kindName(kind), text});
}

Answer RecordingInteraction::question(MessageKind, const QString& text, Buttons buttons) {
    log.append({QStringLiteral("question"), text});
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
}

QString RecordingInteraction::chooseFile(const QString& filter, const QString& initialDir) {
    lastFilter = filter;
    lastInitialDir = initialDir;
    return fileToChoose;
}

reception::PriemMode RecordingInteraction::askPriemMode(QString& code, bool hideTest) {
    if (mode == reception::PriemMode::FromFile && testBranch && !hideTest)
        code = QStringLiteral("99");
    return mode;
}

void RecordingInteraction::showProtocol(const engine::TableData& protocol) {
    log.append({QStringLiteral("protocol"), protocol.title});
    protocols.append(protocol);
    previewSizes.append(1);
}

void RecordingInteraction::showProtocols(const QList<engine::TableData>& list) {
    for (const engine::TableData& protocol : list) {
        log.append({QStringLiteral("protocol"), protocol.title});
        protocols.append(protocol);
    }
    previewSizes.append(int(list.size()));
}

void RecordingInteraction::setStatus(const QString& text) {
    Interaction::setStatus(text);
    log.append({QStringLiteral("status"), text});
}

void RecordingInteraction::setInfoLabel(const QString& text) {
    Interaction::setInfoLabel(text);
    infoLabels.append(text);
    if (onInfo)
        onInfo(*this, text);
}

void RecordingInteraction::setProgress(int index, int value) {
    Interaction::setProgress(index, value);
    if (index == Position)
        positions.append(value);
    if (index == Maximum)
        maxima.append(value);
    if (onProgress)
        onProgress(*this);
}

void RecordingInteraction::execute(const std::function<void()>& operation) {
    ++executes;
    Interaction::execute(operation);
}

} // namespace svod::test
