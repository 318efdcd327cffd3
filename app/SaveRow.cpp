#include "app/SaveRow.h"

#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "toolkit/DialogService.h"

bool offerReload(const db::ConflictError& e, db::Query* q) {
    const QString ask =
        e.kind() == db::ConflictError::Changed
            ? QStringLiteral("%1\n\nRead it again as it is stored now? What you typed here is then replaced.")
            : QStringLiteral("%1\n\nRead the list again? The deleted record then leaves it.");
    if (!toolkit::dialogs().confirm(ask.arg(e.text()), QStringLiteral("Changed on another workstation"),
                                    toolkit::Icon::Warning))
        return false;
    q->refreshRow();
    return true;
}

bool saveOrOfferReload(db::Query* q, const std::function<void()>& fill, const std::function<void()>& reloaded) {
    try {
        db::postOrCancel(q, fill);
        return true;
    } catch (const db::ConflictError& e) {
        if (offerReload(e, q) && reloaded) reloaded();
        return false;
    }
}

bool removeOrSayGone(db::Query* q) {
    q->remove();
    if (q->rowsAffected() != 0) return true;
    toolkit::dialogs().message(QStringLiteral("This record had already been deleted on another workstation; "
                                              "it has left the list."),
                               QStringLiteral("Changed on another workstation"), toolkit::Icon::Information);
    return false;
}
