#pragma once
// The mapping window of the spreadsheet import: the user pairs each
// importable column with a sheet column (by its header, or several headers
// joined by "+") and starts the import.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <memory>

#include "app/db/Query.h"
#include "exchange/ImportChoiceBox.h"
#include "exchange/ImportLoad.h"
#include "exchange/ImportRun.h"
#include "toolkit/DataGrid.h"

// The drop-down of the sheet column cells: the sheet's headers to pick
// from, and room to type a join such as "Street+City".
class HeaderPickDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QStringList headers;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    // Writes an editor still open into the grid and closes it.
    void commitOpenEditor();
    QWidget* openEditor() const { return editor_; }

private:
    mutable QPointer<QWidget> editor_;
};

class TFrm_Import : public QDialog {
    Q_OBJECT
public:
    TFrm_Import(QWidget* parent, const QString& tableName, std::shared_ptr<ImportSource> source);
    ~TFrm_Import() override;

    void FormShow();
    void Btn_StartClick();
    void Btn_ExitClick();
    void FormClose();

    QString TableName;
    int RowCount = 0;
    int ColCount = 0;

    QLabel* Label1;
    QLabel* Label2;  // what the last run added
    QLabel* Label3;  // the sheet's headers that no row is paired with
    toolkit::DataGrid* DBGrid1;
    QPushButton* Btn_Start;
    QPushButton* Btn_Exit;
    db::Query* Qry_Import;
    toolkit::DataSource* DS_Import;
    HeaderPickDelegate* HeaderPick;
    ImportChoiceBox* Choice;  // what happens to rows matching stored records

    const ImportOutcome& lastOutcome() const { return last_; }
    // Says which of the sheet's columns no row is paired with.
    void ShowUnpaired();

protected:
    void showEvent(QShowEvent* e) override;
    void done(int r) override;

private:
    std::shared_ptr<ImportSource> source_;
    ImportOutcome last_;
    bool addedOnce_ = false;  // this window has added the file's rows already
    bool shown_ = false;
    bool closed_ = false;
};

extern TFrm_Import* Frm_Import;
