#include "app/Reconnect.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QWidget>

#include "app/U_Main.h"
#include "app/db/Connection.h"

namespace {
constexpr int kRetryMs = 3000;
constexpr int kBackShownMs = 10000;
}  // namespace

ReconnectWatch::ReconnectWatch(db::Connection* connection, QObject* parent)
    : QObject(parent), connection_(connection) {
    timer_.setInterval(kRetryMs);
    quiet_.setSingleShot(true);
    quiet_.setInterval(kBackShownMs);
    connect(&timer_, &QTimer::timeout, this, &ReconnectWatch::tryAgain);
    connect(&quiet_, &QTimer::timeout, this, [this] { say(QString()); });
    connect(connection_, &db::Connection::lost, this, &ReconnectWatch::onLost);
    connect(connection_, &db::Connection::reconnected, this, &ReconnectWatch::onReconnected);
}

ReconnectWatch::~ReconnectWatch() { delete label_.data(); }

QString ReconnectWatch::stateText() const { return text_; }

QString ReconnectWatch::lostText() {
    return QStringLiteral("The database server cannot be reached: connecting again...");
}

QString ReconnectWatch::backText() { return QStringLiteral("Connected to the database server again."); }

void ReconnectWatch::onLost() {
    // Noticed again after it came back and went once more: said again.
    if (!connection_->isLost()) return;
    quiet_.stop();
    say(lostText());
    timer_.start();
}

void ReconnectWatch::tryAgain() {
    if (!connection_->isLost()) {
        timer_.stop();
        return;
    }
    connection_->reconnect();
}

void ReconnectWatch::onReconnected() {
    timer_.stop();
    say(backText());
    quiet_.start();
    // Rows that could not be read while the server was away are read now.
    for (QWidget* w : QApplication::allWidgets()) w->update();
}

void ReconnectWatch::say(const QString& text) {
    text_ = text;
    if (!label_ && Frm_Main && !text.isEmpty()) {
        label_ = new QLabel(Frm_Main);
        Frm_Main->statusBar()->addPermanentWidget(label_);
    }
    if (label_) {
        label_->setText(text);
        label_->setVisible(!text.isEmpty());
    }
}
