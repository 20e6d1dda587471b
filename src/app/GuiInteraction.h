#pragma once

#include <functional>

#include "reception/Interaction.h"

namespace svod::app {

class MainWindow;

// The desktop's side of the core's questions and notices: message boxes titled with the
// application title, the open-file dialog, the reception-mode dialog, the progress dialog of
// the main window, the status panel and the hourglass cursor.
class GuiInteraction final : public reception::Interaction {
public:
    using ProtocolViewer = std::function<void(const QList<engine::TableData>& protocols)>;

    GuiInteraction(MainWindow& window, ProtocolViewer viewer);

    void message(reception::MessageKind kind, const QString& text) override;
    reception::Answer question(reception::MessageKind icon, const QString& text,
                               reception::Buttons buttons) override;
    QString chooseFile(const QString& filter, const QString& initialDir) override;
    reception::PriemMode askPriemMode(QString& code, bool hideTest) override;
    void showProtocol(const engine::TableData& protocol) override;
    void showProtocols(const QList<engine::TableData>& protocols) override;

    void setStatus(const QString& text) override;
    void setBusy(bool busy) override;
    void processEvents() override;

    void setCaption(const QString& text) override;
    void setInfoLabel(const QString& text) override;
    void setProgress(int index, int value) override;
    void stepProgress() override;
    void execute(const std::function<void()>& operation) override;

private:
    MainWindow& window_;
    ProtocolViewer viewer_;
    int busyDepth_ = 0;
};

// "DBF файл (*.dbf)|*.dbf" (description|pattern pairs) as a Qt file dialog filter.
QString qtFileFilter(const QString& filter);

} // namespace svod::app
