// SPDX-License-Identifier: GPL-3.0-or-later
// The scope burst: 60 "=" exchanges, the traces and their summary values.
#include "device/acquisition.h"
#include "scope/burst.h"

namespace kestle::device {

Task Acquisition::updscope() {
    const int width = scope::kDesignedScaleWidth;
    scope::Burst burst(traces_);
    for (int m = 1; m <= scope::kLastAnswerIndex; m += 2) {
        co_await waiter_.turn();
        if (const bool ok = co_await exchange('=', false); !ok)
            co_return false;
        std::array<std::uint8_t, 8> bytes;
        std::copy(st_.inbuf.begin() + 1, st_.inbuf.end(), bytes.begin());
        burst.addAnswer(m, bytes);
    }
    if (f_.TBon->checked()) {
        const int spacing = scope::pointSpacing(f_.tb1->checked(), f_.tb5->checked(),
                                                f_.tb10->checked(), f_.tb100->checked());
        scopeLines_ =
            scope::scopeLines(traces_, width, scope::kDesignedScaleHeight, spacing,
                              f_.showab->checked(), f_.ShowA->checked(), f_.showb->checked());
        f_.notify(f_.oscope);
    }
    const scope::Summary s = burst.finish();
    f_.EMFdisplay1->setText(s.emfDisplay1);
    st_.emfA = s.emfA;
    st_.emfB = s.emfB;
    st_.mag = s.mag;
    st_.ava1 = s.ava1;
    st_.avb1 = s.avb1;
    st_.state = 0;
    co_return true;
}

} // namespace kestle::device
