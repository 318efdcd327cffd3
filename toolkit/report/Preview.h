#pragma once
// The preview of a report: one page on screen at a time, drawn when it is
// shown, with page navigation, zoom, print and "save as PDF". While the user
// looks, the rest of the report is counted in idle moments so the page count
// appears without holding up the first page.
#include <QComboBox>
#include <QDialog>
#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace report {

class Document;

// The page image with a little room around it.
class PageView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    void setImage(const QImage& image);
    const QImage& image() const { return image_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QImage image_;
};

class PreviewWindow : public QDialog {
    Q_OBJECT
public:
    // doc is not owned and must outlive the window.
    PreviewWindow(Document* doc, const QString& title, QWidget* parent = nullptr);
    ~PreviewWindow() override;

    int currentPage() const { return page_; }   // from 0
    double zoom() const { return zoom_; }
    // Pages drawn for the screen so far (each is drawn when shown).
    int renders() const { return renders_; }
    Document* document() const { return doc_; }

    // Shows page index (from 0), or the last page when the report is shorter.
    void showPage(int index);

    void Btn_FirstClick();
    void Btn_PriorClick();
    void Btn_NextClick();
    void Btn_LastClick();
    void Btn_PrintClick();
    void Btn_PdfClick();
    void Btn_CloseClick();
    void Edit_PageChange();
    void Combo_ZoomChange();

    QToolBar* ToolBar;
    QToolButton *Btn_First, *Btn_Prior, *Btn_Next, *Btn_Last, *Btn_Print, *Btn_Pdf, *Btn_Close;
    QSpinBox* Edit_Page;
    QLabel* Label_Pages;
    QComboBox* Combo_Zoom;
    QScrollArea* Scroll;
    PageView* View;
    QLabel* Label_Status;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void render();
    // showPageNumber: put the shown page into the page box (not while the
    // user may be typing one and only the count moved on).
    void updateControls(bool showPageNumber = true);
    void countSome();
    double fittedZoom() const;

    Document* doc_;
    QString title_;
    int page_ = -1;
    double zoom_ = 1.0;
    int renders_ = 0;
    QTimer counter_;
};

}  // namespace report
