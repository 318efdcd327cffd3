#include "customers/EditorCommon.h"

#include "app/U_Main.h"
#include "app/U_data.h"

void fillById(db::Query* q, QComboBox* box, const QString& table) {
    if (Frm_Main) Frm_Main->FillComboById(q, box, table);
    else fillLookupCombo(q, box, table, QStringLiteral("id"));
}

bool ownedByAnother(const QString& owner) {
    return Frm_Main && Frm_Main->UserPermit != 0 && owner != Frm_Main->UserName;
}
