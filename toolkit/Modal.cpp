#include "toolkit/Modal.h"

#include <QPointer>

#include "toolkit/Busy.h"
#include "toolkit/Forms.h"

namespace toolkit {

namespace {
ScriptedModal* currentModal = nullptr;
}

ScriptedModal::ScriptedModal(ModalScript script) : script_(std::move(script)), previous_(currentModal) {
    currentModal = this;
}

ScriptedModal::~ScriptedModal() { currentModal = previous_; }

int execModal(QDialog* d) {
    const BusyScope busy;
    keepUp(d);
    if (!currentModal) return d->exec();
    ScriptedModal* s = currentModal;
    s->shown << QString::fromLatin1(d->metaObject()->className());
    QPointer<QDialog> guard(d);
    d->setResult(0);
    d->show();
    const int r = s->script_ ? s->script_(d) : 0;
    if (guard && guard->isVisible()) {
        guard->done(r);
        return r;
    }
    // The script closed the dialog itself (accept, reject, a button).
    return guard ? guard->result() : r;
}

}  // namespace toolkit
