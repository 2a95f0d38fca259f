#include "sphaeron/forms/controls.h"

#include "sphaeron/forms/failure.h"

namespace sphaeron::forms {

void ResizingWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (OnResize) Guarded(dialogs_, [&] { OnResize(); });
}

}  // namespace sphaeron::forms
