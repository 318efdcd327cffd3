#include "reports/U_Print.h"

TFrm_Print* Frm_Print = nullptr;

namespace {
FieldFlagDialog::Texts printTexts() {
    FieldFlagDialog::Texts t;
    t.caption = QStringLiteral("选择打印的字段");
    t.unflagged = QStringLiteral("Unselect Feild");
    t.flagged = QStringLiteral("Select Field");
    t.flagColumn = QStringLiteral("Print");
    t.limit = TFrm_Print::MaxPrinted;
    t.tooMany = QStringLiteral("选择打印的字段不能超过6个!");
    t.finished = QStringLiteral("修改完成！");
    return t;
}
}  // namespace

TFrm_Print::TFrm_Print(QWidget* parent) : FieldFlagDialog(printTexts(), parent) { Frm_Print = this; }

TFrm_Print::~TFrm_Print() {
    if (Frm_Print == this) Frm_Print = nullptr;
}
