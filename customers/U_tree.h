#pragma once
// Customer categories: the code scheme (two digits per level), the tree
// filler shared with the customer browser, and the management window.
#include <QDialog>
#include <QString>

class QTreeWidget;

// Fills tree with the category hierarchy under one root node.
void FillCategoryTree(QTreeWidget* tree);
// Level of code under a width pattern such as "222222"; -1 when none.
int CodeLevel(const QString& pattern, const QString& code);
// True when text is empty or converts to a 32-bit integer.
bool IsNumber(const QString& text);

class TFrm_Tree : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Tree(QWidget* parent = nullptr);
    ~TFrm_Tree() override;

    // 0 management only, 1 pick for the customer editor, 2 pick for the search.
    int SelectFor = 0;
};

extern TFrm_Tree* Frm_Tree;
