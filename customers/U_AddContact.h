#pragma once
// The contact editor: adds contacts to a customer, or edits the current
// contact of the shared contact list.
#include <QDialog>

class TFrm_AddContact : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_AddContact(QWidget* parent = nullptr);
    ~TFrm_AddContact() override;

    int AddMode = 1;  // 1 add, otherwise edit
};

extern TFrm_AddContact* Frm_AddContact;
