#include "customers/U_Field.h"

#include "app/U_data.h"
#include "customers/U_Custom.h"

TFrm_Field* Frm_Field = nullptr;

namespace {
FieldFlagDialog::Texts fieldTexts() {
    FieldFlagDialog::Texts t;
    t.caption = QStringLiteral("Select Field");
    t.unflagged = QStringLiteral("Hide Field");
    t.flagged = QStringLiteral("Show Field");
    t.flagColumn = QStringLiteral("show");
    t.finished = QStringLiteral("modify finished");
    t.moveAllButtons = true;
    return t;
}
}  // namespace

TFrm_Field::TFrm_Field(QWidget* parent) : FieldFlagDialog(fieldTexts(), parent) { Frm_Field = this; }

TFrm_Field::~TFrm_Field() {
    if (Frm_Field == this) Frm_Field = nullptr;
}

QString TFrm_Field::storedNote() {
    db::Query q(Frm_Data->Connection);
    q.setSql(QStringLiteral("select Name from T_FieldShow where show=1 and TableName=:table order by ShowID"));
    q.setParam(QStringLiteral("table"), TableName);
    q.open();
    if (q.recordCount() <= kMaxGridColumns) return QString();
    QStringList left;
    q.first();
    for (int i = 0; !q.eof(); ++i, q.next())
        if (i >= kMaxGridColumns) left << q.field(0).asString().trimmed();
    return QStringLiteral("The customer grid shows at most %1 columns, in their usual order: %2 of the %3 fields "
                          "chosen will not be shown (%4).")
        .arg(kMaxGridColumns)
        .arg(left.size())
        .arg(q.recordCount())
        .arg(left.join(QStringLiteral(", ")));
}

void TFrm_Field::FormClose() {
    if (Frm_Custom) Frm_Custom->LoadGridColumns();
}
