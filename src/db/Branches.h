#pragma once

#include <QString>

namespace svod::db {

class Connection;
class Dialect;

// "SELECT NAZVANIE FROM FILIALS WHERE KOD ='<code>'".
QString branchNameQuery(const Dialect& dialect, const QString& code);
// The text put where a branch name would go when FILIALS has no such code.
QString branchNotFoundText(const QString& code);
// GetFilName: the branch name, or the not-found text. Database errors propagate.
QString GetFilName(Connection& connection, const QString& code);

} // namespace svod::db
