#include "reception/Interaction.h"

namespace svod::reception {

void Interaction::setProgress(int index, int value) {
    if (index >= Minimum && index <= Position)
        values_[index] = value;
}

void Interaction::execute(const std::function<void()>& operation) {
    cancel_ = false;
    if (!operation)
        return;
    processEvents();
    operation();
}

void showStage(Interaction& interaction, const QString& text) {
    interaction.setInfoLabel(text);
    interaction.processEvents();
}

} // namespace svod::reception
