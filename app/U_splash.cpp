#include "app/U_splash.h"

#include <QGuiApplication>
#include <QScreen>

#include "app/Artwork.h"

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
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

void TFrm_Splash::mousePressEvent(QMouseEvent*) { close(); }
