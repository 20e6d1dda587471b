#pragma once

#include <QMap>
#include <QVariant>
#include <functional>

#include "engine/Datasets.h"
#include "engine/DialogSession.h"
#include "engine/Model.h"
#include "engine/PreparedPages.h"

namespace svod::db {
class Connection;
}

namespace svod::engine {

// The report object: one template, its variables, its prepared pages.
class Report {
public:
    // The engine-wide variable list, shared by every report object of the program.
    static QVariantMap& engineVariables();

    Report();
    ~Report();

    const QString& fileName() const { return fileName_; }
    void setFileName(const QString& name) { fileName_ = name; }
    // The report's name in messages: the stored report's name, else the template file's.
    QString name() const;
    void setName(const QString& name) { name_ = name; }
    ReportTemplate& reportTemplate() { return template_; }
    const ReportTemplate& reportTemplate() const { return template_; }
    void setTemplate(ReportTemplate t) { template_ = std::move(t); }
    QStringList& noteStrings() { return noteStrings_; }
    PreparedPages& preparedPages() { return prepared_; }
    // What the last run noted without stopping (a band split because it is taller than a page ...).
    const QStringList& warnings() const { return warnings_; }
    const PreparedPages& preparedPages() const { return prepared_; }

    void setConnection(db::Connection* connection) { connection_ = connection; }
    // A dataset given in memory instead of SQL (name compared without case).
    void setMemoryDataset(const QString& name, RowSet rows);
    void setProgress(std::function<bool(int)> progress) { progress_ = std::move(progress); }
    // Called for every object of a page before the page is stored.
    void setObjectFinisher(std::function<void(PreparedObject&)> finish) { finisher_ = std::move(finish); }

    // Template and dictionary emptied; the file name stays.
    void clear();
    // False, changing nothing, when the file does not exist; throws on a damaged template.
    bool loadFromFile(const QString& path);
    void saveToFile(const QString& path) const;
    void loadFromBlob(const QByteArray& blob);
    QByteArray saveToBlob(bool compress = true) const;
    // The engine-wide list and the dictionary's variables emptied.
    void clearVariables();

    // What shows the dialog pages; without one, every control keeps its default (never waits).
    void setDialogRunner(DialogRunner* runner) { runner_ = runner; }
    // Shows the dialog pages; false when the user cancelled (nothing else happens then). Throws
    // svod::Error naming the report, page and control of a failing script or lookup.
    bool runDialogs();
    // The controls of the last dialog run, readable until the next run (null without dialogs).
    DialogSession* dialogSession() { return session_.get(); }
    // The dialog pages' session without showing anything: lookups filled, defaults set.
    DialogSession& prepareDialogs(DialogRunner& runner);

    // PrepareReport: the dialog pages, then the pages; false when cancelled or when no page was
    // built. Throws svod::Error on errors in the template or the data.
    bool prepareReport();
    // The pages alone, with the controls of the last dialog run.
    bool buildPages();
    // LoadPreparedReport.
    void loadPreparedReport(const QString& path) { prepared_.loadFromFile(path); }

private:
    QString fileName_;
    QString name_;
    DialogRunner* runner_ = nullptr;
    AnswerRunner defaultRunner_; // outlives the session: messages may come while pages are built
    std::unique_ptr<DialogSession> session_;
    ReportTemplate template_;
    QStringList noteStrings_;
    PreparedPages prepared_;
    QStringList warnings_;
    db::Connection* connection_ = nullptr;
    QMap<QString, RowSet> memory_;
    std::function<bool(int)> progress_;
    std::function<void(PreparedObject&)> finisher_;
};

// What shows prepared pages to the user; the desktop program implements it with its preview.
class ReportViewer {
public:
    virtual ~ReportViewer() = default;
    virtual void showPreparedReport(const PreparedPages& pages) = 0;
};

} // namespace svod::engine
