#include "exchange/Progress.h"

#include <QApplication>

namespace {
Progress* active = nullptr;
}

Progress::Progress(const QString& label, qint64 maximum, QProgressBar* bar) : bar_(bar), previous_(active) {
    active = this;
    dlg_ = std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0, 100, QApplication::activeWindow());
    dlg_->setWindowTitle(QStringLiteral("Please wait"));
    dlg_->setWindowModality(Qt::ApplicationModal);
    dlg_->setAutoClose(false);
    dlg_->setAutoReset(false);
    dlg_->setMinimumDuration(400);
    setMaximum(maximum);
    dlg_->setValue(0);
    sinceEvents_.start();
}

Progress::~Progress() { active = previous_; }

QProgressDialog* Progress::current() { return active ? active->dlg_.get() : nullptr; }

void Progress::setLabel(const QString& label) { dlg_->setLabelText(label); }

void Progress::setMaximum(qint64 maximum) {
    max_ = std::max<qint64>(0, maximum);
    // Bars count in int: large totals are shown in steps.
    scale_ = 1;
    while (max_ / scale_ > 1000000) scale_ *= 10;
    dlg_->setMaximum(int(max_ / scale_));
    if (bar_) {
        bar_->setMinimum(0);
        bar_->setMaximum(int(max_ / scale_));
    }
}

bool Progress::cancelled() const { return dlg_->wasCanceled(); }

bool Progress::step(qint64 value) {
    ++steps_;
    // Letting events through costs little, but not nothing: every 512 steps
    // or 50 milliseconds, whichever comes first, and always at the end, so
    // the bar does not stand short of it while the work is finished.
    if (value < max_ && (steps_ & 511) != 0 && sinceEvents_.elapsed() < 50) return !dlg_->wasCanceled();
    sinceEvents_.restart();
    const int v = int(std::min(value, max_) / scale_);
    if (bar_) bar_->setValue(v);
    dlg_->setValue(v);  // a modal progress dialog lets events through here
    QCoreApplication::processEvents();
    return !dlg_->wasCanceled();
}
