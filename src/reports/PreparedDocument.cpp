#include "reports/PreparedDocument.h"

#include "engine/DatasetReport.h"
#include "engine/Exports.h"
#include "engine/Painter.h"
#include "engine/Report.h"

namespace svod::reports {

namespace {
class PreparedDocument final : public PreviewDocument {
public:
    explicit PreparedDocument(engine::PreparedPages pages) : pages_(std::move(pages)) {}
    int pageCount() const override { return pages_.count(); }
    QSizeF pageSize(int page) const override { return pages_.orientedSize(page); }
    void paintPage(int page, QPainter& painter, const QRectF& target) const override {
        engine::paintPage(pages_.page(page), painter, target);
    }
    QList<QRectF> findText(int page, const QString& text, Qt::CaseSensitivity cs) const override {
        return engine::findText(pages_.page(page), text, cs);
    }
    QStringList saveFilters() const override {
        return {QStringLiteral("Подготовленный отчет (*.frp)"), QStringLiteral("Документ PDF (*.pdf)"),
                QStringLiteral("Документ RTF (*.rtf)"),         QStringLiteral("Таблица Excel (*.xlsx)"),
                QStringLiteral("Страница HTML (*.html)"),       QStringLiteral("Файл CSV (*.csv)")};
    }
    void save(const QString& path, const SaveOptions& options) const override {
        engine::ExportOptions o;
        o.csv.encoding =
            options.csvWindows1251 ? engine::CsvEncoding::Windows1251 : engine::CsvEncoding::Utf8WithBom;
        o.xlsx.sheetPerPage = options.sheetPerPage;
        engine::exportPages(pages_, path, o);
    }

private:
    engine::PreparedPages pages_;
};
} // namespace

std::unique_ptr<PreviewDocument> makePreparedDocument(engine::PreparedPages pages) {
    return std::make_unique<PreparedDocument>(std::move(pages));
}

std::unique_ptr<PreviewDocument> loadPreparedDocument(const QString& path) {
    engine::PreparedPages pages;
    pages.loadFromFile(path);
    return makePreparedDocument(std::move(pages));
}

std::unique_ptr<PreviewDocument> makeComposedProtocols(const QList<engine::TableData>& protocols) {
    engine::EMFPagesStorage storage;
    for (const engine::TableData& protocol : protocols) {
        engine::DatasetReport table;
        storage.addPages(table.prepare(protocol));
    }
    engine::Report report;
    storage.compositeReport(report);
    return makePreparedDocument(report.preparedPages());
}

} // namespace svod::reports
