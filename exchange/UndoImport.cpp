#include "exchange/UndoImport.h"

#include "app/U_data.h"
#include "app/db/DbError.h"
#include "customers/U_Custom.h"
#include "exchange/ImportLog.h"
#include "toolkit/DialogService.h"
#include "toolkit/WaitCursor.h"

namespace {
const QString kTitle = QStringLiteral("Undo Last Import");

QString plural(int n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromLatin1(n == 1 ? one : many));
}
}  // namespace

void undoLastImport(const QString& userName, int userPermit) {
    db::Connection* c = Frm_Data->Connection;
    if (!importlog::available(c)) {
        toolkit::dialogs().message(QStringLiteral("This database keeps no record of imports (it was made before "
                                                  "imports were recorded), so no import can be undone."),
                                   kTitle, toolkit::Icon::Information);
        return;
    }
    const std::optional<importlog::Entry> e = importlog::last(c);
    if (!e) {
        toolkit::dialogs().message(QStringLiteral("There is no import to undo."), kTitle, toolkit::Icon::Information);
        return;
    }
    const QString no = importlog::refusal(*e, userName, userPermit);
    if (!no.isEmpty()) {
        toolkit::dialogs().message(no, kTitle, toolkit::Icon::Warning);
        return;
    }
    if (!toolkit::dialogs().confirm(importlog::confirmation(*e), kTitle, toolkit::Icon::Question)) return;
    importlog::UndoOutcome out;
    try {
        toolkit::WaitCursor wait;
        out = importlog::undo(c, *e, userName);
    } catch (const db::DbError& err) {
        toolkit::dialogs().message(err.text(), kTitle, toolkit::Icon::Warning);
        return;
    }
    // The shared lists show what the undo left.
    for (db::Query* q : {Frm_Data->Qry_Cust, Frm_Data->Qry_Contact}) {
        if (!q->active()) continue;
        q->close();
        q->open();
    }
    if (Frm_Custom) Frm_Custom->LoadGridColumns();
    QStringList done;
    if (out.customersDeleted) done << plural(out.customersDeleted, "customer", "customers") + QStringLiteral(" deleted");
    if (out.contactsDeleted) done << plural(out.contactsDeleted, "contact", "contacts") + QStringLiteral(" deleted");
    if (out.restored)
        done << plural(out.restored, "record", "records") + QStringLiteral(" restored to what they held before");
    toolkit::dialogs().message(QStringLiteral("The import of %1 was undone%2.")
                                   .arg(e->file, done.isEmpty() ? QString()
                                                                : QStringLiteral(": ") + done.join(QStringLiteral(", "))),
                               kTitle, toolkit::Icon::Information);
}
