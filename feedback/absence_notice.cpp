#include "feedback/absence_notice.h"

#include "core/log.h"

namespace tarvela {

void AbsenceNotice::missing() {
    if (said_) return;
    said_ = true;
    log(missingLine_);
}

void AbsenceNotice::present() {
    if (!said_) return;
    said_ = false;
    log(backLine_);
}

}  // namespace tarvela
