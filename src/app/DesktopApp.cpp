#include "app/DesktopApp.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/CatalogueDialogs.h"
#include "app/GuiInteraction.h"
#include "app/MainWindow.h"
#include "app/MessageConventions.h"
#include "app/ProgressDialog.h"
#include "db/Connection.h"
#include "db/Error.h"
#include "db/IniFile.h"
#include "engine/Report.h"
#include "engine/StoredReports.h"
#include "reception/InflationReception.h"
#include "reception/ReceptionService.h"
#include "reports/DialogPageWindow.h"
#include "reports/PreparedDocument.h"
#include "reports/PreviewWindow.h"
#include "reports/ReportCatalogueWindow.h"
#include "reports/designer/DesignReport.h"
#include "windows/DirectoryWindows.h"
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStandardPaths>

namespace svod::app {

void applyProcessFormats() {
    // Russian conventions: "," decimals, "dd.mm.yyyy" dates; our own formatters follow the same.
    QLocale locale(QLocale::Russian, QLocale::Russia);
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    QLocale::setDefault(locale);
    installQtTranslations();
}

namespace {
// Texts of Qt 6 that its Russian catalogue does not carry yet (the file dialog's "Folder").
class MissingQtTexts final : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        Q_UNUSED(disambiguation);
        Q_UNUSED(n);
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        static const QHash<QByteArray, QString> texts = {
            {"Drive", QStringLiteral("Диск")},     {"Folder", QStringLiteral("Папка")},
            {"File", QStringLiteral("Файл")},      {"%1 File", QStringLiteral("Файл %1")},
            {"Shortcut", QStringLiteral("Ярлык")}, {"Alias", QStringLiteral("Псевдоним")},
        };
        return texts.value(QByteArray(source));
    }
};
} // namespace

void useRussianDatesInQtDialogs() {
    // Qt's own dialogs (the file dialog's dates) follow the system locale of the date category;
    // the program's texts are Russian whatever the session's language.
    const QByteArray all = qgetenv("LC_ALL");
    if (!all.isEmpty()) {
        if (qEnvironmentVariableIsEmpty("LANG"))
            qputenv("LANG", all);
        qunsetenv("LC_ALL");
    }
    qputenv("LC_TIME", "ru_RU.UTF-8");
}

void installQtTranslations() {
    // Qt's own dialogs and standard buttons in Russian ("Отмена", "Да", "Нет").
    static bool installed = false;
    QCoreApplication* application = QCoreApplication::instance();
    if (installed || !application)
        return;
    installed = true;
    // Asked last: translators installed later are asked first.
    QCoreApplication::installTranslator(new MissingQtTexts(application));
    auto* translator = new QTranslator(application);
    if (translator->load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);
}

DesktopApp::DesktopApp(QString iniPath, Messages& messages, LoginPrompt login)
    : iniPath_(std::move(iniPath)), messages_(messages), login_(std::move(login)),
      connection_(std::make_unique<db::Connection>()), report_(std::make_unique<engine::Report>()) {}

DesktopApp::~DesktopApp() {
    close();
}

bool DesktopApp::start() {
    window_ = std::make_unique<MainWindow>(messages_);
    // Reports ask their dialog pages in windows over the main window.
    dialogRunner_ = std::make_unique<reports::DialogWindowRunner>(
        window_.get(), [this](const QString& text) { messages_.plain(text); });
    report_->setDialogRunner(dialogRunner_.get());
    inDir_.clear();
    window_->setWindowTitle(MainWindowCaption);
    applyProcessFormats();

    config_ = readAppConfig(iniPath_);
    inDir_ = config_.inDir;
    zoomAtStart_ = IniFile(iniPath_).value(QStringLiteral("preview"), QStringLiteral("zoom"));
    if (!zoomAtStart_.isEmpty())
        reports::PreviewWindow::setLastZoom(zoomAtStart_);

    const bool open = openConnection();
    connection_->setCommandTimeout(db::Timeouts::CommandAfterStart);
    if (!open) {
        closed_ = true;
        return false;
    }
    window_->loadReportsMenu(connection_.get());
    wireCommands();
    return true;
}

void DesktopApp::setProtocolViewer(std::function<void(const QList<engine::TableData>&)> viewer) {
    protocolViewer_ = std::move(viewer);
}

void DesktopApp::wireCommands() {
    if (!protocolViewer_)
        protocolViewer_ = [this](const QList<engine::TableData>& protocols) {
            showPreview(reports::makeComposedProtocols(protocols), QStringLiteral("Протокол ошибок"), false);
        };
    interaction_ = std::make_unique<GuiInteraction>(*window_, protocolViewer_);
    reception_ = std::make_unique<reception::ReceptionService>(*connection_, *interaction_);
    inflation_ = std::make_unique<reception::InflationReception>(*connection_, *interaction_);
    const QString prefix = connection_->dialect().ownerPrefix(config_.tablesOwner);
    reception_->setTablesOwnerPrefix(prefix);
    inflation_->setTablesOwnerPrefix(prefix);
    window_->setCommand(MainWindow::Command::ReceiveData, [this] { receiveData(); });
    window_->setCommand(MainWindow::Command::ReceiveInflation, [this] { receiveInflation(); });
    window_->setCommand(MainWindow::Command::OpenReport, [this] { openPreparedReport(); });
    window_->setCommand(MainWindow::Command::ReportDesigner, [this] { openReportCatalogue(); });
    directory_ = std::make_unique<windows::DirectoryWindows>(
        *connection_, *interaction_, [this](const QString& text) { messages_.error(text); },
        [this](QWidget* w) { return window_->addChildWindow(w); });
    using windows::DirectoryView;
    window_->setCommand(MainWindow::Command::Branches, [this] { directory_->open(DirectoryView::Filials); });
    window_->setCommand(MainWindow::Command::DataCurrency,
                        [this] { directory_->open(DirectoryView::Actuality); });
    window_->setCommand(MainWindow::Command::Settings,
                        [this] { directory_->open(DirectoryView::Variables); });
    window_->setCommand(MainWindow::Command::AutoReceptionLog,
                        [this] { directory_->open(DirectoryView::Log); });
    window_->setCommand(MainWindow::Command::Administration, [this] { directory_->openAdministration(); });
    window_->setReportCommand([this](const QString& id) { runStoredReport(id); });
}

QWidget* DesktopApp::openReportCatalogue() {
    if (!catalogueDialogs_)
        catalogueDialogs_ = std::make_unique<DesktopCatalogueDialogs>(messages_, window_.get());
    reports::ReportCatalogueWindow::Services services;
    services.connection = connection_.get();
    services.report = report_.get();
    services.dialogs = catalogueDialogs_.get();
    services.reportsFolder =
        reports::reportsFolder(QCoreApplication::applicationDirPath(),
                               QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    services.designReport = [this] { designReport(); };
    services.reportAdded = [this](const QString& id, const QString& name) {
        window_->addReportItem(id, name);
    };
    auto* catalogue = new reports::ReportCatalogueWindow(std::move(services));
    QMdiSubWindow* sub = window_->addChildWindow(catalogue);
    // 607 × 391 for the window itself, centred on the main window's work area.
    sub->resize(sub->size() - catalogue->size() + QSize(607, 391));
    const QRect area = window_->mdiArea()->viewport()->rect();
    sub->move(std::max(0, (area.width() - sub->width()) / 2),
              std::max(0, (area.height() - sub->height()) / 2));
    return catalogue;
}

void DesktopApp::runStoredReport(const QString& idText) {
    // Nothing is cached: every run loads the template from the server.
    if (!engine::loadStoredReport(*connection_, idText, *report_)) {
        messages_.plain(engine::reportNotFoundMessage(idText));
        return;
    }
    report_->setConnection(connection_.get());
    // Preparation runs in the progress dialog; "Отмена" stops it after the current page.
    ProgressDialog& progress = window_->progress();
    progress.setInfoLabel(QStringLiteral("Построение отчета"));
    progress.setProgress(ProgressDialog::Minimum, 0);
    progress.setProgress(ProgressDialog::Maximum, 0);
    report_->setProgress([&progress](int pages) {
        progress.setInfoLabel(QStringLiteral("Построение отчета: страница %1").arg(pages));
        QApplication::processEvents();
        return !progress.cancelled();
    });
    struct ForgetProgress {
        engine::Report& report;
        ~ForgetProgress() { report.setProgress({}); }
    } forget{*report_};
    // The dialog pages come first, outside the progress dialog; a cancel there ends the run quietly.
    if (!report_->runDialogs())
        return;
    bool prepared = false;
    progress.execute([&] { prepared = report_->buildPages(); });
    if (!prepared)
        return;
    QMdiSubWindow* sub = showPreview(reports::makePreparedDocument(report_->preparedPages()),
                                     QStringLiteral("Предварительный просмотр"), true);
    if (auto* preview = qobject_cast<reports::PreviewWindow*>(sub->widget()))
        preview->setStatusText(report_->warnings().join(QStringLiteral("; ")));
}

QMdiSubWindow* DesktopApp::showPreview(std::unique_ptr<reports::PreviewDocument> document,
                                       const QString& title, bool withLoader) {
    auto* preview = new reports::PreviewWindow(std::move(document));
    if (withLoader)
        preview->setLoader(&reports::loadPreparedDocument);
    QMdiSubWindow* sub = window_->addChildWindow(preview, MainWindow::ChildSize::FillWorkspace);
    sub->setWindowTitle(title);
    return sub;
}

void DesktopApp::receiveData() {
    reception_->setInputDir(inDir_);
    // The picked file's directory is kept even when the reception then stops.
    struct KeepInDir {
        DesktopApp& app;
        ~KeepInDir() { app.inDir_ = app.reception_->inputDir(); }
    } keep{*this};
    reception_->receive();
}

void DesktopApp::designReport() {
    if (designer_) {
        designer_(*report_);
        return;
    }
    auto show = [this](const engine::PreparedPages& pages) {
        // The designer is a window of its own: the preview opens beside it, not behind it.
        auto* preview =
            new reports::PreviewWindow(reports::makePreparedDocument(pages), QApplication::activeWindow());
        preview->setWindowFlag(Qt::Window);
        preview->setAttribute(Qt::WA_DeleteOnClose);
        preview->setWindowTitle(QStringLiteral("Предварительный просмотр"));
        preview->resize(900, 700);
        preview->show();
    };
    reports::designer::designReport(*report_, reports::designer::connectionServices(connection_.get(), show),
                                    window_.get());
}

void DesktopApp::designFile(const QString& path) {
    report_->clear();
    report_->setFileName(path);
    try {
        if (!report_->loadFromFile(path)) {
            messages_.error(QStringLiteral("Файл шаблона не найден: ") + path);
            return;
        }
    } catch (const Error& e) {
        messages_.error(QStringLiteral("Файл %1 не открыт. %2").arg(path, e.message()));
        return;
    }
    designReport();
}

void DesktopApp::openPreparedReport() {
    const QString path = QFileDialog::getOpenFileName(window_.get(), QStringLiteral("Открыть"), QString(),
                                                      QStringLiteral("Файл отчета (*.frp)"));
    if (path.isEmpty())
        return;
    showPreview(reports::loadPreparedDocument(path), QFileInfo(path).fileName(), true);
}

void DesktopApp::receiveInflation() {
    inflation_->setInputDir(inDir_);
    struct KeepInDir {
        DesktopApp& app;
        ~KeepInDir() { app.inDir_ = app.inflation_->inputDir(); }
    } keep{*this};
    inflation_->receive();
}

bool DesktopApp::openConnection() {
    try {
        const db::ConnectionSpec target = db::parseConnectionString(config_.connectionString);
        QString user;
        QString password;
        // An embedded file database has no login to ask for.
        if (config_.loginPrompt() && target.backend != db::Backend::SQLite) {
            loginAsked_ = true;
            const auto credentials = login_ ? login_(target.databaseName, target.user) : std::nullopt;
            if (!credentials)
                throw Error(QStringLiteral("Вход в базу данных отменен пользователем"));
            user = credentials->user;
            password = credentials->password;
        }
        connection_->open(target, user, password);
        window_->setProviderText(connection_->providerDescription());
        return true;
    } catch (const Error& e) {
        messages_.plain(e.message());
    }
    if (!connection_->isOpen()) {
        messages_.plain(QStringLiteral(
            "Не удалось установить соединение с сервером.\r\nОбратитесь к системному администратору"));
        return false;
    }
    return true;
}

void DesktopApp::close() {
    if (closed_)
        return;
    closed_ = true;
    if (!inDir_.isEmpty()) {
        try {
            writeInDir(iniPath_, inDir_);
        } catch (const Error& e) {
            messages_.error(e.message());
        }
    }
    // The zoom last chosen in a preview is where the next session's previews open.
    const QString zoom = reports::PreviewWindow::lastZoom();
    if (zoom != zoomAtStart_ && !(zoomAtStart_.isEmpty() && zoom == QLatin1String("width"))) {
        try {
            IniFile ini(iniPath_);
            ini.setValue(QStringLiteral("preview"), QStringLiteral("zoom"), zoom);
            ini.save();
        } catch (const Error& e) {
            messages_.error(e.message());
        }
    }
    connection_->close();
}

} // namespace svod::app
