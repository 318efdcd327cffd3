#pragma once
// Spreadsheet export of customers or contacts, the current list or the
// whole table, in fixed column layouts.
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "exchange/ExportLayout.h"
#include "toolkit/RecordSource.h"

// What one export did.
struct ExportResult {
    bool written = false;
    bool cancelled = false;
    int rows = 0;  // data rows written
    int cutCells = 0;  // texts cut to what a cell holds
    QString path;
    QString error;  // why nothing was written, for the user
};

// Writes rows 0..count-1 of source (read by position: the source's current
// row does not move, and no grid follows it row by row) under the layout's
// titles to path, replacing a file there. progress(n) after each row; false
// cancels, and no file is left.
ExportResult writeExport(toolkit::RecordSource* source, const QList<ExportColumn>& layout, const QString& path,
                         const std::function<bool(int)>& progress = {});

// The file of an export: the folder "export" inside folder for the current
// list, folder itself for all records; ".xlsx" added unless name ends in
// it. folder is the
// program's own, or the user's documents folder for an installed program.
QString exportPath(const QString& folder, const QString& name, bool currentRange);

class TFrm_Export : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Export(QWidget* parent = nullptr);
    ~TFrm_Export() override;

    void FormCreate();
    void FormShow();
    void Btn_OKClick();   // customers
    void BitBtn1Click();  // contacts
    void Btn_ExitClick();

    bool ExportCustomers = true;

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QGroupBox* RadioGroup1;
    QRadioButton *RadioGroup1Item0, *RadioGroup1Item1;
    QLabel* Label1;
    QLineEdit* Edit_Name;
    QProgressBar* ProgressBar1;
    QPushButton* Btn_OK;
    QPushButton* Btn_Exit;
    QWidget* TabSheet2;
    QGroupBox* RadioGroup2;
    QRadioButton *RadioGroup2Item0, *RadioGroup2Item1;
    QLabel* Label2;
    QLineEdit* Edit_Contact;
    QProgressBar* ProgressBar2;
    QPushButton* BitBtn1;
    QPushButton* Button2;

    // The file the last export wrote (empty when none).
    QString lastFile() const { return lastFile_; }

protected:
    void showEvent(QShowEvent* e) override;

private:
    void exportTable(bool customers);
    QString lastFile_;
    bool shown_ = false;
};

extern TFrm_Export* Frm_Export;
