#include "toolkit/SafeWrite.h"

#include <cerrno>

namespace toolkit {

namespace {
QString why(const QFileDevice& f, int err) {
    // Qt's words for a failed flush are often "Unknown error"; the system's
    // are not.
    if (err != 0) return qt_error_string(err);
    return f.errorString();
}
}  // namespace

bool commitWhole(QSaveFile& f, QString* error) {
    errno = 0;
    const bool flushed = f.flush();
    const int err = errno;
    if (!flushed || f.error() != QFileDevice::NoError) {
        if (error) *error = why(f, err);
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        if (error) *error = f.errorString();
        return false;
    }
    return true;
}

bool writeWhole(const QString& path, const QByteArray& bytes, QString* error) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        if (error) *error = f.errorString();
        return false;
    }
    errno = 0;
    if (f.write(bytes) != bytes.size()) {
        if (error) *error = why(f, errno);
        f.cancelWriting();
        return false;
    }
    return commitWhole(f, error);
}

}  // namespace toolkit
