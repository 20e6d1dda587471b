#include "reports/designer/DesignReport.h"

#include <QEventLoop>
#include <QPointer>

#include "engine/Datasets.h"
#include "engine/Report.h"
#include "reports/designer/DesignerDocument.h"

namespace svod::reports::designer {

DesignerServices connectionServices(db::Connection* connection,
                                    std::function<void(const engine::PreparedPages&)> show) {
    DesignerServices s;
    if (!connection)
        return s;
    s.runDataset = [connection](const engine::DatasetSpec& d) {
        // Parameters are unknown at design time: they run as NULL, which is enough to learn the fields.
        return engine::runSqlDataset(*connection, d.sql, [](const QString&, QVariant& value) {
            value = QVariant();
            return true;
        });
    };
    s.prepare = [connection](const engine::ReportTemplate& t, engine::PreparedPages& pages) {
        engine::Report report;
        report.setTemplate(t);
        report.setConnection(connection);
        const bool ok = report.prepareReport();
        pages = report.preparedPages();
        return ok;
    };
    s.showPreview = std::move(show);
    return s;
}

void designReport(engine::Report& report, const DesignerServices& services, QWidget* parent,
                  DesignerPrompts* prompts) {
    auto* window = new DesignerWindow(services, parent);
    window->setWindowFlag(Qt::Window);
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    if (prompts)
        window->setPrompts(prompts);
    window->openTemplate(report.reportTemplate(), report.fileName());
    QEventLoop loop;
    QObject::connect(window, &DesignerWindow::closed, &loop, &QEventLoop::quit);
    window->show();
    loop.exec();
    report.setTemplate(window->document().reportTemplate());
    report.setFileName(window->document().fileName());
    window->deleteLater();
}

} // namespace svod::reports::designer
