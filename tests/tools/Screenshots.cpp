// Saves PNG pictures of the desktop program's windows on the demo database, for a person to look
// at. Usage: svod-screenshots INI OUTDIR
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTimer>

#include "app/DesktopApp.h"
#include "app/MainWindow.h"
#include "app/MessageConventions.h"
#include "app/ProgressDialog.h"
#include "app/ReceptionModeDialog.h"

using namespace svod::app;

namespace {
void save(QWidget* w, const QString& dir, const QString& name) {
    w->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}
} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    if (argc < 3)
        return 64;
    const QString ini = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    MessageBoxes messages(nullptr);
    DesktopApp app(ini, messages, {});
    if (!app.start())
        return 1;
    MainWindow& w = app.mainWindow();
    w.resize(900, 600);
    w.show();
    auto* child = new QLabel(QStringLiteral("Окно филиалов"));
    w.addChildWindow(child)->setWindowTitle(QStringLiteral("Список филиалов"));
    QApplication::processEvents();
    save(&w, out, QStringLiteral("main-window"));

    ReceptionModeDialog mode(false, &w);
    mode.show();
    QApplication::processEvents();
    save(&mode, out, QStringLiteral("reception-mode"));
    mode.hide();

    w.progress().setInfoLabel(QStringLiteral("Перенос оборотов на сервер"));
    w.progress().setProgress(ProgressDialog::Maximum, 100);
    w.progress().execute([&] {
        w.progress().setProgress(ProgressDialog::Position, 40);
        QApplication::processEvents();
        save(w.progress().window(), out, QStringLiteral("progress"));
    });
    app.close();
    return 0;
}
