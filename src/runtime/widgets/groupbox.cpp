#include "runtime/widgets/groupbox.h"

#include "runtime/widgets/controlsupport.h"

namespace wip {

GroupBox::GroupBox(QWidget *parent, const QString &name, const QString &text)
    : QGroupBox(text, parent)
{
    ControlSupport::init(this, name);
    lower();
}

} // namespace wip
