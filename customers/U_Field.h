#pragma once
// Which customer fields the browser's grid shows.
#include "app/FieldFlagDialog.h"

class TFrm_Field : public FieldFlagDialog {
    Q_OBJECT
public:
    explicit TFrm_Field(QWidget* parent = nullptr);
    ~TFrm_Field() override;

protected:
    // Every close, stored or cancelled, rebuilds the browser's grids.
    void FormClose() override;
    // The grid shows the first fields only: which of the chosen ones it leaves out.
    QString storedNote() override;
};

extern TFrm_Field* Frm_Field;
