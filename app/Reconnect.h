#pragma once
// Keeps the program going when the database server goes away. The data
// layer notices the loss (a statement failing, or the session found closed)
// and opens the connection again at the next use; this watch says so in the
// main window's status bar, looks every few seconds meanwhile, and when the
// server is back has the windows paint what they show again (lists kept
// from before read themselves again). Windows, lists and what is typed stay
// as they are: a save refused while the server was away goes through when
// tried again.
#include <QObject>
#include <QPointer>
#include <QTimer>

class QLabel;
class QThread;

namespace db {
class Connection;
}

class ReconnectWatch : public QObject {
    Q_OBJECT
public:
    explicit ReconnectWatch(db::Connection* connection, QObject* parent = nullptr);
    ~ReconnectWatch() override;

    // What the status bar says of the connection (empty while all is well).
    QString stateText() const;
    static QString lostText();
    static QString backText();

    // How often the session is looked at, and the server tried while away.
    void setInterval(int ms) { timer_.setInterval(ms); }

private:
    void onLost();
    void onReconnected();
    void look();
    void say(const QString& text);

    db::Connection* connection_;
    QTimer timer_;
    QTimer quiet_;  // clears the "connected again" text after a while
    QPointer<QLabel> label_;
    QPointer<QThread> asking_;  // asks whether the server answers again
    QString text_;
};
