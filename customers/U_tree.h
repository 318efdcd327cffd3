#pragma once
// Customer categories: the code scheme (two digits per level), the tree
// filler shared with the customer browser, and the management window.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include "app/db/Query.h"

// Width of every level of a category code, one digit per level.
inline const QString CategoryPattern = QStringLiteral("222222");

// Fills tree with the category hierarchy under one root node.
void FillCategoryTree(QTreeWidget* tree);
// Level of code under a width pattern such as "222222"; -1 when none.
int CodeLevel(const QString& pattern, const QString& code);
// True when text is empty or converts to a 32-bit integer.
bool IsNumber(const QString& text);
// The code carried by a category node's text (its first 2 x level
// characters); empty for the root.
QString NodeCode(const QTreeWidgetItem* node);

class TFrm_Tree : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Tree(QWidget* parent = nullptr);
    ~TFrm_Tree() override;

    void FormCreate();
    void FormClose();
    // What a delete of a category that customers are filed under says.
    // What a rename says when another workstation deleted or renamed the
    // category since the tree was filled.
    static QString categoryDeletedText();
    static QString categoryRenamedText(const QString& now);
    static QString categoryInUseText(qlonglong customers);

    void TreeView1Click();
    void TreeView1DblClick();
    void tb_addClick();
    void tb_editClick();
    void tb_delClick();
    void tb_resultClick();  // Refresh
    void ToolButton1Click();  // Select
    void tb_closeClick();
    void btn_saveClick();
    void BitBtn2Click();  // Cancel

    // The selected node, or nullptr.
    QTreeWidgetItem* selectedNode() const;
    // The category node of a code, or nullptr.
    QTreeWidgetItem* nodeOfCode(const QString& code) const;

    // true: Save adds a category; false: Save renames the selected one.
    bool AddMode = false;
    // Set by every Save and Delete; the browser's tree is refilled on close.
    bool Changed = false;
    // 0 management only, 1 pick for the customer editor, 2 pick for the search.
    int SelectFor = 0;

    QToolBar* ToolBar1;
    QToolButton *tb_add, *tb_edit, *tb_del, *tb_result, *ToolButton1, *tb_close;
    QTreeWidget* TreeView1;
    QLabel* Label1;
    QLineEdit* Edit_code;
    QLabel* Label2;
    QLineEdit* Edit_name;
    QPushButton* btn_save;
    QPushButton* BitBtn2;

    db::Query* Qry_repeat = nullptr;
    db::Query* Qry = nullptr;
    db::Query* Qry_del = nullptr;

    // Ends the dialog however it is closed (button, Esc, title bar), so
    // FormClose runs on every path.
    void done(int r) override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void loadNode(QTreeWidgetItem* node);
    void toIdle();
    void addCategory();
    void renameCategory();

    bool closing_ = false;
};

extern TFrm_Tree* Frm_Tree;
