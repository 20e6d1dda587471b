#include <QApplication>
#include <QCommandLineParser>
#include <QFontDatabase>
#include <QStandardPaths>
#include <QTimer>

#include "app/DesktopApp.h"
#include "app/FirstStart.h"
#include "app/MainWindow.h"
#include "app/MessageConventions.h"
#include "db/AppConfig.h"
#include "db/Error.h"
#include "db/QtMessages.h"

int main(int argc, char** argv) {
    svod::quietQtMessages();
    svod::app::useRussianDatesInQtDialogs();
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("svod"));
    QFont font(QStringLiteral("Liberation Sans"), 9);
    QApplication::setFont(font);

    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption iniOption(
        QStringLiteral("ini"), QStringLiteral("Файл настроек (по умолчанию pr_vt.ini рядом с программой)."),
        QStringLiteral("FILE"));
    parser.addOption(iniOption);
    const QCommandLineOption designOption(QStringLiteral("design"),
                                          QStringLiteral("Открыть дизайнер отчетов на файле шаблона (.frf)."),
                                          QStringLiteral("FILE"));
    parser.addOption(designOption);
    parser.process(application);
    const QString ini = parser.isSet(iniOption) ? parser.value(iniOption) : svod::defaultIniPath();

    svod::app::MessageBoxes messages(nullptr);
    if (!parser.isSet(iniOption)) {
        try {
            svod::app::prepareFirstStart(ini,
                                         QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
        } catch (const svod::Error& e) {
            messages.error(e.message());
        }
    }
    svod::app::DesktopApp app(ini, messages, [](const QString& database, const QString& user) {
        return svod::app::LoginDialog::ask(database, user, nullptr);
    });
    if (!app.start())
        return 1;
    svod::app::MainWindow& window = app.mainWindow();
    messages.setParent(&window);
    QObject::connect(&window, &svod::app::MainWindow::closing, [&app] { app.close(); });
    window.show();
    if (parser.isSet(designOption)) {
        const QString file = parser.value(designOption);
        QTimer::singleShot(0, &window, [&app, file] { app.designFile(file); });
    }
    return QApplication::exec();
}
