#pragma once
// What an import will do, shown before anything is written: how many rows
// it adds, updates, leaves as they are, skips, and which rows have
// problems; the first rows of each, with the old and new values of each
// update. "开始(&S)" accepts the window, and the import then writes exactly
// this; a problem anywhere leaves nothing to start.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "exchange/ImportMatch.h"
#include "exchange/ImportRun.h"

class TFrm_ImportPreview : public QDialog {
    Q_OBJECT
public:
    TFrm_ImportPreview(QWidget* parent, bool customers, const importmatch::Plan& plan, const ImportOutcome& checked);

    void Btn_StartClick();
    void Btn_ExitClick();

    QLabel* Label_Summary;
    QLabel* Label_Note;
    QTabWidget* Page_Rows;
    QTreeWidget *List_Add, *List_Update, *List_Unchanged, *List_Skip, *List_Problems;
    QPushButton* Btn_Start;
    QPushButton* Btn_Exit;

    // The summary line, as the window and the benchmark print it.
    static QString summary(bool customers, const importmatch::Plan& plan, int problems);
};

// An import run with the user's choice for rows that match stored records.
// Adding every row writes at once, as before; otherwise the rows are
// checked and the preview shown, and only its Start writes. *previewed
// says the preview was shown: its Cancel, or the problems it listed, end
// the run without writing, and the caller has nothing more to report.
ImportOutcome runImport(QWidget* parent, ImportRun& run, const importmatch::Options& options, int userPermit,
                        int rowCount, bool* previewed);
