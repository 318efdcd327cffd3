#include "app/SaveRow.h"

#include "app/db/DbError.h"
#include "app/db/Query.h"
#include "toolkit/DialogService.h"

bool saveOrOfferReload(db::Query* q, const std::function<void()>& fill, const std::function<void()>& reloaded) {
    try {
        db::postOrCancel(q, fill);
        return true;
    } catch (const db::ConflictError& e) {
        const QString ask =
            e.kind() == db::ConflictError::Changed
                ? QStringLiteral("%1\n\nRead it again as it is stored now? What you typed here is then replaced.")
                : QStringLiteral("%1\n\nRead the list again? The deleted record then leaves it.");
        if (toolkit::dialogs().confirm(ask.arg(e.text()), QStringLiteral("Changed on another workstation"),
                                       toolkit::Icon::Warning)) {
            q->refreshRow();
            if (reloaded) reloaded();
        }
        return false;
    }
}
