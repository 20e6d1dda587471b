#pragma once

#include <QWidget>
#include <memory>

#include "windows/WindowTypes.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace svod::directory {
class QueryTable;
}
namespace svod::widgets {
class DataGrid;
}

namespace svod::windows {

// "Управление программой": pages without tabs, reached by their codes from the command page.
class AdministrationWindow : public QWidget {
    Q_OBJECT
public:
    AdministrationWindow(db::Connection& connection, reception::Interaction& interaction,
                         ErrorDisplay showError, QWidget* parent = nullptr);
    ~AdministrationWindow() override;

    // "Переход": the page whose code is the text typed; any other text changes nothing.
    void goToTypedPage();
    // "Создать INV_INFL", "Создать INV_OST3".
    void createTable(const QString& table);
    // "Выполнить".
    void execute();

    int currentPage() const;
    widgets::DataGrid* grid() const { return grid_; }

private:
    db::Connection& connection_;
    reception::Interaction& interaction_;
    ErrorDisplay showError_;
    QStackedWidget* pages_ = nullptr;
    QLineEdit* code_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    widgets::DataGrid* grid_ = nullptr;
    std::unique_ptr<directory::QueryTable> query_;
};

} // namespace svod::windows
