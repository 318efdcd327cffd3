#pragma once
// "Find Duplicate Customers": groups of stored customers that are likely
// one and the same, each with why it was formed; a group can be merged
// into one of its customers, choosing field by field which value stays.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>

#include "customers/CustomerMerge.h"
#include "customers/DuplicateFinder.h"

class TFrm_Duplicates : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Duplicates(QWidget* parent = nullptr);
    ~TFrm_Duplicates() override;

    void FormShow();
    void Btn_FindClick();
    void TreeGroupsChange();
    void Combo_SurvivorChange();
    void Grid_FieldsCellClick(int row, int column);
    void Btn_MergeClick();
    void Btn_ExitClick();

    QCheckBox *CB_Company, *CB_Email, *CB_Tel;
    QPushButton* Btn_Find;
    QLabel* Label_Count;
    QTreeWidget* TreeGroups;
    QLabel* Label_Why;
    QLabel* Label_Survivor;
    QComboBox* Combo_Survivor;
    QCheckBox* CB_AllFields;  // also the fields that read the same in every customer
    QTableWidget* Grid_Fields;
    QPushButton* Btn_Merge;
    QPushButton* Btn_Exit;

    const QList<duplicates::Group>& groups() const { return groups_; }
    const merge::Set& mergeSet() const { return set_; }
    const merge::Choice& choice() const { return choice_; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void showGroups();
    void loadGroup(int index);
    void fillGrid();
    int rules() const;

    QList<duplicates::Group> groups_;
    int customerCount_ = 0;
    merge::Set set_;
    merge::Choice choice_;
    QHash<QString, QString> titles_;  // lower-case column -> title shown
    bool shown_ = false;
};

extern TFrm_Duplicates* Frm_Duplicates;
