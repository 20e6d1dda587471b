#pragma once

#include <QWidget>
#include <functional>

#include "engine/Model.h"

class QFormLayout;
class QListWidget;
class QPushButton;

namespace svod::reports::designer {

class DesignerDocument;

// The dialog pages of the template, shown before preparation: the pages with their caption, size
// and script, a palette of control kinds, and the controls of the chosen page with their properties.
// Every change is one step of the document.
class DialogPanel final : public QWidget {
    Q_OBJECT
public:
    explicit DialogPanel(DesignerDocument& document, QWidget* parent = nullptr);

    void addPage();
    void removePage();
    // Adds a control of `kind` to the chosen page (a page is made when there is none).
    void addControl(engine::ControlKind kind);
    void removeControl();
    void selectPage(int page);
    void selectControl(int control);
    int currentPage() const { return page_; }
    int currentControl() const { return control_; }

private:
    QPushButton* commandButton(const QString& text, const QString& name, const std::function<void()>& run);
    void buildControlPalette();
    void addControlText(QFormLayout* form, const QString& caption, const QString& name, const QString& value,
                        std::function<void(engine::DialogControl&, const QString&)> set);
    void addControlGeometry(QFormLayout* form, const QRectF& rect);
    void addListSource(QFormLayout* form, const engine::DialogControl& c);
    void addControlBehaviour(QFormLayout* form, const engine::DialogControl& c);
    void refresh();
    void showPage();
    void showControl();
    // Pushes the dialogs changed by `change` as one step named `text`.
    void change(const QString& text, const std::function<void(QList<engine::DialogPage>&)>& change);
    void changeControl(const std::function<void(engine::DialogControl&)>& change);
    void addField(QFormLayout* form, const QString& caption, QWidget* editor, const QString& name);

    DesignerDocument& document_;
    QListWidget* pages_ = nullptr;
    QListWidget* controls_ = nullptr;
    QWidget* palette_ = nullptr;
    QWidget* pageBox_ = nullptr;
    QWidget* controlBox_ = nullptr;
    int page_ = -1;
    int control_ = -1;
    bool refreshing_ = false;
};

} // namespace svod::reports::designer
