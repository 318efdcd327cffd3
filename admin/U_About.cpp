#include "admin/U_About.h"

#include <QEvent>
#include <QPainter>
#include <QShowEvent>
#include <QUrl>

#include "app/Artwork.h"
#include "app/U_data.h"
#include "toolkit/DialogService.h"
#include "toolkit/Forms.h"
#include "toolkit/Guard.h"

TFrm_About* Frm_About = nullptr;

namespace {
// The login banner's backdrop with the product's name on it.
QPixmap aboutBanner(const QSize& size) {
    QPixmap pm = loginBanner(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QFont f = p.font();
    f.setPixelSize(30);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(18, 0, size.width() - 36, size.height()), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Tallix"));
    f.setPixelSize(13);
    f.setBold(false);
    p.setFont(f);
    p.setPen(QColor(230, 240, 255));
    p.drawText(QRect(18, 0, size.width() - 36, size.height() - 8), Qt::AlignRight | Qt::AlignBottom,
               QStringLiteral("Customer Relationship Manager"));
    return pm;
}

// The labels of the link row sit at fixed places; a wide desktop font is
// made smaller until each fits before the next one starts.
void fitWidth(QLabel* l, int maxWidth) {
    QFont f = l->font();
    while (QFontMetrics(f).horizontalAdvance(l->text()) > maxWidth && f.pointSizeF() > 6)
        f.setPointSizeF(f.pointSizeF() - 0.5);
    l->setFont(f);
    l->adjustSize();
}

QLabel* linkLabel(QWidget* parent, const QString& text, const QString& hint) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setUnderline(true);
    l->setFont(f);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, Qt::blue);
    l->setPalette(pal);
    l->setToolTip(hint);
    l->setMouseTracking(true);
    return l;
}
}  // namespace

QString TFrm_About::webAddress() { return QStringLiteral("https://www.tallix.example.com/"); }
QString TFrm_About::mailAddress() { return QStringLiteral("support@tallix.example.com"); }

TFrm_About::TFrm_About(QWidget* parent)
    : QDialog(parent) {
    Frm_About = this;
    toolkit::makeFixedDialog(this, 452, 299);
    // The places below were laid out for this small dialog font.
    QFont small(QStringLiteral("MS Sans Serif"));
    small.setPointSize(8);
    setFont(small);

    Image1 = new QLabel(this);
    Image1->setGeometry(0, 0, 452, 65);
    Image1->setPixmap(aboutBanner(QSize(452, 65)));

    Label1 = new QLabel(QStringLiteral("Tallix V1.70 [Build 0720] "), this);
    Label1->move(16, 91);
    Label1->adjustSize();
    Label8 = new QLabel(QStringLiteral("Website"), this);
    Label8->move(17, 143);
    Label8->adjustSize();
    Label3 = linkLabel(this, webAddress(), QStringLiteral("Click here to visit our website"));
    Label3->move(61, 142);
    Label3->adjustSize();
    Label7 = new QLabel(QStringLiteral("E-Mail"), this);
    Label7->move(256, 142);
    Label7->adjustSize();
    lbl_url = linkLabel(this, mailAddress(), QStringLiteral("Email us"));
    lbl_url->move(291, 141);
    lbl_url->adjustSize();
    fitWidth(Label8, Label3->x() - Label8->x() - 3);
    fitWidth(Label3, Label7->x() - Label3->x() - 6);
    fitWidth(Label7, lbl_url->x() - Label7->x() - 3);
    fitWidth(lbl_url, width() - lbl_url->x() - 6);
    Label3->installEventFilter(this);
    lbl_url->installEventFilter(this);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setGeometry(16, 191, 425, 53);
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    QPalette pal = Memo1->palette();
    pal.setColor(QPalette::Base, palette().color(QPalette::Window));
    Memo1->setPalette(pal);

    Bevel1 = new QFrame(this);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(16, 250, 425, 2);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setGeometry(358, 260, 75, 28);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    toolkit::centreOnScreen(this);
}

TFrm_About::~TFrm_About() {
    if (Frm_About == this) Frm_About = nullptr;
}

void TFrm_About::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    toolkit::formShowEachTime(e, [this] { FormShow(); });
}

void TFrm_About::FormShow() {
    setWindowTitle(QStringLiteral("About..."));
    Memo1->clear();
    db::Query* q = Frm_Data ? Frm_Data->Qry_Custom : nullptr;
    Memo1->appendPlainText(q && q->active() ? q->asString(QStringLiteral("Company")) : QString());
}

// A failed shell request is of no consequence here.
void TFrm_About::Label3Click() { toolkit::dialogs().openUrl(QUrl(webAddress())); }
void TFrm_About::lbl_urlClick() { toolkit::dialogs().openUrl(QUrl(QStringLiteral("mailto:") + mailAddress())); }

void TFrm_About::Label3MouseMove() { Label3->setCursor(Qt::PointingHandCursor); }
void TFrm_About::lbl_urlMouseMove() { lbl_url->setCursor(Qt::PointingHandCursor); }
void TFrm_About::Label3MouseLeave() { Label3->unsetCursor(); }
void TFrm_About::lbl_urlMouseLeave() { lbl_url->unsetCursor(); }

void TFrm_About::Button1Click() { accept(); }

bool TFrm_About::eventFilter(QObject* watched, QEvent* e) {
    const bool web = watched == Label3;
    if (web || watched == lbl_url) {
        switch (e->type()) {
        case QEvent::MouseButtonRelease:
            web ? Label3Click() : lbl_urlClick();
            return true;
        case QEvent::MouseMove:
            web ? Label3MouseMove() : lbl_urlMouseMove();
            break;
        case QEvent::Leave:
            web ? Label3MouseLeave() : lbl_urlMouseLeave();
            break;
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, e);
}
