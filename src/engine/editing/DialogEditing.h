#pragma once

#include <QSet>

#include "engine/Model.h"

namespace svod::engine::editing {

// The Russian name of a dialog control kind, as the control palette shows it.
QString controlKindCaption(ControlKind kind);
const QList<ControlKind>& allControlKinds();

// Names of every control of every dialog page (scripts and expressions read controls by name).
QSet<QString> controlNames(const ReportTemplate& t);

// A new dialog page with a free name.
DialogPage newDialogPage(const ReportTemplate& t);
// A new control of `kind` for page `page`: a free name, placed below the page's last control, with
// what it needs to run (a button closes the page with OK, a label shows its name).
DialogControl newControl(const ReportTemplate& t, int page, ControlKind kind);

} // namespace svod::engine::editing
