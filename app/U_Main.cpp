#include "app/U_Main.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>

#include "app/U_data.h"
#include "toolkit/Guard.h"

TFrm_Main* Frm_Main = nullptr;

TFrm_Main::TFrm_Main(QWidget* parent) : QMainWindow(parent) {
    if (!Frm_Main) Frm_Main = this;
    resize(771, 471);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    MdiArea = new QMdiArea(this);
    setCentralWidget(MdiArea);
    const int widths[3] = {150, 250, 50};
    for (int i = 0; i < 3; ++i) {
        StatusPanels[i] = new QLabel(this);
        StatusPanels[i]->setMinimumWidth(widths[i]);
        StatusPanels[i]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        // The last panel holds the program's path: let it take the rest.
        statusBar()->addWidget(StatusPanels[i], i == 2 ? 1 : 0);
    }
}

TFrm_Main::~TFrm_Main() {
    if (Frm_Main == this) Frm_Main = nullptr;
}

void TFrm_Main::setStatusText(int panel, const QString& text) {
    if (panel >= 0 && panel < 3) StatusPanels[panel]->setText(text);
}

QString TFrm_Main::statusText(int panel) const {
    return panel >= 0 && panel < 3 ? StatusPanels[panel]->text() : QString();
}

void TFrm_Main::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    if (!shown_ && !e->spontaneous()) {
        shown_ = true;
        toolkit::guarded([this] { FormShow(); });
    }
}

void TFrm_Main::LoadSoftInfo() {
    db::Query* q = Frm_Data->Qry_SoftInfo;
    q->close();
    q->setSql(QStringLiteral("select * from T_SoftInfo"));
    q->open();
    SoftName = q->asString(QStringLiteral("SoftName"));
    SoftVersion = q->asString(QStringLiteral("Version"));
    RootCategory = Frm_Data->ConfigIni->readString(QStringLiteral("Config"), QStringLiteral("Category"), QString());
    setStatusText(2, QCoreApplication::applicationFilePath());
}

void TFrm_Main::FormShow() {
    LoadSoftInfo();
    setWindowTitle(SoftName + SoftVersion);
}

void TFrm_Main::FillComboById(db::Query* query, QComboBox* combo, const QString& table) {
    fillLookupCombo(query, combo, table, QStringLiteral("id"));
}
