#pragma once
// The five pick lists the customer and contact editors offer: countries,
// positions, departments, customer sources and customer types. One list is
// shown at a time, in an editable grid on its page.
#include <QDialog>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>

#include "toolkit/DataGrid.h"

class TFrm_Other : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Other(QWidget* parent = nullptr);
    ~TFrm_Other() override;

    void FormCreate();
    void FormClose();
    void PageControl1Change();
    void ToolButton1Click();  // Add
    void ToolButton3Click();  // Delete
    void ToolButton5Click();  // Refresh
    void ToolButton6Click();  // Exit

    // The table behind a page, by page index; empty for no such page.
    static QString tableOfPage(int page);
    // Shown instead of an engine error when Delete finds an empty list.
    static QString emptyListText();
    // The grid of the page on show.
    toolkit::DataGrid* currentGrid() const;

    QToolBar* ToolBar1;
    QToolButton *ToolButton1, *ToolButton3, *ToolButton5, *ToolButton6;
    QTabWidget* PageControl1;
    QWidget *TabSheet1, *TabSheet2, *TabSheet3, *TabSheet4, *TabSheet5;
    toolkit::DataGrid* DBGrid2;  // Country
    toolkit::DataGrid* DBGrid3;  // Position
    toolkit::DataGrid* DBGrid4;  // Department
    toolkit::DataGrid* DBGrid1;  // Resource
    toolkit::DataGrid* DBGrid5;  // Cust Type

    // Every way of closing (Exit, the close box, Escape) passes here.
    void done(int r) override;

private:
    void SetListCaption();
    void openList(int page);
    // Posts what the grid holds back; a refused row is shown and dropped.
    void settleGrid();

    toolkit::DataGrid* grids_[5];
    int shownPage_ = 0;
};

extern TFrm_Other* Frm_Other;
