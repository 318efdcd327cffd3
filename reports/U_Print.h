#pragma once
// Which customer or contact fields the basic information report prints.
#include "app/FieldFlagDialog.h"

class TFrm_Print : public FieldFlagDialog {
    Q_OBJECT
public:
    explicit TFrm_Print(QWidget* parent = nullptr);
    ~TFrm_Print() override;

    // The report has room for this many fields.
    static constexpr int MaxPrinted = 6;
};

extern TFrm_Print* Frm_Print;
