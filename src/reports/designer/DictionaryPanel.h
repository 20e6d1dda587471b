#pragma once

#include <QMap>
#include <QWidget>
#include <functional>
#include <optional>

#include "engine/Datasets.h"
#include "engine/Model.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTableWidget;

namespace svod::reports::designer {

class DesignerDocument;

// Runs a dataset's query on the program's connection; throws svod::Error with the server's message.
using DatasetRunner = std::function<engine::RowSet(const engine::DatasetSpec&)>;

// The data dictionary: the template's datasets (name, SQL, master) with a query check that lists
// the fields (dragged onto a band they make a text object), the variables, and the script.
class DictionaryPanel final : public QWidget {
    Q_OBJECT
public:
    DictionaryPanel(DesignerDocument& document, DatasetRunner runner, QWidget* parent = nullptr);

    // The fields of a dataset as its last check found them.
    std::optional<QStringList> knownFields(const QString& dataset) const;
    // Runs the selected dataset's query and lists its fields; false with the message shown when it fails.
    bool checkSelectedDataset();
    void selectDataset(int index);
    // Stores the editors of the selected dataset, the variables and the script as steps.
    void applyDataset();
    void applyScript();

    QString lastMessage() const;

private:
    QWidget* buildDatasetPage();
    QWidget* buildVariablePage();
    QWidget* buildScriptPage();
    void variableEdited(int row, int column);
    void refresh();
    void showVariables();
    void showScript();
    void showDataset(int index);

    DesignerDocument& document_;
    DatasetRunner runner_;
    QMap<QString, QStringList> fields_; // upper-case dataset name -> fields
    QListWidget* datasets_ = nullptr;
    QLineEdit* name_ = nullptr;
    QComboBox* master_ = nullptr;
    QPlainTextEdit* sql_ = nullptr;
    QListWidget* fieldList_ = nullptr;
    QLabel* message_ = nullptr;
    QTableWidget* variables_ = nullptr;
    QPlainTextEdit* script_ = nullptr;
    QLabel* scriptMessage_ = nullptr;
    bool refreshing_ = false;
    int shown_ = -1;
};

} // namespace svod::reports::designer
