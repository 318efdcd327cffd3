#include "exchange/ExportFiles.h"

#include <QUrl>

#include <QDir>
#include <QFileInfo>

#include "app/U_Main.h"
#include "toolkit/DialogService.h"

QString badFileNameReason(const QString& name) {
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("\"%1\" names a folder, not a file.").arg(name);
    for (const QChar c : name) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\'))
            return QStringLiteral("A file name cannot hold the folder separator \"%1\".").arg(c);
        if (c.unicode() < 0x20) return QStringLiteral("A file name cannot hold control characters.");
    }
    return QString();
}

bool ensureFolder(const QString& folder, QString* why) {
    const QFileInfo fi(folder);
    if (fi.isDir()) return true;
    if (fi.exists()) {
        *why = QStringLiteral("%1 is a file, not a folder.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    if (!QDir().mkpath(folder)) {
        *why = QStringLiteral("The folder %1 cannot be created.").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    return true;
}

bool mayWrite(const QString& path, const QString& title) {
    if (!QFileInfo::exists(path)) return true;
    if (QFileInfo(path).isDir()) {
        reportWriteFailure(path, QStringLiteral("A folder of that name is there: choose another name."), title);
        return false;
    }
    return toolkit::dialogs().confirm(
        QStringLiteral("The file %1 exists already.\nReplace it?").arg(QDir::toNativeSeparators(path)), title,
        toolkit::Icon::Question);
}

void reportWriteFailure(const QString& path, const QString& reason, const QString& title) {
    toolkit::dialogs().message(
        QStringLiteral("Cannot write %1\n\n%2").arg(QDir::toNativeSeparators(path), reason), title,
        toolkit::Icon::Warning);
}

bool finishExport(bool cancelled, bool written, const QString& error, const QString& path, const QString& title) {
    if (cancelled) {
        toolkit::dialogs().message(QStringLiteral("The export was cancelled; no file was written."), title,
                                   toolkit::Icon::Information);
        return false;
    }
    if (!written) {
        reportWriteFailure(path, error, title);
        return false;
    }
    // The user learns where the file is in every case: the desktop's opener
    // reports success as soon as it starts, whether a program then shows
    // the file or not.
    const QString saved = QStringLiteral("The file was saved as %1.").arg(QDir::toNativeSeparators(path));
    if (Frm_Main) Frm_Main->setStatusNote(saved);
    if (!toolkit::dialogs().openUrl(QUrl::fromLocalFile(path)))
        toolkit::dialogs().message(saved, title, toolkit::Icon::Information);
    return true;
}

QString checkedFileName(const QString& typed, const QString& title) {
    const QString name = typed.trimmed();
    if (name.isEmpty()) {
        toolkit::dialogs().message(QStringLiteral("Filename not null!"), QStringLiteral("Warning"),
                                   toolkit::Icon::Information);
        return QString();
    }
    const QString bad = badFileNameReason(name);
    if (!bad.isEmpty()) {
        toolkit::dialogs().message(bad, title, toolkit::Icon::Warning);
        return QString();
    }
    return name;
}
