#include "customers/U_Field.h"

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

void TFrm_Field::FormClose() {
    if (Frm_Custom) Frm_Custom->LoadGridColumns();
}
