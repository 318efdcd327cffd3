#pragma once
// "Envelop Format Setup": which paper the envelope labels print on (the
// envelope layout on plain paper, a ready-cut A4 label sheet, or a sheet
// whose geometry the user types) and at which label of the first sheet to
// start, for a sheet that is partly used. Kept in config.ini.
#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <functional>

#include "reports/LabelSheet.h"

// A small drawing of the sheet: the labels that will print and the ones
// skipped. A click on a label starts the printing there.
class TSheetView : public QWidget {
    Q_OBJECT
public:
    explicit TSheetView(QWidget* parent = nullptr);
    // problem, when given, is why the sheet cannot print: drawn instead of labels.
    void setSettings(const EnvelopSettings& s, const QString& problem = QString());
    const EnvelopSettings& settings() const { return s_; }
    const QString& problem() const { return problem_; }
    // Called with the label number (from 1) the user clicked.
    std::function<void(int)> onPick;
    // Where label index (from 0) is drawn, in widget pixels.
    QRectF labelRect(int index) const;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;

private:
    QRectF sheetRect() const;
    EnvelopSettings s_;
    QString problem_;
};

class TFrm_EnvelopSetup : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_EnvelopSetup(QWidget* parent = nullptr);

    void FormShow();
    void Combo_SheetChange();
    void GeometryChange();
    void Edit_StartChange();
    void RowColChange();
    void Btn_okClick();
    void Btn_exitClick();

    // The choice the controls hold now.
    EnvelopSettings settings() const;

    QLabel* Label1;
    QComboBox* Combo_Sheet;
    QGroupBox* GroupBox1;
    QSpinBox *Edit_Columns, *Edit_Rows;
    QDoubleSpinBox *Edit_Width, *Edit_Height, *Edit_Top, *Edit_Left, *Edit_HPitch, *Edit_VPitch;
    QLabel* Label_Problem;
    QLabel* Label_Hint;
    QGroupBox* GroupBox2;
    QSpinBox *Edit_Start, *Edit_Row, *Edit_Col;
    TSheetView* SheetView;
    QPushButton* Btn_ok;
    QPushButton* Btn_exit;

protected:
    void showEvent(QShowEvent* e) override;

private:
    LabelSheet currentSheet() const;
    void showSheet(const LabelSheet& s);
    void setStart(int start);
    void refresh();

    LabelSheet custom_;   // what the user typed for the custom sheet
    bool filling_ = false;
    bool shown_ = false;
};
