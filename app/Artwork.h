#pragma once
// Pictures drawn for this program: the splash picture and the login banner.
#include <QPixmap>

QPixmap splashPicture(const QSize& size);
QPixmap loginBanner(const QSize& size);
