#pragma once
// Progress with a Cancel button for long work that runs in the user
// interface thread: the bar appears once the work has taken a moment, and
// events are let through now and then so the windows stay painted.
#include <QElapsedTimer>
#include <QPointer>
#include <QProgressBar>
#include <QProgressDialog>
#include <QString>
#include <memory>

#include "toolkit/Busy.h"

class Progress {
public:
    // bar, when given, is a bar of the window's own that moves as well.
    Progress(const QString& label, qint64 maximum, QProgressBar* bar = nullptr);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // False once the user pressed Cancel.
    bool step(qint64 value);
    bool cancelled() const;
    void setLabel(const QString& label);
    void setMaximum(qint64 maximum);

    // The dialog of the work under way, if any (tests press its Cancel).
    static QProgressDialog* current();

private:
    std::unique_ptr<QProgressDialog> dlg_;
    QPointer<QProgressBar> bar_;
    QElapsedTimer sinceEvents_;
    qint64 max_ = 0;
    int scale_ = 1;
    qint64 steps_ = 0;
    Progress* previous_ = nullptr;
    toolkit::BusyScope busy_;
};
