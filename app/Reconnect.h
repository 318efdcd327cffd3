#pragma once
// Keeps the program going when the database server goes away. The data
// layer notices the loss and opens the connection again at the next use;
// this watch says so in the main window's status bar, tries again every
// few seconds meanwhile, and when the server is back has the windows paint
// what they show again. Windows, lists and what is typed stay as they are:
// a save refused while the server was away goes through when tried again.
#include <QObject>
#include <QPointer>
#include <QTimer>

class QLabel;

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

    // How often the server is tried while it is away.
    void setInterval(int ms) { timer_.setInterval(ms); }

private:
    void onLost();
    void onReconnected();
    void tryAgain();
    void say(const QString& text);

    db::Connection* connection_;
    QTimer timer_;
    QTimer quiet_;  // clears the "connected again" text after a while
    QPointer<QLabel> label_;
    QString text_;
};
