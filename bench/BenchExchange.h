#pragma once
// What the import and export benchmarks share: peak memory of the process,
// a clock, and running a program (python) for a comparison.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <ctime>

namespace bench {

// Peak resident memory since the last resetPeak(), in MB.
inline double peakMb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return -1;
}
inline void resetPeak() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

// Wall time, and the processor time of this process (which other programs
// on a busy machine do not inflate).
class Clock {
public:
    Clock() : cpu0_(cpuNow()) { t_.start(); }
    double ms() const { return t_.nsecsElapsed() / 1e6; }
    double cpuMs() const { return cpuNow() - cpu0_; }
    static double cpuNow() {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    }

private:
    QElapsedTimer t_;
    double cpu0_;
};

// The Debian python (the one apt's python3-openpyxl and python3-xlsxwriter go with).
inline QString python() {
    for (const char* p : {"/usr/bin/python3", "/usr/local/bin/python3"})
        if (QFile::exists(QString::fromLatin1(p))) return QString::fromLatin1(p);
    return QStringLiteral("python3");
}

// Runs python code with arguments; true when it printed "ok" last. ms gets
// the time it reported (its own clock, start-up of the interpreter left out).
inline bool runPython(const QString& code, const QStringList& args, double* ms, QString* output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(python(), QStringList{QStringLiteral("-c"), code} + args);
    if (!p.waitForFinished(-1)) return false;
    *output = QString::fromUtf8(p.readAll()).trimmed();
    const QStringList lines = output->split(QLatin1Char('\n'));
    if (p.exitCode() != 0 || !lines.last().startsWith(QLatin1String("ok "))) return false;
    *ms = lines.last().mid(3).toDouble();
    return true;
}

}  // namespace bench
