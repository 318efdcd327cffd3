#include "app/U_splash.h"

#include "app/Artwork.h"
#include "toolkit/Forms.h"

TFrm_Splash::TFrm_Splash(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    const QSize size(461, 278);
    setFixedSize(size);
    Image1 = new QLabel(this);
    Image1->setGeometry(QRect(QPoint(0, 0), size));
    Image1->setPixmap(splashPicture(size));
    Label1 = new QLabel(QStringLiteral("Tallix SoftWare Company"), this);
    Label1->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    Label1->adjustSize();
    Label1->move(12, size.height() - Label1->height() - 10);
    toolkit::centreOnScreen(this);
}

void TFrm_Splash::mousePressEvent(QMouseEvent*) { close(); }
