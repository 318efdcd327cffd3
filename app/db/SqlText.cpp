#include "app/db/SqlText.h"

namespace db {

QString esc(const QString& text) {
    QString out = text;
    out.replace(QLatin1Char('\''), QLatin1String("''"));
    return out;
}

QString quoted(const QString& text) { return QLatin1Char('\'') + esc(text) + QLatin1Char('\''); }

}  // namespace db
