#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "engine/PreparedPages.h"

// What the text exporters share: a page's objects as rows, and the rows of a whole document.
namespace svod::engine::exports {

// Writes the file whole or not at all; svod::Error with the file's name otherwise.
void writeTextFile(const QString& path, const QByteArray& bytes);

bool isTextual(const PreparedObject& o);
// A text object's text; a ticked check box as "X".
QString cellText(const PreparedObject& o);
QStringList rowTexts(const QList<const PreparedObject*>& row);

// Rows of the continuous formats, one page decoded at a time: a row repeated at the same place on
// the next page (a column or page header) is handed on once.
// `onPage`, when given, sees each decoded page before its rows.
using RowVisitor = std::function<void(const QList<const PreparedObject*>& row)>;
using PageVisitor = std::function<void(const PreparedPage& page)>;
void forEachDocumentRow(const PreparedPages& pages, const RowVisitor& visit, const PageVisitor& onPage = {});

} // namespace svod::engine::exports
