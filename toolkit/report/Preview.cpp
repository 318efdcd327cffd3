#include "toolkit/report/Preview.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"
#include "toolkit/Icons.h"
#include "toolkit/report/Layout.h"
#include "toolkit/report/Output.h"
#include "toolkit/report/Paint.h"

namespace report {

namespace {
constexpr int kMargin = 12;          // grey room around the page
constexpr double kWholePage = -1;    // zoom entries that follow the window
constexpr double kPageWidth = -2;
constexpr int kCountSliceMs = 25;    // idle counting, per turn of the event loop
}  // namespace

// ---- PageView ----------------------------------------------------------------------

void PageView::setImage(const QImage& image) {
    image_ = image;
    const QSizeF s = image_.deviceIndependentSize();
    setFixedSize(qCeil(s.width()) + 2 * kMargin, qCeil(s.height()) + 2 * kMargin);
    update();
}

QSize PageView::sizeHint() const {
    const QSizeF s = image_.deviceIndependentSize();
    return QSize(qCeil(s.width()) + 2 * kMargin, qCeil(s.height()) + 2 * kMargin);
}

void PageView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    if (image_.isNull()) return;
    const QSizeF s = image_.deviceIndependentSize();
    p.fillRect(QRectF(kMargin + 3, kMargin + 3, s.width(), s.height()), QColor(0, 0, 0, 90));
    p.drawImage(QPointF(kMargin, kMargin), image_);
}

// ---- PreviewWindow ----------------------------------------------------------------

PreviewWindow::PreviewWindow(Document* doc, const QString& title, QWidget* parent)
    : QDialog(parent), doc_(doc), title_(title) {
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(tr("Print Preview - %1").arg(title));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    auto* lay = new QVBoxLayout(this);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
    ToolBar = new QToolBar(this);
    ToolBar->setIconSize(QSize(20, 20));
    lay->addWidget(ToolBar);

    auto button = [&](const QString& name, const QString& text, const QIcon& icon, const QString& tip) {
        auto* b = new QToolButton(ToolBar);
        b->setObjectName(name);
        b->setText(text);
        b->setIcon(icon);
        b->setToolTip(tip);
        b->setAutoRaise(true);
        b->setToolButtonStyle(icon.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
        ToolBar->addWidget(b);
        return b;
    };
    QStyle* st = style();
    Btn_First = button(QStringLiteral("Btn_First"), QString(), st->standardIcon(QStyle::SP_MediaSkipBackward),
                       tr("First page"));
    Btn_Prior = button(QStringLiteral("Btn_Prior"), QString(), st->standardIcon(QStyle::SP_MediaSeekBackward),
                       tr("Previous page (Page Up)"));
    Edit_Page = new QSpinBox(ToolBar);
    Edit_Page->setObjectName(QStringLiteral("Edit_Page"));
    Edit_Page->setRange(1, 1);
    Edit_Page->setKeyboardTracking(false);
    Edit_Page->setMinimumWidth(70);
    Edit_Page->setToolTip(tr("Type a page number and press Enter"));
    ToolBar->addWidget(Edit_Page);
    Label_Pages = new QLabel(ToolBar);
    Label_Pages->setObjectName(QStringLiteral("Label_Pages"));
    Label_Pages->setMinimumWidth(90);
    Label_Pages->setContentsMargins(4, 0, 4, 0);
    ToolBar->addWidget(Label_Pages);
    Btn_Next = button(QStringLiteral("Btn_Next"), QString(), st->standardIcon(QStyle::SP_MediaSeekForward),
                      tr("Next page (Page Down)"));
    Btn_Last = button(QStringLiteral("Btn_Last"), QString(), st->standardIcon(QStyle::SP_MediaSkipForward),
                      tr("Last page"));
    ToolBar->addSeparator();
    Combo_Zoom = new QComboBox(ToolBar);
    Combo_Zoom->setObjectName(QStringLiteral("Combo_Zoom"));
    Combo_Zoom->addItem(tr("Whole page"), kWholePage);
    Combo_Zoom->addItem(tr("Page width"), kPageWidth);
    for (int percent : {50, 75, 100, 150, 200}) Combo_Zoom->addItem(QStringLiteral("%1%").arg(percent), percent / 100.0);
    Combo_Zoom->setCurrentIndex(1);
    ToolBar->addWidget(Combo_Zoom);
    ToolBar->addSeparator();
    Btn_Print = button(QStringLiteral("Btn_Print"), tr("Print"), toolkit::drawnIcon(QStringLiteral("print")),
                       tr("Print the report"));
    Btn_Pdf = button(QStringLiteral("Btn_Pdf"), tr("Save as PDF"), toolkit::drawnIcon(QStringLiteral("save")),
                     tr("Save the report as a PDF file"));
    ToolBar->addSeparator();
    Btn_Close = button(QStringLiteral("Btn_Close"), tr("Close"), toolkit::drawnIcon(QStringLiteral("exit")),
                       tr("Close the preview"));

    Scroll = new QScrollArea(this);
    Scroll->setObjectName(QStringLiteral("Scroll"));
    Scroll->setAlignment(Qt::AlignCenter);
    Scroll->setBackgroundRole(QPalette::Dark);
    View = new PageView;
    View->setObjectName(QStringLiteral("View"));
    Scroll->setWidget(View);
    lay->addWidget(Scroll, 1);
    Label_Status = new QLabel(this);
    Label_Status->setObjectName(QStringLiteral("Label_Status"));
    Label_Status->setContentsMargins(6, 2, 6, 2);
    lay->addWidget(Label_Status);

    toolkit::onClick(Btn_First, this, &PreviewWindow::Btn_FirstClick);
    toolkit::onClick(Btn_Prior, this, &PreviewWindow::Btn_PriorClick);
    toolkit::onClick(Btn_Next, this, &PreviewWindow::Btn_NextClick);
    toolkit::onClick(Btn_Last, this, &PreviewWindow::Btn_LastClick);
    toolkit::onClick(Btn_Print, this, &PreviewWindow::Btn_PrintClick);
    toolkit::onClick(Btn_Pdf, this, &PreviewWindow::Btn_PdfClick);
    toolkit::onClick(Btn_Close, this, &PreviewWindow::Btn_CloseClick);
    connect(Edit_Page, &QSpinBox::valueChanged, this, [this] { toolkit::guarded([this] { Edit_PageChange(); }); });
    connect(Combo_Zoom, &QComboBox::currentIndexChanged, this,
            [this] { toolkit::guarded([this] { Combo_ZoomChange(); }); });

    counter_.setInterval(0);
    connect(&counter_, &QTimer::timeout, this, [this] { toolkit::guarded([this] { countSome(); }); });

    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect avail = s->availableGeometry();
        resize(std::min(avail.width() * 9 / 10, 1100), avail.height() * 9 / 10);
    } else {
        resize(1000, 760);
    }
    toolkit::centreOnScreen(this);
    updateControls();
    // Page Up and Page Down turn one page wherever the focus is: the page
    // box would step ten pages, the scroll area would scroll.
    for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
}

bool PreviewWindow::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(e);
        if (k->modifiers() == Qt::NoModifier || k->modifiers() == Qt::KeypadModifier) {
            if (k->key() == Qt::Key_PageDown) {
                toolkit::guarded([this] { Btn_NextClick(); });
                return true;
            }
            if (k->key() == Qt::Key_PageUp) {
                toolkit::guarded([this] { Btn_PriorClick(); });
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, e);
}

PreviewWindow::~PreviewWindow() = default;

void PreviewWindow::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (page_ < 0) toolkit::guarded([this] { showPage(0); });
    if (!doc_->complete()) counter_.start();
}

void PreviewWindow::showPage(int index) {
    if (index < 0) index = 0;
    auto page = doc_->page(index);
    if (!page) {
        // Past the end: the walk there has found the last page.
        index = std::max(0, doc_->knownPages() - 1);
        page = doc_->page(index);
    }
    if (!page) return;
    const bool moved = index != page_;
    page_ = index;
    render();
    if (moved) {
        Scroll->verticalScrollBar()->setValue(0);
        Scroll->horizontalScrollBar()->setValue(0);
    }
    updateControls();
}

double PreviewWindow::fittedZoom() const {
    const double mode = Combo_Zoom->currentData().toDouble();
    if (mode > 0) return mode;
    const QSizeF page = doc_->pageSize();
    const QSize room = Scroll->viewport()->size() - QSize(2 * kMargin + 4, 2 * kMargin + 4);
    const double byWidth = room.width() / page.width();
    if (mode == kPageWidth) {
        // A page fitted to the width is taller than the window: leave room
        // for the scroll bar that brings.
        const int bar = Scroll->verticalScrollBar()->isVisible() ? 0 : style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        return std::max(0.1, (room.width() - bar) / page.width());
    }
    return std::max(0.1, std::min(byWidth, room.height() / page.height()));
}

void PreviewWindow::render() {
    if (page_ < 0) return;
    const auto page = doc_->page(page_);
    if (!page) return;
    zoom_ = fittedZoom();
    View->setImage(renderPage(*page, zoom_, devicePixelRatioF()));
    ++renders_;
}

void PreviewWindow::updateControls(bool showPageNumber) {
    const int known = doc_->knownPages();
    const bool complete = doc_->complete();
    {
        const QSignalBlocker block(Edit_Page);
        Edit_Page->setRange(1, complete ? std::max(1, known) : 999999);
        // The count going on must not overwrite a number being typed.
        if (showPageNumber) Edit_Page->setValue(page_ + 1);
    }
    Label_Pages->setText(complete ? tr("of %1").arg(known) : tr("of %1+").arg(known));
    const bool atFirst = page_ <= 0;
    const bool atLast = complete && page_ >= known - 1;
    Btn_First->setEnabled(!atFirst);
    Btn_Prior->setEnabled(!atFirst);
    Btn_Next->setEnabled(!atLast);
    Btn_Last->setEnabled(!atLast);
}

void PreviewWindow::countSome() {
    // Stopped first, so that a failure is reported once rather than on
    // every turn of the event loop.
    counter_.stop();
    if (!doc_->countAhead(kCountSliceMs)) counter_.start();
    updateControls(false);
}

void PreviewWindow::Btn_FirstClick() { showPage(0); }
void PreviewWindow::Btn_PriorClick() { showPage(page_ - 1); }
void PreviewWindow::Btn_NextClick() { showPage(page_ + 1); }

void PreviewWindow::Btn_LastClick() {
    if (!countPages(*doc_, this)) {
        updateControls(false);
        return;
    }
    counter_.stop();
    showPage(doc_->knownPages() - 1);
}

void PreviewWindow::Btn_PrintClick() {
    QString file;
    // Printing counts the pages for the dialog: the count is done.
    if (printWithDialog(*doc_, title_, this, &file))
        Label_Status->setText(file.isEmpty() ? tr("Sent to the printer.")
                                             : tr("Printed to %1").arg(QDir::toNativeSeparators(file)));
    if (doc_->complete()) counter_.stop();
    updateControls();
}

void PreviewWindow::Btn_PdfClick() {
    QString path = toolkit::dialogs().saveFile(tr("Save as PDF"), tr("PDF files (*.pdf)"));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".pdf");
    if (savePdfWithProgress(*doc_, path, title_, this))
        Label_Status->setText(tr("Saved as %1").arg(QDir::toNativeSeparators(path)));
    updateControls();
}

void PreviewWindow::Btn_CloseClick() { close(); }

void PreviewWindow::Edit_PageChange() {
    if (Edit_Page->value() - 1 != page_) showPage(Edit_Page->value() - 1);
}

void PreviewWindow::Combo_ZoomChange() { render(); }

void PreviewWindow::keyPressEvent(QKeyEvent* e) {
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    switch (e->key()) {
    case Qt::Key_PageDown: toolkit::guarded([this] { Btn_NextClick(); }); return;
    case Qt::Key_PageUp: toolkit::guarded([this] { Btn_PriorClick(); }); return;
    case Qt::Key_Home:
        if (ctrl) {
            toolkit::guarded([this] { Btn_FirstClick(); });
            return;
        }
        break;
    case Qt::Key_End:
        if (ctrl) {
            toolkit::guarded([this] { Btn_LastClick(); });
            return;
        }
        break;
    default: break;
    }
    QDialog::keyPressEvent(e);
}

void PreviewWindow::resizeEvent(QResizeEvent* e) {
    QDialog::resizeEvent(e);
    if (page_ >= 0 && Combo_Zoom->currentData().toDouble() < 0 && std::abs(fittedZoom() - zoom_) > 0.005)
        toolkit::guarded([this] { render(); });
}

}  // namespace report
