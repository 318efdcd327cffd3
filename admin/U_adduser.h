#pragma once
// User management: the users of table admin with their permission level.
// Passwords are set here but never shown: none can be read back (a file
// keeps hashes, a server keeps them itself). Only a super user reaches this
// window (the main window's "User Management" checks that, and a server
// refuses anyone else).
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "app/db/Query.h"

class TFrm_AddUser : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_AddUser(QWidget* parent = nullptr);
    ~TFrm_AddUser() override;

    void FormCreate();
    void TreeView1Click();
    void ToolButton1Click();  // Add
    void ToolButton2Click();  // Edit
    void btn_saveClick();
    void ToolButton4Click();  // Delete
    void ToolButton6Click();  // Refresh
    void Button2Click();      // Cancel
    void ToolButton7Click();  // Exit

    // Shown instead of an engine error when Save (edit mode) or Delete has no
    // user from the list to act on.
    static QString noUserText();
    static QString lastSuperUserText();

    // True after "Add ": Save inserts; false: Save updates the selected user.
    bool AddMode = false;

    QToolBar* ToolBar1;
    QToolButton *ToolButton1, *ToolButton2, *ToolButton4, *ToolButton6, *ToolButton7;
    QTreeWidget* TreeView1;
    QLabel* Label1;
    QLineEdit* Edit_username;
    QLabel* Label2;
    QComboBox* ComboBox1;
    QLabel* Label3;
    QLineEdit* Edit_pass;
    QPushButton* btn_save;
    QPushButton* Button2;

    db::Query* Qry_admin;   // feeds the tree
    db::Query* Qry_add;     // the user selected in the tree; users are changed through the data layer
    db::Query* Qry_repeat;  // duplicate-name test

private:
    // Refills the tree; the user stored under the name select stays highlighted.
    void LoadUsers(const QString& select = QString());
    // The user whose row the fields show: the highlighted one, if any.
    QTreeWidgetItem* highlighted() const;
    // True when the chosen user is the only super user left.
    bool lastSuperUser();
    void ClearFields();
    void setEditing(bool on);
    // False (after telling the user) when no user from the list is loaded.
    bool haveSelectedUser();

    bool finishing_ = false;  // the permission text's editing is being finished
};

extern TFrm_AddUser* Frm_AddUser;
