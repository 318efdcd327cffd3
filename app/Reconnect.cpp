#include "app/Reconnect.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>
#include <QThread>
#include <QWidget>
#include <memory>

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
    connect(&timer_, &QTimer::timeout, this, &ReconnectWatch::look);
    connect(&quiet_, &QTimer::timeout, this, [this] { say(QString()); });
    connect(connection_, &db::Connection::lost, this, &ReconnectWatch::onLost);
    connect(connection_, &db::Connection::reconnected, this, &ReconnectWatch::onReconnected);
    // Looking costs nothing on a database file and no message to a server.
    timer_.start();
}

ReconnectWatch::~ReconnectWatch() { delete label_.data(); }

QString ReconnectWatch::stateText() const { return text_; }

QString ReconnectWatch::lostText() {
    return QStringLiteral("The database server cannot be reached: connecting again...");
}

QString ReconnectWatch::backText() { return QStringLiteral("Connected to the database server again."); }

void ReconnectWatch::onLost() {
    // Already back (the next use opened it at once): nothing to say yet.
    if (!connection_->isLost()) return;
    quiet_.stop();
    say(lostText());
}

void ReconnectWatch::look() {
    if (!connection_->noticeLoss() || asking_) return;
    // Whether the server answers is asked on a thread of its own: a server
    // that is down may leave the question unanswered for seconds, which the
    // windows must not wait for. Only then is the connection opened again.
    auto answered = std::make_shared<bool>(false);
    asking_ = QThread::create([ask = connection_->serverAnswers(), answered] { *answered = ask(); });
    connect(asking_, &QThread::finished, asking_, &QObject::deleteLater);
    connect(asking_, &QThread::finished, this, [this, answered] {
        asking_ = nullptr;
        if (*answered) connection_->reconnect();
    });
    asking_->start();
}

void ReconnectWatch::onReconnected() {
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
