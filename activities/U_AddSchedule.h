#pragma once
// The editor of one planned contact activity: adds an activity to the shared
// schedule list or edits the one under its cursor.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "activities/CustomerFinder.h"
#include "toolkit/EditorDialog.h"

class TFrm_AddSchedule : public toolkit::EditorDialog {
    Q_OBJECT
public:
    explicit TFrm_AddSchedule(QWidget* parent = nullptr);
    ~TFrm_AddSchedule() override;

    void FormShow();
    void Btn_OKClick();
    void Btn_ExitClick();
    void CheckBox1Click();

    // The start and end as the boxes show them.
    QDateTime startTime() const;
    QDateTime endTime() const;
    void setStartTime(const QDateTime& t);
    void setEndTime(const QDateTime& t);

    bool AddMode = true;

    QGroupBox* GroupBox1;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9;
    QComboBox* ComboBox1;  // subject
    QComboBox* ComboBox2;  // type
    QComboBox* ComboBox3;  // customer
    QComboBox* Combo_Contact;
    QDateEdit* DateTimePicker1;
    QComboBox* ComboBox4;  // start time of day
    QDateEdit* DateTimePicker2;
    QComboBox* ComboBox6;  // end time of day
    QLineEdit* Edit1;      // planned hours
    QCheckBox* CheckBox1;
    QComboBox* ComboBox5;  // reminder lead time
    QPlainTextEdit* Memo1;
    QPushButton* Btn_OK;
    QPushButton* Btn_Exit;
    activities::CustomerBox* Customers;

protected:
    // Saves as the save button does, without closing: true when stored.
    bool saveFields() override;
    void showEvent(QShowEvent* e) override;

private:
    void ShowEntry();
    void ClearEntry();
    void startMoved();
    void endMoved();
    void fillContacts(qlonglong custId);

    bool shown_ = false;
    bool loading_ = false;
    qint64 span_ = 3600;  // seconds from start to end, kept when the start moves
};

// Whether the schedule list has an activity to edit; says so when it has none.
bool scheduleEntryToEdit();

extern TFrm_AddSchedule* Frm_AddSchedule;
