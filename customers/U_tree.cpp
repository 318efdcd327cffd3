#include "customers/U_tree.h"

TFrm_Tree* Frm_Tree = nullptr;

void FillCategoryTree(QTreeWidget*) {}
int CodeLevel(const QString&, const QString&) { return -1; }
bool IsNumber(const QString&) { return false; }

TFrm_Tree::TFrm_Tree(QWidget* parent) : QDialog(parent) { Frm_Tree = this; }
TFrm_Tree::~TFrm_Tree() {
    if (Frm_Tree == this) Frm_Tree = nullptr;
}
