#pragma once

#include <QString>

class QWidget;

namespace svod::app {

// The application title of the task bar and of every message box.
inline const QString ApplicationTitle = QStringLiteral("Сводная отчетность по МСФО (1.29)");
inline const QString MainWindowCaption =
    QStringLiteral("Сводная отчетность по МСФО (\"Тальвер\") версия 1.29");

// The default error display appends "." when the last character sorts above "." in the
// Windows-1251 code page ("Прервано пользователем." but "Ошибка!" unchanged).
QString errorDisplayText(const QString& message);

// What the program shows or asks; the desktop shows message boxes, tests record.
class Messages {
public:
    virtual ~Messages() = default;
    // A plain box with OK and no icon.
    virtual void plain(const QString& text) = 0;
    // An information box with OK.
    virtual void information(const QString& text) = 0;
    // The default error display: stop icon, application title, the "." rule.
    virtual void error(const QString& text) = 0;
    // Question icon, OK / Cancel; true for OK.
    virtual bool confirm(const QString& text) = 0;
    // Error icon, Yes / No; true for Yes.
    virtual bool askYesNo(const QString& text) = 0;
};

// Message boxes parented to a window.
class MessageBoxes final : public Messages {
public:
    explicit MessageBoxes(QWidget* parent) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }
    void plain(const QString& text) override;
    void information(const QString& text) override;
    void error(const QString& text) override;
    bool confirm(const QString& text) override;
    bool askYesNo(const QString& text) override;

private:
    QWidget* parent_;
};

} // namespace svod::app
