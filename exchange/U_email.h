#pragma once
// The customers' e-mail addresses written to a text file, one per line, for
// a mailing program; the file is opened when done.
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

#include "toolkit/RecordSource.h"

struct EmailExportResult {
    bool written = false;
    bool cancelled = false;
    int lines = 0;  // addresses written
    int rows = 0;   // source rows read
    QString error;
};

// Writes the trimmed, non-empty Email of every row of source (read by
// position), each line ended by CR LF, in UTF-8, to path (through a
// temporary file, so a failure leaves no half file). progress(rows, lines)
// after each row; false cancels.
EmailExportResult writeEmails(toolkit::RecordSource* source, const QString& path,
                              const std::function<bool(int rows, int lines)>& progress = {});

class TFrm_Email : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Email(QWidget* parent = nullptr);
    ~TFrm_Email() override;

    void FormCreate();
    void Btn_startClick();
    void btn_exitClick();

    QGroupBox* RadioGroup1;
    QRadioButton *RadioGroup1Item0, *RadioGroup1Item1;
    QLabel* Label1;
    QLineEdit* Edit1;
    QProgressBar* ProgressBar1;
    QPushButton* Btn_start;
    QPushButton* btn_exit;

    // The file the last export wrote (empty when none).
    QString lastFile() const { return lastFile_; }
    // The folder the files go to: "export" beside the program.
    static QString exportFolder();

private:
    void setCount(int n);
    QString lastFile_;
};

extern TFrm_Email* Frm_Email;
