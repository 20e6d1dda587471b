#pragma once

#include <QWidget>
#include <functional>
#include <optional>

#include "engine/editing/ObjectProperties.h"

class QTableWidget;
class QLabel;

namespace svod::reports::designer {

class DesignScene;
class DesignerDocument;

// The properties of the selection with typed editors: several selected objects show the properties
// they share, and a change applies to all of them. With no object selected it shows the current band.
class PropertyPanel final : public QWidget {
    Q_OBJECT
public:
    PropertyPanel(DesignerDocument& document, DesignScene& scene, QWidget* parent = nullptr);

    // Rebuilds the editors for the selection.
    void refresh();
    // Sets a property of the selected objects as the editors do.
    void applyObjectProperty(engine::editing::ObjectProperty property, const QVariant& value);

    // Display formats offered by the format list.
    static const QStringList& displayFormats();
    // Where the chart's field lists come from: a dataset's fields as the dictionary knows them.
    void setFieldSource(std::function<std::optional<QStringList>(const QString&)> fields) {
        fieldsOf_ = std::move(fields);
    }

private:
    // One property of the selection as its editor shows it: `common` when every selected object
    // has the same value.
    struct ShownProperty {
        engine::editing::ObjectProperty property;
        QVariant value;
        bool common = true;
        QString caption;
        QString name;
    };
    void showObjects();
    QWidget* editorFor(const ShownProperty& shown, const QStringList& choices);
    QWidget* numberEditor(const ShownProperty& shown);
    QWidget* flagEditor(const ShownProperty& shown);
    QWidget* formatEditor(const ShownProperty& shown);
    QWidget* fontEditor(const ShownProperty& shown);
    QWidget* colorEditor(const ShownProperty& shown);
    QWidget* frameSidesEditor(const ShownProperty& shown);
    QWidget* alignmentEditor(const ShownProperty& shown);
    QWidget* chartKindEditor(const ShownProperty& shown);
    QWidget* choiceEditor(const ShownProperty& shown, const QStringList& choices);
    QWidget* pictureEditor(const ShownProperty& shown);
    QWidget* textEditor(const ShownProperty& shown);
    void showBand(int band);
    void addRow(const QString& caption, QWidget* editor, const QString& objectName);

    DesignerDocument& document_;
    DesignScene& scene_;
    QLabel* title_ = nullptr;
    QTableWidget* table_ = nullptr;
    std::function<std::optional<QStringList>(const QString&)> fieldsOf_;
    bool refreshing_ = false;
    bool pending_ = false;
};

} // namespace svod::reports::designer
